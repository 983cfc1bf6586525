// The WOFF 1.0 encoder on fonts built in the tests: layout, header values, what is compressed
// and what is stored, metadata, and damaged or hostile fonts.
#include "Builders.h"
#include "DialogResponder.h"
#include "Responder.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <chrono>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;

namespace {

const char* const kFontBroken = "フォントファイルが壊れています。";

struct WoffEntry {
    std::string tag;
    std::uint32_t offset, compLength, origLength, origChecksum;
};

// The WOFF directory, read without the engine.
std::vector<WoffEntry> EntriesOf(const Bytes& woff)
{
    std::vector<WoffEntry> entries;
    for (size_t i = 0; i < Be16(woff, 12); ++i) {
        const size_t r = 44 + 20 * i;
        entries.push_back({std::string(woff.begin() + long(r), woff.begin() + long(r) + 4), Be32(woff, r + 4),
                           Be32(woff, r + 8), Be32(woff, r + 12), Be32(woff, r + 16)});
    }
    return entries;
}

// A table's bytes as a WOFF decoder would get them back.
Bytes Unpack(const Bytes& woff, const WoffEntry& e)
{
    const Bytes stored(woff.begin() + e.offset, woff.begin() + e.offset + e.compLength);
    if (e.compLength >= e.origLength) return Bytes(stored.begin(), stored.begin() + e.origLength);
    Bytes out(e.origLength);
    uLongf length = out.size();
    EXPECT_EQ(uncompress(out.data(), &length, stored.data(), stored.size()), Z_OK);
    EXPECT_EQ(length, e.origLength);
    return out;
}

size_t Packed(const Bytes& data)
{
    uLongf length = compressBound(data.size());
    Bytes out(length);
    compress2(out.data(), &length, data.data(), data.size(), 9);
    return length;
}

// A table of n bytes whose level-9 form is exactly n - shorterBy bytes long.
Bytes TablePackingTo(size_t n, long shorterBy)
{
    for (std::uint32_t seed = 1; seed < 50; ++seed) {
        for (size_t k = 0; k < n; ++k) {
            Bytes data = Noise(n, seed);
            std::fill(data.begin(), data.begin() + long(k), 0);
            if (long(Packed(data)) == long(n) - shorterBy) return data;
        }
    }
    ADD_FAILURE() << "no table found";
    return {};
}

struct Encoded {
    BOOL ok;
    Bytes woff;
    std::vector<std::string> messages;
    ULONGLONG position;
};

// What the encoder reports as done must be a WOFF that our own decoder takes, without a word.
void ExpectDecoderTakes(const Bytes& woff)
{
    ScriptedResponder responder;
    ScriptedDialogResponder viewer;
    auto file = MemFile(woff);
    CWOFF decoder(file.get(), FALSE);
    EXPECT_TRUE(decoder.CheckFileType());
    CMemFile font;
    EXPECT_TRUE(decoder.DecodeWOFF(&font));
    EXPECT_TRUE(responder.Boxes().empty());
}

Encoded Encode(const Bytes& font, const Bytes& metaData = {}, int member = -1)
{
    ScriptedResponder responder;
    auto file = MemFile(font);
    CWOFF woff(file.get(), TRUE);
    woff.CheckFileType();
    if (member >= 0) {
        woff.ReadTTCHeader(file.get());
        woff.m_nFontNumber = member;
    }
    CMemFile out;
    Bytes meta = metaData;
    const BOOL ok = woff.EncodeWOFF(&out, meta.empty() ? nullptr : meta.data(), UINT(meta.size()));
    Encoded result{ok, Contents(out), responder.Texts(), out.GetPosition()};
    if (ok) ExpectDecoderTakes(result.woff);
    return result;
}

// No table, no "head", or one too short for its checkSumAdjustment: no reader takes the WOFF
// that would come of it, so the font is refused before anything is written.
TEST(Encode, FontsWithoutAUsableHeadAreRefusedAndNothingIsWritten)
{
    const std::uint32_t start = 12 + 16 * 2;
    Bytes ttcAtZero;
    PutTag(ttcAtZero, "ttcf");
    Put32(ttcAtZero, 0x00010000);
    Put32(ttcAtZero, 1);
    Put32(ttcAtZero, 0);
    ttcAtZero.resize(64, 0);
    Bytes ttcPastEnd = ttcAtZero;
    ttcPastEnd[15] = 200;
    const struct {
        const char* name;
        Bytes font;
        int member;
    } cases[] = {
        {"no tables", BuildSfnt(0x00010000, {}), -1},
        {"four bytes", {0, 1, 0, 0}, -1},
        {"65535 tables in 12 bytes", BuildDirectory(0x00010000, 0xFFFF, {}), -1},
        {"only DSIG", BuildSfnt(0x00010000, {{"DSIG", Bytes(40, 7)}}), -1},
        {"no head", BuildSfnt(0x00010000, {{"glyf", Noise(40)}, {"cmap", Noise(8)}}), -1},
        {"head of 11 bytes", BuildSfnt(0x00010000, {{"head", Noise(11)}, {"glyf", Noise(40)}}), -1},
        {"head entry cut by the end of the file", BuildDirectory(0x00010000, 2, {{"glyf", 0, 0, 12}, {"head", 0, start, 54}}), -1},
        {"member at offset 0", ttcAtZero, 0},
        {"member past the end", ttcPastEnd, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes font = c.font;
        if (std::string(c.name).rfind("head entry cut", 0) == 0) font.resize(start - 4);
        const Encoded e = Encode(font, {'<', 'x', '/', '>'}, c.member);
        EXPECT_FALSE(e.ok);
        EXPECT_TRUE(e.woff.empty());
        ASSERT_FALSE(e.messages.empty());
        EXPECT_EQ(e.messages.back(), kFontBroken);
    }
    // A head of exactly 12 bytes holds checkSumAdjustment.
    EXPECT_TRUE(Encode(BuildSfnt(0x00010000, {{"head", Noise(12)}})).ok);
}

TEST(Encode, DsigIsLeftOutAndEverythingElseKeepsItsOrderAndBytes)
{
    const Bytes head = Noise(54, 3);
    const std::vector<Table> tables = {{"head", head}, {"DSIG", Noise(100, 4)}, {"name", Repeated(301, 'n')},
                                       {"glyf", Repeated(1000, 'g')}, {"cmap", Noise(7, 5)}};
    const Bytes font = BuildSfnt(0x00010000, tables);
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 4u);
    const char* order[] = {"head", "name", "glyf", "cmap"};
    std::uint32_t sfntSize = 12 + 16 * 4;
    for (size_t i = 0; i < 4; ++i) {
        const Table& t = tables[i == 0 ? 0 : i + 1];
        EXPECT_EQ(entries[i].tag, order[i]);
        EXPECT_EQ(Unpack(e.woff, entries[i]), t.data) << order[i];
        EXPECT_EQ(entries[i].origLength, t.data.size());
        EXPECT_EQ(entries[i].origChecksum, Be32(font, 12 + 16 * (i == 0 ? 0 : i + 1) + 4)) << "copied from the font";
        EXPECT_EQ(entries[i].offset % 4, 0u);
        sfntSize += (std::uint32_t(t.data.size()) + 3) & ~3u;
    }
    EXPECT_EQ(Be32(e.woff, 16), sfntSize);
    EXPECT_EQ(Be32(e.woff, 8), e.woff.size());
    EXPECT_EQ(e.woff.size() % 4, 0u);
    EXPECT_EQ(e.position, 44u + 20 * 4) << "left just after the directory";
    EXPECT_EQ(entries[0].offset, 44u + 20 * 4) << "data right after the directory";
    // Compressible tables are stored compressed, the rest as they are, padded with zeros.
    EXPECT_LT(entries[2].compLength, 1000u);
    EXPECT_EQ(entries[3].compLength, 7u);
    EXPECT_EQ(e.woff[entries[3].offset + 7], 0);
}

TEST(Encode, ATableIsCompressedOnlyWhenThatIsStrictlyShorter)
{
    for (long shorterBy : {-5L, 0L, 1L}) {
        const Bytes data = TablePackingTo(160, shorterBy);
        const Encoded e = Encode(BuildSfnt(0x00010000, {{"head", HeadBytes()}, {"glyf", data}}));
        ASSERT_TRUE(e.ok);
        const auto entries = EntriesOf(e.woff);
        const std::uint32_t expected = shorterBy > 0 ? 160 - std::uint32_t(shorterBy) : 160;
        EXPECT_EQ(entries[1].compLength, expected) << shorterBy;
        EXPECT_EQ(Unpack(e.woff, entries[1]), data);
        if (shorterBy <= 0) {
            EXPECT_TRUE(std::equal(data.begin(), data.end(), e.woff.begin() + entries[1].offset));
        }
    }
}

TEST(Encode, ZeroLengthTablesTakeNoRoom)
{
    const Encoded e = Encode(BuildSfnt(0x00010000, {{"head", HeadBytes()}, {"kern", {}}, {"post", Noise(5)}, {"cmap", Noise(8)}}));
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    EXPECT_EQ(entries[1].compLength, 0u);
    EXPECT_EQ(entries[1].origLength, 0u);
    EXPECT_EQ(entries[1].offset, entries[2].offset);
    EXPECT_EQ(entries[3].offset, entries[2].offset + 8) << "5 bytes and 3 of padding";
}

TEST(Encode, MetadataFollowsTheLastTableCompressed)
{
    const Bytes meta = Repeated(3001, 'm');
    const Encoded e = Encode(BuildSfnt(0x4F54544F, {{"CFF ", Noise(13)}, {"head", Noise(54)}}), meta);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    const std::uint32_t metaOffset = Be32(e.woff, 24), metaLength = Be32(e.woff, 28);
    EXPECT_EQ(Be32(e.woff, 4), 0x4F54544Fu);
    EXPECT_EQ(metaOffset, 44u + 2 * 20 + 16 + 56);
    EXPECT_EQ(Be32(e.woff, 32), 3001u);
    EXPECT_EQ(Be32(e.woff, 8), metaOffset + metaLength);
    EXPECT_EQ(e.woff.size(), metaOffset + metaLength) << "nothing follows the block";
    Bytes back(3001);
    uLongf length = back.size();
    ASSERT_EQ(uncompress(back.data(), &length, e.woff.data() + metaOffset, metaLength), Z_OK);
    EXPECT_EQ(back, meta);
    EXPECT_EQ(Be32(e.woff, 36) | Be32(e.woff, 40), 0u) << "no private block";

    // Metadata that zlib cannot shrink is still stored compressed.
    const Bytes noisy = Noise(101, 9);
    const Encoded n = Encode(BuildSfnt(0x00010000, {{"head", Noise(54)}}), noisy);
    ASSERT_TRUE(n.ok);
    EXPECT_EQ(Be32(n.woff, 28), Packed(noisy));
    EXPECT_GT(Be32(n.woff, 28), 101u);
}

TEST(Encode, TagsOutOfOrderAndDataInAnotherOrderKeepTheDirectoryOrder)
{
    // Directory: post, cmap, head; data in the file: head, post, cmap.
    const Bytes post = Noise(32, 1), cmap = Noise(20, 2), head = Noise(54, 3);
    const std::uint32_t start = 12 + 16 * 3;
    Bytes font = BuildDirectory(0x00010000, 3, {{"post", 1, start + 56, 32}, {"cmap", 2, start + 88, 20}, {"head", 3, start, 54}});
    for (const Bytes* t : {&head, &post, &cmap}) {
        font.insert(font.end(), t->begin(), t->end());
        while (font.size() % 4) font.push_back(0);
    }
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].tag, "post");
    EXPECT_EQ(entries[1].tag, "cmap");
    EXPECT_EQ(entries[2].tag, "head");
    EXPECT_LT(entries[0].offset, entries[1].offset);
    EXPECT_LT(entries[1].offset, entries[2].offset);
    EXPECT_EQ(Unpack(e.woff, entries[0]), post);
    EXPECT_EQ(Unpack(e.woff, entries[2]), head);
}

