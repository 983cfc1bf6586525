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
