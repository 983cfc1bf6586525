// The WOFF 1.0 encoder on fonts built in the tests: layout, header values, what is compressed
// and what is stored, metadata, and damaged or hostile fonts.
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"

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
    return {ok, Contents(out), responder.Texts(), out.GetPosition()};
}

TEST(Encode, FontsWithoutTablesOrWithOnlyDsigGiveAHeaderAlone)
{
    for (const auto& tables : {std::vector<Table>{}, std::vector<Table>{{"DSIG", Bytes(40, 7)}}}) {
        const Encoded e = Encode(BuildSfnt(0x00010000, tables));
        ASSERT_TRUE(e.ok);
        ASSERT_EQ(e.woff.size(), 44u);
        EXPECT_EQ(std::string(e.woff.begin(), e.woff.begin() + 4), "wOFF");
        EXPECT_EQ(Be32(e.woff, 4), 0x00010000u);
        EXPECT_EQ(Be32(e.woff, 8), 44u);
        EXPECT_EQ(Be16(e.woff, 12), 0);
        EXPECT_EQ(Be16(e.woff, 14), 0);
        EXPECT_EQ(Be32(e.woff, 16), 12u);
        EXPECT_EQ(Be32(e.woff, 20), 0x00010000u) << "version 1.0";
        for (size_t field = 24; field < 44; field += 4) EXPECT_EQ(Be32(e.woff, field), 0u);
        EXPECT_TRUE(e.messages.empty());
    }
    const Bytes meta = {'<', 'x', '/', '>'};
    const Encoded e = Encode(BuildSfnt(0x00010000, {}), meta);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(Be32(e.woff, 24), 44u) << "metadata right after the header";
    EXPECT_EQ(Be32(e.woff, 8), 44u + Be32(e.woff, 28));
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
        const Encoded e = Encode(BuildSfnt(0x00010000, {{"glyf", data}}));
        ASSERT_TRUE(e.ok);
        const auto entries = EntriesOf(e.woff);
        const std::uint32_t expected = shorterBy > 0 ? 160 - std::uint32_t(shorterBy) : 160;
        EXPECT_EQ(entries[0].compLength, expected) << shorterBy;
        EXPECT_EQ(Unpack(e.woff, entries[0]), data);
        if (shorterBy <= 0) {
            EXPECT_TRUE(std::equal(data.begin(), data.end(), e.woff.begin() + entries[0].offset));
        }
    }
}

TEST(Encode, ZeroLengthTablesTakeNoRoom)
{
    const Encoded e = Encode(BuildSfnt(0x00010000, {{"head", Noise(5)}, {"kern", {}}, {"post", Noise(8)}}));
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    EXPECT_EQ(entries[1].compLength, 0u);
    EXPECT_EQ(entries[1].origLength, 0u);
    EXPECT_EQ(entries[1].offset, entries[2].offset);
    EXPECT_EQ(entries[2].offset, entries[0].offset + 8) << "5 bytes and 3 of padding";
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

TEST(Encode, DuplicateTagsCarryTheFirstEntrysBytes)
{
    const Bytes first = Noise(12, 1), second = Noise(12, 2);
    const std::uint32_t start = 12 + 16 * 2;
    Bytes font = BuildDirectory(0x00010000, 2, {{"name", 1, start, 12}, {"name", 2, start + 12, 12}});
    font.insert(font.end(), first.begin(), first.end());
    font.insert(font.end(), second.begin(), second.end());
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(Unpack(e.woff, entries[1]), first);
    EXPECT_EQ(entries[1].origChecksum, 2u);
}

TEST(Encode, CollectionMemberIsEncodedFromItsOwnTables)
{
    const Bytes a = Noise(40, 1), b = Noise(24, 2);
    const Bytes ttc = BuildCollection({{{"glyf", a}}, {{"head", b}, {"DSIG", Noise(8)}}});
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
        Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 28 + 16, 4}, {"glyf", 0, c.offset, c.length}});
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
    std::vector<Entry> entries;
    for (std::uint32_t i = 0; i < n; ++i) {
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
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 2u);
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
    // The directory ends 6 bytes into its second entry: the tag arrives, checkSum is cut.
    Bytes font = BuildDirectory(0x00010000, 2, {{"head", 0, 0, 12}, {"glyf", 0, 0, 0}});
    font.resize(12 + 16 + 6);
    const Encoded e = Encode(font);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.messages, std::vector<std::string>{"リードエラーが発生しました"});
    const auto entries = EntriesOf(e.woff);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].tag, "glyf");
    EXPECT_EQ(entries[1].origLength, 12u) << "fields missing from the cut entry repeat the one before";
}

} // namespace