// A second entry of a tag would be carried with the first one's bytes under its own length: a
// WOFF that no decoder takes. "DSIG" is left out anyway, so two of it do no harm.
TEST(Encode, RepeatedTagsAreRefused)
{
    const Encoded twice = Encode(BuildSfnt(0x00010000, {{"head", HeadBytes()}, {"name", Noise(12, 1)}, {"name", Noise(20, 2)}}));
    EXPECT_FALSE(twice.ok);
    EXPECT_TRUE(twice.woff.empty());
    EXPECT_EQ(twice.messages, std::vector<std::string>{kFontBroken});

    const Encoded dsig = Encode(BuildSfnt(0x00010000, {{"DSIG", Noise(8, 1)}, {"head", HeadBytes()}, {"DSIG", Noise(8, 2)}}));
    ASSERT_TRUE(dsig.ok);
    EXPECT_EQ(EntriesOf(dsig.woff).size(), 1u);
}

TEST(Encode, CollectionMemberIsEncodedFromItsOwnTables)
{
    const Bytes a = Noise(40, 1), b = Noise(24, 2);
    const Bytes ttc = BuildCollection({{{"glyf", a}}, {{"head", b}, {"DSIG", Noise(8)}}});
    EXPECT_FALSE(Encode(ttc, {}, 0).ok) << "the first member has no head";
    const Encoded e = Encode(ttc, {}, 1);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].tag, "head");
    EXPECT_EQ(Unpack(e.woff, entries[0]), b);
    EXPECT_EQ(Be32(e.woff, 4), 0x00010000u) << "flavor of the member";

    const Encoded missing = Encode(ttc, {}, 2);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.messages, std::vector<std::string>{kFontBroken});
}

