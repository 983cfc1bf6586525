// Collection header, offset table and table directory readers and writers, the bounds test,
// table lookup and checksums.
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;

namespace {

const char* const kReadError = "リードエラーが発生しました";

std::string TagOf(const sfnt_DirectoryEntry& e) { return std::string(reinterpret_cast<const char*>(e.tag), 4); }

TEST(SfntDirectory, SingleFontIsReadAtTheStartWithItsTableIndices)
{
    ScriptedResponder responder;
    const Bytes font = BuildSfnt(0x4F54544F, {{"CFF ", Bytes(10, 1)}, {"OS/2", Bytes(4, 2)},
                                              {"head", Bytes(54, 3)}, {"name", Bytes(6, 4)}, {"post", {}}});
    auto file = MemFile(font);
    CWOFF woff(file.get(), TRUE);
    woff.ReadOffsetTable(file.get());
    woff.ReadTableDirectory(file.get());
    EXPECT_EQ(woff.m_offsetTable.sfntVersion, 0x4F54544Fu);
    EXPECT_EQ(woff.m_offsetTable.numTables, 5);
    ASSERT_EQ(woff.m_sfntDirectory.GetSize(), 5);
    EXPECT_EQ(woff.m_nCFFIndex, 0);
    EXPECT_EQ(woff.m_nOS2Index, 1);
    EXPECT_EQ(woff.m_nHeadIndex, 2);
    EXPECT_EQ(woff.m_nNameIndex, 3);
    EXPECT_EQ(woff.m_nGlyfIndex, -1);
    const sfnt_DirectoryEntry head = woff.m_sfntDirectory[2];
    EXPECT_EQ(TagOf(head), "head");
    EXPECT_EQ(head.offset, Be32(font, 12 + 16 * 2 + 8));
    EXPECT_EQ(head.length, 54u);
    EXPECT_EQ(head.checkSum, Checksum(Bytes(54, 3)));
    EXPECT_EQ(woff.m_sfntDirectory[4].length, 0u);
    EXPECT_TRUE(woff.CheckTableBounds(file.get()));
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(SfntDirectory, CollectionMemberIsReadAtItsOffsetFromTheList)
{
    const Bytes ttc = BuildCollection({{{"glyf", Bytes(8, 1)}}, {{"head", Bytes(54, 2)}, {"name", Bytes(9, 3)}}});
    auto file = MemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    EXPECT_EQ(woff.m_ttcHeader.ttcTag, 0x74746366u);
    EXPECT_EQ(woff.m_ttcHeader.version, 0x00010000u);
    ASSERT_EQ(woff.m_ttcHeader.numFonts, 2u);
    EXPECT_EQ(woff.m_ttcHeader.tableDirectoryOffsets[0], 20u);
    woff.m_nFontNumber = 1;
    woff.ReadOffsetTable(file.get());
    woff.ReadTableDirectory(file.get());
    ASSERT_EQ(woff.m_sfntDirectory.GetSize(), 2);
    EXPECT_EQ(woff.m_nHeadIndex, 0);
    EXPECT_EQ(woff.m_nGlyfIndex, -1);
    const size_t member = woff.m_ttcHeader.tableDirectoryOffsets[1];
    EXPECT_EQ(woff.m_sfntDirectory[1].offset, Be32(ttc, member + 12 + 16 + 8)) << "offsets count from the file's start";
    EXPECT_TRUE(woff.CheckTableBounds(file.get()));
    woff.ReadFontHeader();
    EXPECT_FALSE(woff.m_bTrueType);
    woff.m_nFontNumber = 0;
    woff.ReadFontHeader();
    EXPECT_TRUE(woff.m_bTrueType);
}

TEST(SfntDirectory, MemberNumbersOutsideTheListReadNothing)
{
    ScriptedResponder responder;
    auto file = MemFile(BuildCollection({{{"glyf", Bytes(8, 1)}}}));
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadOffsetTable(file.get());  // before the header was read: no list at all
    EXPECT_EQ(woff.m_offsetTable.sfntVersion, 0u);
    woff.ReadTTCHeader(file.get());
    woff.ReadFontHeader();
    ASSERT_EQ(woff.m_sfntDirectory.GetSize(), 1);
    for (int number : {1, -1, 1000000}) {
        woff.m_nFontNumber = number;
        file->Seek(0, CFile::begin);
        woff.ReadOffsetTable(file.get());
        woff.ReadTableDirectory(file.get());
        EXPECT_EQ(file->GetPosition(), 0u) << number;
        EXPECT_EQ(woff.m_sfntDirectory.GetSize(), 1) << "left as it was";
        EXPECT_EQ(woff.m_nGlyfIndex, 0);
    }
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(SfntDirectory, EmptyFontHasNoTablesAndPassesTheBoundsTest)
{
    auto file = MemFile(BuildSfnt(0x00010000, {}));
    CWOFF woff(file.get(), TRUE);
    woff.m_nHeadIndex = 4;
    woff.ReadFontHeader();
    EXPECT_EQ(woff.m_sfntDirectory.GetSize(), 0);
    EXPECT_EQ(woff.m_nHeadIndex, -1);
    EXPECT_TRUE(woff.CheckTableBounds(file.get()));
    EXPECT_EQ(woff.SumTableChecksums(), 0u);
}

TEST(SfntDirectory, BoundsTestWithoutWrapAround)
{
    struct Case { std::uint32_t offset, length; BOOL inside; };
    const Case cases[] = {
        {0, 60, TRUE},                   // ends exactly at the end of the 60-byte file
        {59, 1, TRUE},
        {0, 61, FALSE},
        {60, 0, TRUE},
        {61, 0, FALSE},
        {0xFFFFFFF0u, 0x20, FALSE},      // wraps around 32 bits to 0x10
        {0x10, 0xFFFFFFF8u, FALSE},
    };
    for (const Case& c : cases) {
        Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 0, 4}, {"glyf", 0, c.offset, c.length}});
        font.resize(60);
        auto file = MemFile(font);
        CWOFF woff(file.get(), TRUE);
        woff.ReadFontHeader();
        EXPECT_EQ(woff.CheckTableBounds(file.get()), c.inside) << c.offset << "+" << c.length;
    }
}

