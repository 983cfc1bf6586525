// Collection member extraction on collections built in memory: the layout of the font written,
// its fresh checksums, and the members refused as damaged.
#include "Builders.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"

#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;

namespace {

const char* const kFontBroken = "フォントファイルが壊れています。";

Bytes HeadTable()
{
    Bytes head = Repeated(54, 0x11);
    for (int i = 8; i < 12; ++i) head[size_t(i)] = 0x77;  // a stale checkSumAdjustment
    return head;
}

// Extracts member number from a collection as the conversion does: the header, the pick, the
// outline test, then the extraction.
struct Extraction {
    BOOL ok;
    Bytes font;
};

Extraction Extract(const Bytes& collection, int number)
{
    auto file = MemFile(collection);
    CWOFF woff(file.get(), TRUE);
    EXPECT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    woff.m_nFontNumber = number;
    woff.ReadFontHeader();
    CMemFile out;
    const BOOL ok = woff.ExtractFont(&out);
    return {ok, Contents(out)};
}

// Patches one directory field of member 0 (the first member starts at 16 in a collection of one).
void PatchEntry(Bytes& collection, size_t member0Start, size_t index, size_t field, std::uint32_t value)
{
    const size_t at = member0Start + 12 + 16 * index + field;
    collection[at] = std::uint8_t(value >> 24);
    collection[at + 1] = std::uint8_t(value >> 16);
    collection[at + 2] = std::uint8_t(value >> 8);
    collection[at + 3] = std::uint8_t(value);
}

TEST(ExtractFont, TrueTypeMemberComesOutWholeInTheListOrderWithFreshChecksums)
{
    ScriptedResponder responder;
    const std::vector<Table> other = {{"head", HeadTable()}, {"glyf", Noise(40, 9)}};
    const std::vector<Table> picked = {{"GPOS", Noise(6, 1)}, {"glyf", Noise(33, 2)}, {"head", HeadTable()},
                                       {"DSIG", Noise(8, 3)}, {"cmap", Noise(20, 4)}};
    Bytes collection = BuildCollection({other, picked});
    const size_t start = Be32(collection, 16);
    // Wrong checksums in the collection, "head" among them, must not survive.
    for (size_t i = 0; i < picked.size(); ++i) PatchEntry(collection, start, i, 4, 0xDEADBEEF);
    // The member's own search fields stay as they are.
    collection[start + 6] = 0x12;
    collection[start + 9] = 0x34;

    const Extraction result = Extract(collection, 1);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(responder.Boxes().empty());
    const Bytes& font = result.font;
    EXPECT_TRUE(std::equal(font.begin(), font.begin() + 12, collection.begin() + long(start)));

    const auto directory = DirectoryOf(font);
    ASSERT_EQ(directory.size(), picked.size());
    for (size_t i = 0; i < picked.size(); ++i) {
        const OutEntry& entry = directory[i];
        EXPECT_EQ(entry.tag, picked[i].tag) << "directory keeps the member's order";
        EXPECT_EQ(entry.length, picked[i].data.size());
        EXPECT_EQ(entry.offset % 4, 0u);
        Bytes table = TableOf(font, entry);
        if (entry.tag == "head") {
            EXPECT_EQ(Be32(table, 8), Be32(font, entry.offset + 8));
            std::copy(picked[i].data.begin() + 8, picked[i].data.begin() + 12, table.begin() + 8);
        }
        EXPECT_EQ(table, picked[i].data) << entry.tag;
        EXPECT_EQ(entry.checkSum, FreshChecksum(entry.tag, picked[i].data)) << entry.tag;
        // Padding behind every table, the last one included, is zeros.
        for (size_t p = entry.offset + entry.length; p % 4; ++p) EXPECT_EQ(font.at(p), 0) << entry.tag;
    }
    EXPECT_EQ(DataOrder(directory), (std::vector<std::string>{"head", "cmap", "glyf", "DSIG", "GPOS"}));
    EXPECT_EQ(font.size() % 4, 0u);
    EXPECT_EQ(WholeFileSum(font), 0xB1B0AFBAu);
}

TEST(ExtractFont, CffMemberFollowsTheShortListAndKeepsDsig)
{
    ScriptedResponder responder;
    const std::vector<Table> picked = {{"CFF ", Noise(30, 5)}, {"DSIG", Noise(8, 6)}, {"GPOS", Noise(9, 8)},
                                       {"name", Noise(12, 7)}, {"head", HeadTable()}};
    const Extraction result = Extract(BuildCollection({picked}), 0);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(DataOrder(DirectoryOf(result.font)), (std::vector<std::string>{"head", "name", "CFF ", "DSIG", "GPOS"}));
    EXPECT_EQ(WholeFileSum(result.font), 0xB1B0AFBAu);
}

TEST(ExtractFont, SharedAndRepeatedTablesAreCopiedEachFromItsOwnBytes)
{
    ScriptedResponder responder;
    const Bytes glyf0 = Noise(64, 11);
    const std::vector<Table> first = {{"head", HeadTable()}, {"glyf", glyf0}};
    const std::vector<Table> second = {{"head", HeadTable()}, {"glyf", Noise(64, 12)}, {"kern", Noise(6, 13)},
                                       {"kern", Noise(10, 14)}};
    Bytes collection = BuildCollection({first, second});
    // The second member shares the first one's glyf.
    const size_t start0 = Be32(collection, 12), start1 = Be32(collection, 16);
    PatchEntry(collection, start1, 1, 8, Be32(collection, start0 + 12 + 16 + 8));

    const Extraction result = Extract(collection, 1);
    ASSERT_TRUE(result.ok);
    const auto directory = DirectoryOf(result.font);
    ASSERT_EQ(directory.size(), 4u);
    EXPECT_EQ(TableOf(result.font, directory[1]), glyf0);
    EXPECT_EQ(TableOf(result.font, directory[2]), second[2].data);
    EXPECT_EQ(TableOf(result.font, directory[3]), second[3].data);
    EXPECT_EQ(directory[2].length, 6u);
    EXPECT_EQ(directory[1].checkSum, Checksum(glyf0));
    EXPECT_EQ(directory[3].length, 10u);
    // The first "kern" takes the list's place; the second comes among the unlisted tables.
    EXPECT_EQ(DataOrder(directory), (std::vector<std::string>{"head", "glyf", "kern", "kern"}));
    EXPECT_LT(directory[2].offset, directory[3].offset);
    EXPECT_EQ(WholeFileSum(result.font), 0xB1B0AFBAu);
}

TEST(ExtractFont, TwoTagsSharingOneRangeAreBothCopied)
{
    ScriptedResponder responder;
    const Bytes bitmaps = Noise(4000, 31);
    Bytes collection = BuildCollection({{{"head", HeadTable()}, {"EBDT", bitmaps}, {"bdat", Noise(4, 32)}}});
    const size_t start = Be32(collection, 12);
    PatchEntry(collection, start, 2, 8, Be32(collection, start + 12 + 16 + 8));
    PatchEntry(collection, start, 2, 12, std::uint32_t(bitmaps.size()));
    const Extraction result = Extract(collection, 0);
    ASSERT_TRUE(result.ok);
    const auto directory = DirectoryOf(result.font);
    EXPECT_EQ(TableOf(result.font, directory[1]), bitmaps);
    EXPECT_EQ(TableOf(result.font, directory[2]), bitmaps);
    EXPECT_NE(directory[1].offset, directory[2].offset);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(ExtractFont, DamagedMembersAreRefusedWithTheFontMessage)
{
    const std::vector<Table> sound = {{"head", HeadTable()}, {"glyf", Noise(40, 21)}};
    struct Case {
        const char* name;
        std::function<void(Bytes&, size_t)> damage;
    };
    const std::vector<Case> cases = {
        {"table past the end", [](Bytes& c, size_t s) { PatchEntry(c, s, 1, 12, 4000); }},
        {"offset wrapping", [](Bytes& c, size_t s) { PatchEntry(c, s, 1, 8, 0xFFFFFFF0); }},
        {"no head", [](Bytes& c, size_t s) { c[s + 12] = 'h'; c[s + 13] = 'e'; c[s + 14] = 'a'; c[s + 15] = 'x'; }},
        {"head too short for its adjustment", [](Bytes& c, size_t s) { PatchEntry(c, s, 0, 12, 11); }},
        {"directory cut by the end of the file", [](Bytes& c, size_t s) { c[s + 5] = 200; }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ScriptedResponder responder;
        Bytes collection = BuildCollection({sound});
        test.damage(collection, Be32(collection, 12));
        EXPECT_FALSE(Extract(collection, 0).ok);
        EXPECT_EQ(responder.Texts(), std::vector<std::string>{kFontBroken});
    }
}

TEST(ExtractFont, MemberNumberOutsideTheCollectionIsRefused)
{
    ScriptedResponder responder;
    const Bytes collection = BuildCollection({{{"head", HeadTable()}}});
    auto file = MemFile(collection);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    for (int number : {1, -1}) {
        woff.m_nFontNumber = number;
        CMemFile out;
        EXPECT_FALSE(woff.ExtractFont(&out));
        EXPECT_EQ(out.GetLength(), 0u);
    }
    EXPECT_EQ(responder.Texts(), (std::vector<std::string>{kFontBroken, kFontBroken}));
}

TEST(ExtractFont, ManyEntriesOnOneLargeTableCostNoMoreThanTheFile)
{
    // 4000 entries all naming the same 256 KB range would ask for a gigabyte of output.
    ScriptedResponder responder;
    std::vector<Entry> entries = {{"head", 0, 0, 54}};
    for (int i = 0; i < 4000; ++i)
        entries.push_back({std::string("t").append(std::to_string(1000 + i).substr(1)), 0, 0, 256 * 1024});
    Bytes font = BuildDirectory(0x00010000, std::uint16_t(entries.size()), entries);
    font.resize(256 * 1024 + 64 * 1024, 0);
    auto file = MemFile(font);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    CMemFile out;
    EXPECT_FALSE(woff.ExtractFont(&out));
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kFontBroken});
    EXPECT_LT(out.GetLength(), 1024u * 1024u);
}

} // namespace