TEST(Encode, TablesOutsideTheFileAreReportedAsDamage)
{
    struct Case { const char* name; std::uint32_t offset, length; };
    const Case cases[] = {
        {"past the end", 60, 8},
        {"one byte too long", 44, 17},
        {"wrapping offset", 0xFFFFFFFCu, 8},
        {"huge length", 44, 0xFFFFFFF0u},
    };
    for (const Case& c : cases) {
        Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 28 + 16, 12}, {"glyf", 0, c.offset, c.length}});
        font.resize(60);
        const Encoded e = Encode(font);
        EXPECT_FALSE(e.ok) << c.name;
        EXPECT_EQ(e.messages, std::vector<std::string>{kFontBroken}) << c.name;
    }
}

TEST(Encode, ManyEntriesOverOneLargeRangeAreRefusedAtOnce)
{
    // 4000 entries, each naming the whole 1 MB file: as a font that is damage, and encoding it
    // as asked would compress 4 GB.
    const std::uint32_t n = 4000, size = 1 << 20;
    std::vector<Entry> entries = {{"head", 0, 0, 54}};
    for (std::uint32_t i = 1; i < n; ++i) {
        const std::string tag = {char('a' + i % 26), char('a' + i / 26 % 26), char('a' + i / 676 % 26), 'x'};
        entries.push_back({tag, 0, 0, size});
    }
    Bytes font = BuildDirectory(0x00010000, std::uint16_t(n), entries);
    font.resize(size);
    const auto start = std::chrono::steady_clock::now();
    const Encoded e = Encode(font);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.messages, std::vector<std::string>{kFontBroken});
}