TEST(SfntDirectory, DirectoryCutByTheEndOfTheFile)
{
    ScriptedResponder responder;
    // Two whole entries, then 10 bytes of a third: its tag and checkSum arrive, its offset is
    // cut and its length is missing, so both keep the second entry's values.
    Bytes font = BuildDirectory(0x00010000, 5, {{"head", 1, 100, 54}, {"glyf", 2, 200, 300}, {"loca", 3, 0xAAAAAAAA, 9}});
    font.resize(12 + 16 * 2 + 10);
    auto file = MemFile(font);
    CWOFF woff(file.get(), TRUE);
    woff.ReadFontHeader();
    EXPECT_EQ(woff.m_offsetTable.numTables, 5);
    ASSERT_EQ(woff.m_sfntDirectory.GetSize(), 3) << "entries wholly past the end are not made up";
    const sfnt_DirectoryEntry& cut = woff.m_sfntDirectory[2];
    EXPECT_EQ(TagOf(cut), "loca");
    EXPECT_EQ(cut.checkSum, 3u);
    EXPECT_EQ(cut.offset, 200u);
    EXPECT_EQ(cut.length, 300u);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});
    EXPECT_FALSE(woff.CheckTableBounds(file.get()));

    // A directory that claims 65535 tables in a 28-byte file holds one entry, at once.
    responder.Clear();
    auto tiny = MemFile(BuildDirectory(0x00010000, 0xFFFF, {{"head", 0, 0, 28}}));
    CWOFF small(tiny.get(), TRUE);
    small.ReadFontHeader();
    EXPECT_EQ(small.m_sfntDirectory.GetSize(), 1);
    EXPECT_TRUE(small.CheckTableBounds(tiny.get()));
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(SfntDirectory, DuplicateTagsIndexTheLastAndFindTheFirst)
{
    auto file = MemFile(BuildDirectory(0x00010000, 3, {{"name", 1, 0, 0}, {"head", 2, 0, 0}, {"name", 3, 0, 0}}));
    CWOFF woff(file.get(), TRUE);
    woff.ReadFontHeader();
    EXPECT_EQ(woff.m_nNameIndex, 2);
    EXPECT_EQ(woff.FindSfntTableEntry(reinterpret_cast<const BYTE*>("name")).checkSum, 1u);
    const sfnt_DirectoryEntry none = woff.FindSfntTableEntry(reinterpret_cast<const BYTE*>("glyf"));
    EXPECT_EQ(TagOf(none), std::string(4, '\0'));
    EXPECT_EQ(none.checkSum | none.offset | none.length, 0u);
    EXPECT_EQ(woff.FindSfntTableEntry(reinterpret_cast<const BYTE*>("NAME")).checkSum, 0u) << "tags compare case-sensitively";
}

TEST(SfntDirectory, ChecksumsAndTheirSum)
{
    const BYTE three[] = {1, 2, 3};
    EXPECT_EQ(CalcTableChecksum(three, 3), 0x01020300u);
    const BYTE five[] = {0, 0, 0, 1, 0xFF};
    EXPECT_EQ(CalcTableChecksum(five, 5), 0xFF000001u);
    EXPECT_EQ(CalcTableChecksum(five, 0), 0u);
    const Bytes big = Noise(4099);
    EXPECT_EQ(CalcTableChecksum(big.data(), UINT(big.size())), Checksum(big));

    auto file = MemFile(BuildDirectory(0x00010000, 2, {{"head", 0xFFFFFFF0u, 0, 0}, {"glyf", 0x20, 0, 0}}));
    CWOFF woff(file.get(), TRUE);
    woff.ReadFontHeader();
    EXPECT_EQ(woff.SumTableChecksums(), 0x10u) << "modulo 2^32";
}

