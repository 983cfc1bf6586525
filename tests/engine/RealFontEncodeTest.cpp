// The encoder on real fonts, checked by independent tools: the browsers' sanitizer accepts the
// output, the reference WOFF decoder gives back every table byte for byte, and every table is
// stored exactly as zlib level 9 packs it (or as it is, when that is not shorter).
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <gtest/gtest.h>
#include <map>
#include <zlib.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;
using testfonts::Quote;

using testfonts::TempDir;

namespace {

using TableMap = std::map<std::string, Bytes>;

// The tables of the sfnt starting at start (the first of each tag), read without the engine.
TableMap TablesOf(const Bytes& file, size_t start)
{
    TableMap tables;
    const size_t n = Be16(file, start + 4);
    for (size_t i = 0; i < n; ++i) {
        const size_t rec = start + 12 + 16 * i;
        const std::string tag(file.begin() + long(rec), file.begin() + long(rec) + 4);
        const size_t offset = Be32(file, rec + 8), length = Be32(file, rec + 12);
        EXPECT_LE(offset + length, file.size()) << tag;
        if (!tables.count(tag) && offset + length <= file.size())
            tables[tag] = Bytes(file.begin() + long(offset), file.begin() + long(offset + length));
    }
    return tables;
}

size_t ZlibBest(const Bytes& data)
{
    uLongf length = compressBound(data.size());
    Bytes packed(length);
    EXPECT_EQ(compress2(packed.data(), &length, data.data(), data.size(), 9), Z_OK);
    return length;
}

struct Source {
    const char* name;
    const char* path;
    int member;  // -1 for a single font
};

void PrintTo(const Source& source, std::ostream* os) { *os << source.name; }

class RealFontEncode : public ::testing::TestWithParam<Source> {};

TEST_P(RealFontEncode, ToolsAcceptTheOutputAndGetEveryTableBack)
{
    const Source source = GetParam();
    if (!testfonts::Exists(source.path)) GTEST_SKIP() << source.path << " is not installed";
    ScriptedResponder responder;
    TempDir dir;

    CFile file;
    ASSERT_TRUE(file.Open(CString::FromUtf8(source.path), CFile::modeRead));
    CWOFF woff(&file, TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    if (source.member >= 0) {
        ASSERT_TRUE(woff.m_bTTC);
        woff.ReadTTCHeader(&file);
        ASSERT_GT(woff.m_ttcHeader.numFonts, DWORD(source.member));
        woff.m_nFontNumber = source.member;
    }
    CMemFile out;
    ASSERT_TRUE(woff.EncodeWOFF(&out, nullptr, 0));
    EXPECT_TRUE(responder.Boxes().empty());
    const Bytes woffBytes = Contents(out);
    const std::string woffPath = dir.File("out.woff");
    testfonts::WriteFile(woffPath, woffBytes);

    // The source as the sanitizer would see it: the font itself, or fontTools' copy of the member.
    const Bytes sourceBytes = testfonts::ReadFile(source.path);
    std::string plainSource = source.path;
    if (source.member >= 0) {
        plainSource = dir.File("member.otf");
        const auto extract = testfonts::Run("/usr/bin/python3 -c 'import sys; from fontTools.ttLib import TTFont; "
                                 "TTFont(sys.argv[1], fontNumber=int(sys.argv[2]), lazy=True).save(sys.argv[3])' " +
                                 Quote(source.path) + " " + std::to_string(source.member) + " " + Quote(plainSource));
        ASSERT_EQ(extract.exitCode, 0) << extract.output;
    }
    if (testfonts::Run("ots-sanitize " + Quote(plainSource) + " " + Quote(dir.File("s1"))).exitCode == 0) {
        const auto ots = testfonts::Run("ots-sanitize " + Quote(woffPath) + " " + Quote(dir.File("s2")));
        EXPECT_EQ(ots.exitCode, 0) << ots.output;
    }

    const std::string decodedPath = dir.File("decoded.otf");
    const auto decode = testfonts::Run("(woff2sfnt " + Quote(woffPath) + " > " + Quote(decodedPath) + ")");
    ASSERT_EQ(decode.exitCode, 0) << decode.output;
    const size_t start = source.member >= 0 ? Be32(sourceBytes, 12 + 4 * size_t(source.member)) : 0;
    TableMap expected = TablesOf(sourceBytes, start);
    expected.erase("DSIG");
    TableMap decoded = TablesOf(testfonts::ReadFile(decodedPath), 0);
    EXPECT_EQ(decoded.count("DSIG"), 0u);
    ASSERT_EQ(decoded.size(), expected.size());
    for (auto& [tag, bytes] : expected) {
        ASSERT_TRUE(decoded.count(tag)) << tag;
        Bytes& got = decoded[tag];
        if (tag == "head") {
            ASSERT_GE(bytes.size(), 12u);
            std::fill(bytes.begin() + 8, bytes.begin() + 12, 0);
            std::fill(got.begin() + 8, got.begin() + 12, 0);
        }
        EXPECT_TRUE(got == bytes) << tag << " differs";
    }

    // Every table stored as zlib level 9 gives it, or as it is when that is not shorter.
    ASSERT_EQ(Be16(woffBytes, 12), expected.size());
    TableMap originals = TablesOf(sourceBytes, start);
    for (size_t i = 0; i < expected.size(); ++i) {
        const size_t rec = 44 + 20 * i;
        const std::string tag(woffBytes.begin() + long(rec), woffBytes.begin() + long(rec) + 4);
        const Bytes& original = originals[tag];
        const size_t packed = ZlibBest(original);
        EXPECT_EQ(Be32(woffBytes, rec + 8), packed < original.size() ? packed : original.size()) << tag;
        EXPECT_EQ(Be32(woffBytes, rec + 12), original.size()) << tag;
    }
    EXPECT_EQ(Be32(woffBytes, 8), woffBytes.size());
}

TEST(RealFontEncode, MetadataBlockComesBackFromTheReferenceDecoder)
{
    if (!testfonts::Exists(testfonts::kSmallTrueType)) GTEST_SKIP();
    ScriptedResponder responder;
    TempDir dir;
    CFile file;
    ASSERT_TRUE(file.Open(CString::FromUtf8(testfonts::kSmallTrueType), CFile::modeRead));
    CWOFF woff(&file, TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\">\n"
        "  <uniqueid id=\"org.example.fenwrap.test\"/>\n  <description><text lang=\"ja\">試験</text></description>\n"
        "</metadata>\n";
    Bytes meta(xml.begin(), xml.end());
    CMemFile out;
    ASSERT_TRUE(woff.EncodeWOFF(&out, meta.data(), UINT(meta.size())));
    const std::string woffPath = dir.File("meta.woff");
    testfonts::WriteFile(woffPath, Contents(out));
    const auto extracted = testfonts::Run("(woff2sfnt -m " + Quote(woffPath) + " > " + Quote(dir.File("meta.xml")) + ")");
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    EXPECT_EQ(testfonts::ReadFile(dir.File("meta.xml")), meta);
    const auto ots = testfonts::Run("ots-sanitize " + Quote(woffPath) + " " + Quote(dir.File("s")));
    EXPECT_EQ(ots.exitCode, 0) << ots.output;
    EXPECT_TRUE(responder.Boxes().empty());
}

// A collection whose second member repeats the first one's directory at the end of the file,
// claiming three tables more than it holds and cut inside the next entry: the member is encoded
// from the entries the file holds whole, into a WOFF that the browsers' sanitizer and our own
// decoder take.
TEST(RealFontEncode, MemberWithACutDirectoryGivesAWoffTheToolsTake)
{
    if (!testfonts::Exists(testfonts::kSmallTrueType)) GTEST_SKIP();
    const Bytes font = testfonts::ReadFile(testfonts::kSmallTrueType);
    const std::uint32_t start = 20, numTables = Be16(font, 4);
    Bytes ttc;
    PutTag(ttc, "ttcf");
    Put32(ttc, 0x00010000);
    Put32(ttc, 2);
    Put32(ttc, start);
    Put32(ttc, 0);
    ttc.insert(ttc.end(), font.begin(), font.end());
    for (std::uint32_t i = 0; i < numTables; ++i) Poke32(ttc, start + 12 + 16 * i + 8, Be32(font, 12 + 16 * i + 8) + start);
    while (ttc.size() % 4) ttc.push_back(0);
    const std::uint32_t second = std::uint32_t(ttc.size());
    Poke32(ttc, 16, second);
    const Bytes directory(ttc.begin() + start, ttc.begin() + start + 12 + 16 * numTables);
    ttc.insert(ttc.end(), directory.begin(), directory.end());
    ttc[second + 4] = std::uint8_t((numTables + 3) >> 8);
    ttc[second + 5] = std::uint8_t(numTables + 3);
    ttc.insert(ttc.end(), {'k', 'e', 'r', 'n', 0, 0});

    ScriptedResponder responder;
    auto file = MemFile(ttc);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    woff.m_nFontNumber = 1;
    CMemFile out;
    ASSERT_TRUE(woff.EncodeWOFF(&out, nullptr, 0));
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{"リードエラーが発生しました"});
    const Bytes woffBytes = Contents(out);
    EXPECT_EQ(Be16(woffBytes, 12), numTables);

    TempDir dir;
    testfonts::WriteFile(dir.File("cut.woff"), woffBytes);
    const auto ots = testfonts::Run("ots-sanitize " + Quote(dir.File("cut.woff")) + " " + Quote(dir.File("s")));
    EXPECT_EQ(ots.exitCode, 0) << ots.output;
    CWOFF decoder(&out, FALSE);
    ASSERT_TRUE(decoder.CheckFileType());
    CMemFile decoded;
    EXPECT_TRUE(decoder.DecodeWOFF(&decoded));
    EXPECT_EQ(responder.Texts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Fonts, RealFontEncode,
                         ::testing::Values(Source{"SmallTrueType", testfonts::kSmallTrueType, -1},
                                           Source{"CffOtf", testfonts::kCffOtf, -1},
                                           Source{"LargeCjkTrueType", testfonts::kLargeCjkTrueType, -1},
                                           Source{"DsigTrueType", testfonts::kDsigTrueType, -1},
                                           Source{"DsigCff", testfonts::kDsigCff, -1},
                                           Source{"TrueTypeCollectionMember", testfonts::kTrueTypeCollection, 1},
                                           Source{"CffCollectionMember", testfonts::kCffCollection, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