TEST(Encode, TagsSharingOneRangeAreEachEncoded)
{
    const Bytes bitmaps = Repeated(4000, 'b');
    const std::uint32_t start = 12 + 16 * 2;
    Bytes font = BuildDirectory(0x00010000, 2, {{"EBDT", 0, start, 4000}, {"bdat", 0, start, 4000}});
    font.insert(font.end(), bitmaps.begin(), bitmaps.end());
    Poke32(font, 4, 0x00030000);  // three tables: a "head" after the bitmaps
    font.insert(font.begin() + start, 16, 0);
    std::copy_n("head", 4, font.begin() + start);
    Poke32(font, 12 + 8, start + 16);
    Poke32(font, 12 + 16 + 8, start + 16);
    Poke32(font, start + 8, std::uint32_t(font.size()));
    Poke32(font, start + 12, 54);
    const Bytes head = HeadBytes();
    font.insert(font.end(), head.begin(), head.end());
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(Unpack(e.woff, entries[0]), bitmaps);
    EXPECT_EQ(Unpack(e.woff, entries[1]), bitmaps);
}

TEST(Encode, CutDirectoryIsEncodedFromTheEntriesTheFileHolds)
{
    // numTables 0xFFFF, one entry naming the whole 28-byte file.
    const Encoded e = Encode(BuildDirectory(0x00010000, 0xFFFF, {{"head", 0, 0, 28}}));
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(Be16(e.woff, 12), 1);
    EXPECT_TRUE(e.messages.empty());
}

