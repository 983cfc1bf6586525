// The font picker's walk over a collection, as the picker makes it (offset table, directory,
// bounds test, name table, the chosen full name): every member of a large sound collection is
// listed, the readers serve members from what they kept of the file, and a collection whose
// members share one large name table ends its walk as damage once it has cost more than the
// file justifies.
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::unique_ptr<CountingFile> CountingMemFile(const Bytes& data)
{
    auto file = std::make_unique<CountingFile>();
    file->Write(data.data(), static_cast<UINT>(data.size()));
    file->Seek(0, CFile::begin);
    return file;
}

// A 'name' table holding one Japanese full name on the Windows platform.
Bytes FullNameTable(const std::string& name)
{
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 6 + 12);
    for (std::uint16_t v : {3, 1, 0x411, 4, int(2 * name.size()), 0}) Put16(out, std::uint16_t(v));
    for (char c : name) Put16(out, static_cast<std::uint8_t>(c));
    return out;
}

struct Walked {
    std::vector<std::string> names;  // the chosen full name of each member listed, as ASCII
    long refusedAt = -1;             // the member whose bounds test failed
};

Walked Walk(CWOFF& woff, CFile& file)
{
    Walked walked;
    woff.ReadTTCHeader(&file);
    for (woff.m_nFontNumber = 0; DWORD(woff.m_nFontNumber) < woff.m_ttcHeader.numFonts; ++woff.m_nFontNumber) {
        woff.ReadOffsetTable(&file);
        woff.ReadTableDirectory(&file);
        if (!woff.CheckTableBounds(&file)) {
            walked.refusedAt = woff.m_nFontNumber;
            break;
        }
        woff.ReadNameTable(&file);
        std::string name = "????";
        const NameTable& table = woff.m_nameTable;
        for (int i = 0; woff.m_nNameIndex != -1 && i < table.count; ++i) {
            const NameRecord& r = table.pNameRecords[i];
            if (r.platformID != 3 || r.nameID != 4 || r.languageID != 0x411) continue;
            name.clear();
            for (int k = 1; k < r.length; k += 2) name.push_back(char(table.ppStrings[i][k]));
            break;
        }
        walked.names.push_back(name);
    }
    return walked;
}

TEST(CollectionWalk, ThreeHundredMembersListThreeHundredNames)
{
    ScriptedResponder responder;
    std::vector<std::vector<Table>> members;
    for (int i = 0; i < 300; ++i)
        members.push_back({{"head", Repeated(54, 1)}, {"name", FullNameTable("Font " + std::to_string(i))}});
    const Bytes ttc = BuildCollection(members);
    auto file = CountingMemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const Walked walked = Walk(woff, *file);
    ASSERT_EQ(walked.names.size(), 300u);
    EXPECT_EQ(walked.refusedAt, -1);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(walked.names[size_t(i)], "Font " + std::to_string(i));
    EXPECT_LE(file->m_read, 2 * ttc.size()) << "each part of the file is read about once";
    EXPECT_TRUE(responder.Boxes().empty());
}

// Members 64 KiB apart in a file larger than what the readers keep of it: walking them all, and
// the first ones again, drops what was read first and reads it again when it is needed.
TEST(CollectionWalk, MembersAcrossALargeFileAreEachReadRight)
{
    ScriptedResponder responder;
    const std::uint32_t fonts = 300, listed = 310, spacing = 64 * 1024, base = 4096;
    Bytes ttc;
    PutTag(ttc, "ttcf");
    Put32(ttc, 0x00010000);
    Put32(ttc, listed);
    for (std::uint32_t i = 0; i < listed; ++i) Put32(ttc, base + spacing * (i % fonts));
    for (std::uint32_t i = 0; i < fonts; ++i) {
        ttc.resize(base + spacing * i, 0);
        const Bytes name = FullNameTable("Font " + std::to_string(i));
        const Bytes member = BuildSfnt(0x00010000, {{"name", name}}, std::uint32_t(ttc.size()));
        ttc.insert(ttc.end(), member.begin(), member.end());
    }
    auto file = CountingMemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const Walked walked = Walk(woff, *file);
    ASSERT_EQ(walked.names.size(), listed);
    for (std::uint32_t i = 0; i < listed; ++i) EXPECT_EQ(walked.names[i], "Font " + std::to_string(i % fonts));
    EXPECT_TRUE(responder.Boxes().empty());
}

// Members alternating between two fonts whose name tables hold 65535 records each: every member
// reads its table afresh, and the walk ends as damage once it has cost more than the file
// justifies, having read the file itself about once.
TEST(CollectionWalk, MembersAlternatingBetweenLargeNameTablesEndTheWalkAsDamage)
{
    ScriptedResponder responder;
    Bytes name;
    Put16(name, 0);
    Put16(name, 0xFFFF);
    Put16(name, 0);  // every string is empty
    for (int i = 0; i < 0xFFFF; ++i)
        for (std::uint16_t v : {3, 1, 0x409, 1, 0, 0}) Put16(name, v);
    const std::uint32_t first = 12 + 4 * 1000, second = first + 28 + std::uint32_t(name.size());
    Bytes alternating;
    PutTag(alternating, "ttcf");
    Put32(alternating, 0x00010000);
    Put32(alternating, 1000);
    for (std::uint32_t i = 0; i < 1000; ++i) Put32(alternating, i % 2 ? second : first);
    for (std::uint32_t start : {first, second}) {
        const Bytes font = BuildDirectory(0x00010000, 1, {{"name", 0, start + 28, std::uint32_t(name.size())}});
        alternating.insert(alternating.end(), font.begin(), font.end());
        alternating.insert(alternating.end(), name.begin(), name.end());
    }
    auto file = CountingMemFile(alternating);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const Walked walked = Walk(woff, *file);
    EXPECT_GT(walked.refusedAt, 1);
    EXPECT_LT(walked.refusedAt, 1000);
    EXPECT_EQ(walked.names.size(), size_t(walked.refusedAt));
    EXPECT_LE(file->m_read, 2 * alternating.size());
    EXPECT_TRUE(responder.Boxes().empty());
}

