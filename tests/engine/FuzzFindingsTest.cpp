// Damage the fuzzers found the engine letting through, each reduced to the smallest file that
// shows it. The found inputs themselves are replayed from fuzz/regressions.
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

struct Extracted {
    BOOL ok;
    std::vector<std::string> messages;
    Bytes out;
};

Extracted Extract(const Bytes& font)
{
    ScriptedResponder responder;
    auto file = MemFile(font);
    CWOFF woff(file.get(), TRUE);
    EXPECT_TRUE(woff.CheckFileType());
    CMemFile out;
    const BOOL ok = woff.ExtractFont(&out);
    return {ok, responder.Texts(), Contents(out)};
}

// The file ends right behind the second entry's tag: the reader keeps that entry with the first
// one's offset and length, which must not become a table of the extracted or decoded font.
TEST(FuzzFindings, ExtractionRefusesADirectoryTheFileEndsInside)
{
    Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 0, 28}, {"cmap", 0, 0, 0}});
    font.resize(12 + 16 + 4);
    const Extracted run = Extract(font);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.messages, std::vector<std::string>{"フォントファイルが壊れています。"});
}

TEST(FuzzFindings, DecoderRefusesADirectoryTheFileEndsInside)
{
    Bytes woff = BuildWoff(0x00010000, {{"head", HeadBytes(), false}, {"cmap", Bytes(8, 1), false}});
    // Point both tables at the header, so that every byte they name stays in the file, and cut
    // the file behind the second entry's tag and offset.
    Poke32(woff, WoffField(0, 4), 0);
    Poke32(woff, WoffField(0, 8), 12);
    Poke32(woff, WoffField(0, 12), 12);
    Poke32(woff, WoffField(1, 4), 0);
    woff.resize(kWoffHeader + kWoffEntry + 8);
    Poke32(woff, 8, static_cast<std::uint32_t>(woff.size()));

    ScriptedResponder responder;
    auto file = MemFile(woff);
    CWOFF decoder(file.get(), FALSE);
    ASSERT_TRUE(decoder.CheckFileType());
    CMemFile out;
    EXPECT_FALSE(decoder.DecodeWOFF(&out));
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{"WOFFファイルが壊れています。"});
}

// A second "head" of 10 bytes has no checkSumAdjustment to leave out: its checksum is that of
// its own bytes, not of whatever an earlier table left in the copy buffer.
TEST(FuzzFindings, ShortSecondHeadGetsTheChecksumOfItsOwnBytes)
{
    const Bytes head = HeadBytes();
    const Bytes shortHead = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Extracted run = Extract(BuildSfnt(0x00010000, {{"head", head}, {"head", shortHead}}));
    ASSERT_TRUE(run.ok);
    const std::uint32_t second = testfonts::Be32(run.out, 12 + 16 + 4);
    EXPECT_EQ(second, Checksum(shortHead));
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// Every offset of a long list pointing at one member with a large name table: each member the
// font picker lists cost the whole table again. Every member is kept and listed, and the table
// is read once.
TEST(FuzzFindings, CollectionWalkOverOneLargeNameTableReadsItOnce)
{
    const std::uint16_t records = 2000;
    Bytes name;
    Put16(name, 0);
    Put16(name, records);
    Put16(name, static_cast<std::uint16_t>(6 + 12 * records));
    for (int i = 0; i < records; ++i)
        for (std::uint16_t v : {3, 1, 0x411, 4, 2, 0}) Put16(name, v);
    const std::uint32_t numFonts = 1000;
    const std::uint32_t member = 12 + 4 * numFonts;
    Bytes ttc;
    PutTag(ttc, "ttcf");
    Put32(ttc, 0x00010000);
    Put32(ttc, numFonts);
    for (std::uint32_t i = 0; i < numFonts; ++i) Put32(ttc, member);
    const Bytes font = BuildDirectory(0x00010000, 1, {{"name", 0, member + 12 + 16, static_cast<std::uint32_t>(name.size())}});
    ttc.insert(ttc.end(), font.begin(), font.end());
    ttc.insert(ttc.end(), name.begin(), name.end());

    ScriptedResponder responder;
    CountingFile file;
    file.Write(ttc.data(), static_cast<UINT>(ttc.size()));
    CWOFF woff(&file, TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(&file);
    EXPECT_EQ(woff.m_ttcHeader.numFonts, numFonts);
    int listed = 0;
    for (woff.m_nFontNumber = 0; DWORD(woff.m_nFontNumber) < woff.m_ttcHeader.numFonts; ++woff.m_nFontNumber) {
        woff.ReadOffsetTable(&file);
        woff.ReadTableDirectory(&file);
        if (!woff.CheckTableBounds(&file)) break;
        woff.ReadNameTable(&file);
        EXPECT_EQ(woff.m_nameTable.count, records);
        ++listed;
    }
    EXPECT_EQ(listed, int(numFonts));
    EXPECT_LE(file.m_read, 2 * ttc.size());
    EXPECT_TRUE(responder.Boxes().empty());
}

} // namespace
} // namespace enginetest