TEST(Encode, WoffInputIsNotEncoded)
{
    ScriptedResponder responder;
    auto file = MemFile({'w', 'O', 'F', 'F', 'O', 'T', 'T', 'O'});
    CWOFF woff(file.get(), FALSE);
    CMemFile out;
    EXPECT_FALSE(woff.EncodeWOFF(&out, nullptr, 0));
    EXPECT_EQ(out.GetLength(), 0u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(Encode, ReadErrorsInTheDirectoryAreShownAndEncodingGoesOn)
{
    // The directory ends 6 bytes into its second entry: the tag arrives, checkSum is cut. The
    // reader completes that entry with the first one's fields; it is no table of the font.
    Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 0, 12}, {"glyf", 0, 0, 0}});
    font.resize(12 + 16 + 6);
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.messages, std::vector<std::string>{"リードエラーが発生しました"});
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].tag, "head");
}

// Each table is deflated into room reserved at the end of a memory output, and the room is cut
// back to what zlib wrote, or dropped when the table is stored as it is. On a font of many
// tables of every kind (packing small, stored, empty, of every length modulo 4), into a memory
// file and into a file on disk, which lends no room, the output is byte for byte what packing
// each table on its own gives.
TEST(Encode, EveryTableComesOutAsItPacksOnItsOwnWhereverTheOutputGoes)
{
    std::vector<Table> tables{{"head", HeadBytes()}};
    Poke32(tables[0].data, 8, 0);  // so that the font's checksum of "head" is the WOFF's
    for (int i = 0; i < 48; ++i) {
        const size_t n = 97 * size_t(i) + size_t(i % 4);
        const Bytes kinds[] = {Repeated(n + 40000, std::uint8_t('a' + i)), Noise(n + 1, std::uint32_t(i) + 10), Bytes{},
                               Noise(n + 30000, std::uint32_t(i) + 99)};
        tables.push_back({"t" + std::to_string(100 + i), kinds[i % 4]});
    }
    tables.insert(tables.begin() + 7, Table{"DSIG", Noise(64, 5)});
    std::vector<WoffTable> expected;
    for (const Table& t : tables)
        if (t.tag != "DSIG") expected.push_back({t.tag, t.data});
    const Bytes meta = Repeated(5000, 'm');
    const Bytes font = BuildSfnt(0x00010000, tables);
    const Bytes want = BuildWoff(0x00010000, expected, meta);

    EXPECT_TRUE(Encode(font, meta).woff == want) << "into a memory file";

    ScriptedResponder responder;
    testfonts::TempDir dir;
    auto input = MemFile(font);
    CWOFF woff(input.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    Bytes copy = meta;
    CFile out(CString::FromUtf8(dir.File("out.woff")), CFile::modeCreate | CFile::modeReadWrite);
    ASSERT_TRUE(woff.EncodeWOFF(&out, copy.data(), UINT(copy.size())));
    out.Close();
    EXPECT_TRUE(testfonts::ReadFile(dir.File("out.woff")) == want) << "into a file on disk";
    EXPECT_TRUE(responder.Boxes().empty());
}

} // namespace