// The directory and the bytes read for it keep their room from member to member. Each member
// must still get its own entries and table indices: a smaller directory after a larger one, one
// cut by the end of the file (whose cut entry takes the fields of the entry before it in the
// same member), and the larger one again.
TEST(CollectionWalk, EachMemberGetsItsOwnDirectoryWhateverCameBefore)
{
    ScriptedResponder responder;
    Bytes ttc(12 + 4 * 4, 0);
    const auto place = [&ttc](const Bytes& bytes) {
        const std::uint32_t at = std::uint32_t(ttc.size());
        ttc.insert(ttc.end(), bytes.begin(), bytes.end());
        while (ttc.size() % 4) ttc.push_back(0);
        return at;
    };
    const Bytes nameA = FullNameTable("A"), nameB = FullNameTable("B"), nameC = FullNameTable("C");
    const std::uint32_t a = place(nameA), b = place(nameB), c = place(nameC), head = place(Repeated(54, 1));
    const std::uint32_t glyf = place(Repeated(40, 2));
    const auto length = [](const Bytes& bytes) { return std::uint32_t(bytes.size()); };
    const std::uint32_t large = place(BuildDirectory(0x00010000, 6,
                                                     {{"head", 1, head, 54}, {"name", 2, a, length(nameA)},
                                                      {"glyf", 3, glyf, 40}, {"cmap", 4, glyf, 8},
                                                      {"OS/2", 5, glyf, 16}, {"post", 6, glyf, 4}}));
    const std::uint32_t small = place(BuildDirectory(0x00010000, 2, {{"head", 7, head, 54}, {"name", 8, b, length(nameB)}}));
    Bytes cut = BuildDirectory(0x00010000, 3, {{"name", 9, c, length(nameC)}, {"glyf", 10, glyf, 40}});
    cut.resize(12 + 16 + 6);  // the second entry ends inside its checkSum
    const std::uint32_t last = place(cut);
    ttc.resize(last + cut.size());
    const Bytes header = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 4};
    std::copy(header.begin(), header.end(), ttc.begin());
    const std::uint32_t members[] = {large, small, last, large};
    for (std::uint32_t i = 0; i < 4; ++i) Poke32(ttc, 12 + 4 * i, members[i]);

    auto file = MemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const Walked walked = Walk(woff, *file);
    EXPECT_EQ(walked.names, (std::vector<std::string>{"A", "B", "C", "A"}));
    EXPECT_EQ(walked.refusedAt, -1);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{"リードエラーが発生しました"}) << "once, for the cut entry";

    const struct {
        int member;
        INT_PTR size;
        int glyf, os2;
    } expected[] = {{1, 2, -1, -1}, {2, 2, 1, -1}, {3, 6, 2, 4}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.member);
        woff.m_nFontNumber = e.member;
        woff.ReadFontHeader();
        ASSERT_EQ(woff.m_sfntDirectory.GetSize(), e.size);
        EXPECT_EQ(woff.m_nGlyfIndex, e.glyf);
        EXPECT_EQ(woff.m_nOS2Index, e.os2);
        EXPECT_EQ(woff.m_nHeadIndex, e.member == 2 ? -1 : 0);
    }
    woff.m_nFontNumber = 2;
    woff.ReadFontHeader();
    const sfnt_DirectoryEntry& entry = woff.m_sfntDirectory[1];
    EXPECT_EQ(std::string(entry.tag, entry.tag + 4), "glyf");
    EXPECT_EQ(entry.checkSum, 9u);
    EXPECT_EQ(entry.offset, c);
    EXPECT_EQ(entry.length, length(nameC));
}

} // namespace

// A member is chosen by a 16-bit number, so a header claiming more fonts than such a number can
// name keeps as many as it can: member 65536 would otherwise be converted as member 0.
TEST(CollectionWalk, NoMoreMembersThanAFontNumberCanName)
{
    const std::uint32_t claimed = 70000;
    Bytes ttc;
    PutTag(ttc, "ttcf");
    Put32(ttc, 0x00010000);
    Put32(ttc, claimed);
    const std::uint32_t member = 12 + 4 * claimed;
    for (std::uint32_t i = 0; i < claimed; ++i) Put32(ttc, member);
    const Bytes font = BuildSfnt(0x00010000, {{"head", Repeated(54, 1)}});
    ttc.insert(ttc.end(), font.begin(), font.end());
    auto file = CountingMemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    EXPECT_EQ(woff.m_ttcHeader.numFonts, 65536u);
}
