// The field-read rule, input detection and the engine object's life.
#include "Builders.h"
#include "ByteIO.h"
#include "Responder.h"
#include "WOFF.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

const char* const kReadError = "リードエラーが発生しました";

TEST(ReadBigEndian, ConvertsEveryDefinedItemSize)
{
    ScriptedResponder responder;
    auto file = MemFile({0x12, 0x34, 0x01, 0x02, 0x03, 0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8, 0x7F});
    WORD w = 0;
    EXPECT_EQ(ReadBigEndian(file.get(), reinterpret_cast<BYTE*>(&w), 2, 1), 2u);
    EXPECT_EQ(w, 0x1234);
    BYTE three[3] = {};
    EXPECT_EQ(ReadBigEndian(file.get(), three, 3, 1), 3u);
    EXPECT_EQ(three[0], 0x03);
    EXPECT_EQ(three[2], 0x01);
    DWORD d = 0;
    EXPECT_EQ(ReadBigEndian(file.get(), reinterpret_cast<BYTE*>(&d), 4, 1), 4u);
    EXPECT_EQ(d, 0xDEADBEEFu);
    ULONGLONG q = 0;
    EXPECT_EQ(ReadBigEndian(file.get(), reinterpret_cast<BYTE*>(&q), 8, 1), 8u);
    EXPECT_EQ(q, 0x0102030405060708ull);
    BYTE raw[4] = {9, 9, 9, 9};
    EXPECT_EQ(ReadBigEndian(file.get(), raw, 1, 4), 1u) << "item size 1 is one plain read";
    EXPECT_EQ(raw[0], 0x7F);
    EXPECT_EQ(raw[1], 9);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(ReadBigEndian, EndOfFileIsSilentAndACutItemIsReportedOnce)
{
    ScriptedResponder responder;
    auto file = MemFile({0xAB});
    WORD w = 0x5555;
    EXPECT_EQ(ReadBigEndian(file.get(), reinterpret_cast<BYTE*>(&w), 2, 1), 0u);
    EXPECT_EQ(w, 0x5555) << "a cut item is not stored";
    ASSERT_EQ(responder.Texts(), std::vector<std::string>{kReadError});
    EXPECT_EQ(responder.Boxes()[0].style, UINT(MB_OK));

    responder.Clear();
    EXPECT_EQ(ReadBigEndian(file.get(), reinterpret_cast<BYTE*>(&w), 2, 1), 0u);
    EXPECT_EQ(w, 0x5555);
    EXPECT_TRUE(responder.Boxes().empty()) << "the end of the file itself is silent";

    // Three items asked, two and a half there: two stored, the third untouched, one message.
    auto longer = MemFile({0, 1, 0, 2, 0});
    WORD items[3] = {7, 7, 7};
    EXPECT_EQ(ReadBigEndian(longer.get(), reinterpret_cast<BYTE*>(items), 2, 3), 4u);
    EXPECT_EQ(items[0], 1);
    EXPECT_EQ(items[1], 2);
    EXPECT_EQ(items[2], 7);
    EXPECT_EQ(responder.Texts().size(), 1u);
}

TEST(ReadBigEndian, UndefinedItemSizesReadNothing)
{
    ScriptedResponder responder;
    auto file = MemFile(Bytes(32, 1));
    BYTE dst[16] = {};
    EXPECT_EQ(ReadBigEndian(file.get(), dst, 0, 1000000), 0u);
    EXPECT_EQ(ReadBigEndian(file.get(), dst, 16, 1), 0u);
    EXPECT_EQ(file->GetPosition(), 0u);
    EXPECT_EQ(ReadBigEndian(file.get(), dst, 2, 0), 0u);
}

TEST(FieldReader, TakesWholeFieldsOnlyAndNeverLeavesItsData)
{
    const BYTE data[] = {'w', 'O', 0x00, 0x01, 0x02};
    FieldReader reader(data, sizeof data);
    BYTE tag[4] = {'x', 'x', 'x', 'x'};
    reader.Raw(tag, 2);
    EXPECT_EQ(tag[0], 'w');
    EXPECT_EQ(tag[2], 'x');
    WORD w = 0;
    reader.U16(w);
    EXPECT_EQ(w, 1);
    DWORD d = 0xCAFE;
    reader.U32(d);
    EXPECT_EQ(d, 0xCAFEu);
    EXPECT_TRUE(reader.Cut());
    EXPECT_TRUE(reader.AtEnd());
    reader.U32(d);
    reader.Raw(tag, 4);
    EXPECT_EQ(tag[0], 'w');
    EXPECT_EQ(reader.Offset(), sizeof data);

    FieldReader exact(data, 4);
    exact.Raw(tag, 2);
    exact.U16(w);
    exact.U16(w);
    EXPECT_FALSE(exact.Cut()) << "a field wholly past the end is not a cut";
}

struct TypeCase {
    const char* name;
    Bytes bytes;
    BOOL fontInput;
    BOOL result, ttc, trueType, cff, woff2;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class CheckFileType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(CheckFileType, AcceptsOnlyTheAnnouncedKindAndSetsTheFlags)
{
    const TypeCase& c = GetParam();
    ScriptedResponder responder;
    auto file = MemFile(c.bytes);
    CWOFF woff(file.get(), c.fontInput);
    EXPECT_EQ(woff.CheckFileType(), c.result);
    EXPECT_EQ(woff.m_bTTC, c.ttc);
    EXPECT_EQ(woff.m_bTrueType, c.trueType);
    EXPECT_EQ(woff.m_bCFF, c.cff);
    EXPECT_EQ(woff.m_bWOFF2, c.woff2);
    EXPECT_TRUE(responder.Boxes().empty());
}

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

INSTANTIATE_TEST_SUITE_P(
    Inputs, CheckFileType,
    ::testing::Values(
        TypeCase{"EmptyFont", {}, TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"EmptyWoff", {}, FALSE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"Collection", B("ttcf\0\1\0\0"), TRUE, TRUE, TRUE, FALSE, FALSE, FALSE},
        TypeCase{"Version1", {0, 1, 0, 0, 0, 9}, TRUE, TRUE, FALSE, TRUE, FALSE, FALSE},
        TypeCase{"AppleTrue", B("true"), TRUE, TRUE, FALSE, TRUE, FALSE, FALSE},
        TypeCase{"Cff", B("OTTO"), TRUE, TRUE, FALSE, FALSE, TRUE, FALSE},
        TypeCase{"CollectionOtherCase", B("TTCF"), TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"CffOtherCase", B("otto"), TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"ShortMagicCountsMissingBytesAsZeros", {0, 1, 0}, TRUE, TRUE, FALSE, TRUE, FALSE, FALSE},
        TypeCase{"WoffAsFont", B("wOFFOTTO"), TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"FontAsWoff", B("OTTO"), FALSE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"WoffCff", B("wOFFOTTO"), FALSE, TRUE, FALSE, FALSE, TRUE, FALSE},
        TypeCase{"WoffTrueType", {'w', 'O', 'F', 'F', 0, 1, 0, 0}, FALSE, TRUE, FALSE, TRUE, FALSE, FALSE},
        TypeCase{"WoffAppleTrue", B("wOFFtrue"), FALSE, TRUE, FALSE, TRUE, FALSE, FALSE},
        TypeCase{"WoffCollection", B("wOFFttcf"), FALSE, FALSE, TRUE, FALSE, FALSE, FALSE},
        TypeCase{"WoffOnlySignature", B("wOFF"), FALSE, FALSE, FALSE, FALSE, FALSE, FALSE},
        TypeCase{"Woff2Cff", B("wOF2OTTO"), FALSE, TRUE, FALSE, FALSE, TRUE, TRUE},
        TypeCase{"Woff2Collection", B("wOF2ttcf"), FALSE, FALSE, TRUE, FALSE, FALSE, TRUE},
        TypeCase{"Woff2OtherFlavor", B("wOF2abcd"), FALSE, FALSE, FALSE, FALSE, FALSE, TRUE},
        TypeCase{"WoffOtherCase", B("woffOTTO"), FALSE, FALSE, FALSE, FALSE, FALSE, FALSE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineObject, StartsEmptyAndLeavesItsFileOpen)
{
    auto file = MemFile(B("OTTO"));
    {
        CWOFF woff(file.get(), TRUE);
        EXPECT_EQ(woff.m_pFile, file.get());
        EXPECT_EQ(woff.m_nFontNumber, 0);
        EXPECT_EQ(woff.m_nNameIndex, -1);
        EXPECT_EQ(woff.m_nHeadIndex, -1);
        EXPECT_EQ(woff.m_nOS2Index, -1);
        EXPECT_EQ(woff.m_nGlyfIndex, -1);
        EXPECT_EQ(woff.m_nCFFIndex, -1);
        EXPECT_EQ(woff.m_ttcHeader.tableDirectoryOffsets, nullptr);
        EXPECT_EQ(woff.m_nameTable.count, 0);
        EXPECT_EQ(woff.m_nameTable.pNameRecords, nullptr);
        EXPECT_EQ(woff.m_nameTable.ppStrings, nullptr);
        EXPECT_EQ(woff.m_sfntDirectory.GetSize(), 0);
        EXPECT_EQ(woff.m_woffDirectory.GetSize(), 0);
        EXPECT_EQ(file->GetPosition(), 0u) << "construction reads nothing";
        woff.ReadTTCHeader(file.get());
    }
    BYTE b[4];
    file->Seek(0, CFile::begin);
    EXPECT_EQ(file->Read(b, 4), 4u);
}

TEST(EngineObject, CheckingAgainResetsFlagsAndFreesTheNameTable)
{
    auto font = MemFile(B("OTTO"));
    CWOFF woff(font.get(), TRUE);
    woff.m_bTTC = woff.m_bTrueType = woff.m_bWOFF2 = TRUE;
    woff.m_nFontNumber = 3;
    woff.m_nGlyfIndex = 2;
    woff.m_nameTable.count = 2;
    woff.m_nameTable.pNameRecords = new NameRecord[2]();
    woff.m_nameTable.ppStrings = new BYTE*[2]{new BYTE[512](), new BYTE[512]()};
    EXPECT_TRUE(woff.CheckFileType());
    EXPECT_TRUE(woff.m_bCFF);
    EXPECT_FALSE(woff.m_bTTC || woff.m_bTrueType || woff.m_bWOFF2);
    EXPECT_EQ(woff.m_nFontNumber, 0);
    EXPECT_EQ(woff.m_nGlyfIndex, -1);
    EXPECT_EQ(woff.m_nameTable.count, 0);
    EXPECT_EQ(woff.m_nameTable.pNameRecords, nullptr);
    EXPECT_EQ(woff.m_nameTable.ppStrings, nullptr);
}

TEST(EngineObject, ReadFontHeaderSetsTheOutlineFlagOfTheDirectory)
{
    struct Case { std::vector<std::string> tags; BOOL trueType, cff; };
    const Case cases[] = {
        {{"CFF ", "glyf", "head"}, TRUE, FALSE},
        {{"CFF ", "head"}, FALSE, TRUE},
        {{"head", "name"}, FALSE, FALSE},
    };
    for (const Case& c : cases) {
        std::vector<Table> tables;
        for (const auto& tag : c.tags) tables.push_back({tag, Bytes(8, 1)});
        auto file = MemFile(BuildSfnt(0x00010000, tables));
        CWOFF woff(file.get(), TRUE);
        woff.ReadFontHeader();
        EXPECT_EQ(woff.m_bTrueType, c.trueType) << c.tags[0];
        EXPECT_EQ(woff.m_bCFF, c.cff) << c.tags[0];
    }
    // No flag is cleared.
    auto file = MemFile(BuildSfnt(0x00010000, {{"head", Bytes(4)}}));
    CWOFF woff(file.get(), TRUE);
    woff.m_bCFF = TRUE;
    woff.ReadFontHeader();
    EXPECT_TRUE(woff.m_bCFF);
}

} // namespace