TEST(SfntDirectory, WritersPutTheOffsetTableAndDirectoryBigEndian)
{
    CMemFile out;
    CWOFF woff(&out, TRUE);
    woff.m_offsetTable = {0x4F54544F, 2, 32, 1, 0};
    CSfntDirectory dir;
    sfnt_DirectoryEntry a{{'C', 'F', 'F', ' '}, 0x01020304, 44, 5};
    sfnt_DirectoryEntry b{{'h', 'e', 'a', 'd'}, 0xA0B0C0D0, 52, 54};
    dir.Add(a);
    dir.Add(b);
    woff.WriteOffsetTable(&out);
    CWOFF::WriteTableDirectory(&out, &dir, FALSE);
    Bytes bytes = Contents(out);
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(Be32(bytes, 0), 0x4F54544Fu);
    EXPECT_EQ(Be16(bytes, 4), 2);
    EXPECT_EQ(Be16(bytes, 6), 32);
    EXPECT_EQ(Be16(bytes, 8), 1);
    EXPECT_EQ(Be16(bytes, 10), 0);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "CFF ");
    EXPECT_EQ(Be32(bytes, 16), 0x01020304u);
    EXPECT_EQ(Be32(bytes, 40), 54u);

    // With bSeek the directory lands at 12 wherever the file stood.
    dir[0].offset = 999;
    out.Seek(0, CFile::end);
    CWOFF::WriteTableDirectory(&out, &dir, TRUE);
    bytes = Contents(out);
    EXPECT_EQ(bytes.size(), 44u);
    EXPECT_EQ(Be32(bytes, 20), 999u);

    // What is written reads back the same.
    out.Seek(0, CFile::begin);
    CWOFF back(&out, TRUE);
    back.ReadFontHeader();
    ASSERT_EQ(back.m_sfntDirectory.GetSize(), 2);
    EXPECT_EQ(back.m_sfntDirectory[1].checkSum, 0xA0B0C0D0u);
    EXPECT_EQ(back.m_offsetTable.searchRange, 32);
}

TEST(CollectionHeader, KeepsOnlyTheOffsetsTheFileHolds)
{
    ScriptedResponder responder;
    // A header claiming 2^32 - 1 fonts in a 22-byte file: two whole offsets and half of a third.
    Bytes ttc;
    PutTag(ttc, "ttcf");
    Put32(ttc, 0x00020000);
    Put32(ttc, 0xFFFFFFFF);
    Put32(ttc, 40);
    Put32(ttc, 80);
    Put16(ttc, 0x1234);
    auto file = MemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const auto start = std::chrono::steady_clock::now();
    woff.ReadTTCHeader(file.get());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(woff.m_ttcHeader.version, 0x00020000u);
    ASSERT_EQ(woff.m_ttcHeader.numFonts, 3u);
    EXPECT_EQ(woff.m_ttcHeader.tableDirectoryOffsets[0], 40u);
    EXPECT_EQ(woff.m_ttcHeader.tableDirectoryOffsets[1], 80u);
    EXPECT_EQ(woff.m_ttcHeader.tableDirectoryOffsets[2], 0u) << "an offset the file does not hold is zero";
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});

    // Reading again replaces the list.
    responder.Clear();
    woff.ReadTTCHeader(file.get());
    EXPECT_EQ(woff.m_ttcHeader.numFonts, 3u);
    EXPECT_EQ(responder.Texts().size(), 1u);
}

TEST(CollectionHeader, CutOrEmptyHeaders)
{
    ScriptedResponder responder;
    Bytes declaresNone;
    PutTag(declaresNone, "ttcf");
    Put32(declaresNone, 0x00010000);
    Put32(declaresNone, 0);
    Put32(declaresNone, 12345);  // not an offset: nothing after the list is read
    auto none = MemFile(declaresNone);
    CWOFF empty(none.get(), TRUE);
    empty.ReadTTCHeader(none.get());
    EXPECT_EQ(empty.m_ttcHeader.numFonts, 0u);
    EXPECT_NE(empty.m_ttcHeader.tableDirectoryOffsets, nullptr);
    EXPECT_TRUE(responder.Boxes().empty());

    // Cut inside numFonts: one message, numFonts keeps its starting zero.
    auto cut = MemFile({'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0});
    CWOFF woff(cut.get(), TRUE);
    woff.ReadTTCHeader(cut.get());
    EXPECT_EQ(woff.m_ttcHeader.numFonts, 0u);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});
}

} // namespace
