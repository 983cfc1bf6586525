// Whole fonts through the library and back, by two independent decoders: the packaged
// eot2ttf and the tests' own. The packaged decoder drops the instruction count of composite
// glyphs that carry instructions, so those glyphs are compared only after the tests' own
// decoder, and ots-sanitize judges its output only for fonts that have none.
#include "EmbedHelpers.h"
#include "MtxDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace embedtest;
using testfonts::TempDir;

struct Case {
    const char* font;
    USHORT index;
    bool instructedComposites;  // the font has composite glyphs with instructions
};

void ThroughEot2ttf(const Case& c)
{
    TempDir dir;
    const EmbedResult r = Embed(c.font, c.index);
    ASSERT_EQ(r.code, E_NONE) << c.font;
    testfonts::WriteFile(dir.File("font.eot"), r.eot);
    const testfonts::ToolResult tool =
        testfonts::Run("eot2ttf " + testfonts::Quote(dir.File("font.eot")) + " " + testfonts::Quote(dir.File("font.ttf")));
    ASSERT_EQ(tool.exitCode, 0) << tool.output;
    EXPECT_EQ(CompareWithSource(c.font, c.index, dir.File("font.ttf"), c.instructedComposites), "") << c.font;
    if (!c.instructedComposites) {
        std::string report;
        EXPECT_TRUE(OtsAccepts(dir.File("font.ttf"), &report)) << c.font << "\n" << report;
    }
}

void ThroughOwnDecoder(const std::string& font, USHORT index = 0)
{
    TempDir dir;
    const EmbedResult r = Embed(font, index);
    ASSERT_EQ(r.code, E_NONE) << font;
    testfonts::WriteFile(dir.File("font.ttf"), mtxtest::DecodeEot(r.eot));
    EXPECT_EQ(CompareWithSource(font, index, dir.File("font.ttf")), "") << font;
    std::string report;
    EXPECT_TRUE(OtsAccepts(dir.File("font.ttf"), &report)) << font << "\n" << report;
}

} // namespace

TEST(RoundTrip, SmallFontsThroughEot2ttf)
{
    ThroughEot2ttf({testfonts::kSmallTrueType, 0, true});
    ThroughEot2ttf({"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf", 0, false});
}

TEST(RoundTrip, LargeCjkFontThroughEot2ttf)
{
    ThroughEot2ttf({testfonts::kLargeCjkTrueType, 0, false});
}

TEST(RoundTrip, CollectionMemberThroughEot2ttf)
{
    ThroughEot2ttf({testfonts::kTrueTypeCollection, 1, false});
}

// Composite glyphs with instructions, a signed font, and the small fonts above.
TEST(RoundTrip, FontsWithInstructedCompositesThroughOwnDecoder)
{
    ThroughOwnDecoder(testfonts::kSmallTrueType);
    ThroughOwnDecoder("/usr/share/fonts/truetype/liberation/LiberationMono-Bold.ttf");
    ThroughOwnDecoder(testfonts::kDsigTrueType);
}

// hdmx and VDMX are not carried: no decoder may find them, not even as empty tables.
TEST(RoundTrip, DeviceMetricsTablesAreLeftOut)
{
    TempDir dir;
    auto tables = ReadTables(testfonts::ReadFile(testfonts::kLiberation));
    const std::uint16_t numGlyphs = testfonts::Be16(tables[TagOf("maxp")], 4);
    const std::uint32_t recordSize = (2 + numGlyphs + 3) & ~3u;
    Bytes hdmx = {0, 0, 0, 1, std::uint8_t(recordSize >> 24), std::uint8_t(recordSize >> 16), std::uint8_t(recordSize >> 8),
                  std::uint8_t(recordSize)};
    hdmx.push_back(12);
    hdmx.push_back(9);
    hdmx.resize(8 + recordSize, 7);
    tables[TagOf("hdmx")] = hdmx;
    tables[TagOf("VDMX")] = Bytes{0, 1, 0, 0, 0, 0};
    const std::string path = dir.File("metrics.ttf");
    testfonts::WriteFile(path, BuildSfnt(tables));

    ThroughEot2ttf({path.c_str(), 0, true});
    const EmbedResult r = Embed(path);
    ASSERT_EQ(r.code, E_NONE);
    const auto decoded = ReadTables(mtxtest::DecodeEot(r.eot));
    EXPECT_EQ(decoded.count(TagOf("hdmx")), 0u);
    EXPECT_EQ(decoded.count(TagOf("VDMX")), 0u);
}

TEST(RoundTrip, CollectionMemberHeaderNamesTheMember)
{
    const mtxtest::EotFile first = mtxtest::ParseEot(Embed(testfonts::kTrueTypeCollection, 0).eot);
    const mtxtest::EotFile second = mtxtest::ParseEot(Embed(testfonts::kTrueTypeCollection, 1).eot);
    EXPECT_EQ(first.familyName, u"WenQuanYi Zen Hei");
    EXPECT_EQ(second.familyName, u"WenQuanYi Zen Hei Mono");
    // The member's adjustment is the one of the member laid out as a font of its own.
    const Bytes collection = testfonts::ReadFile(testfonts::kTrueTypeCollection);
    auto tables = ReadTables(collection, testfonts::Be32(collection, 16));
    std::fill_n(tables[TagOf("head")].begin() + 8, 4, 0);
    EXPECT_EQ(second.checkSumAdjustment, 0xB1B0AFBAu - SfntChecksum(BuildSfnt(tables)));
    EXPECT_NE(first.checkSumAdjustment, second.checkSumAdjustment);
}
