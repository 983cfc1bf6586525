// The WOFF 1.0 decoder on files built in memory: the font it writes, the metadata viewer it
// opens, and every message, in order, for damaged files.
#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;

namespace {

const char* const kWoffBroken = "WOFFファイルが壊れています。";
const char* const kInflateFailed = "解凍に失敗しました。";
const char* const kMetaFailed = "メタデータの展開に失敗しました。";
const char* const kViewer = "<viewer>";
constexpr std::uint32_t kTrueType = 0x00010000;
constexpr std::uint32_t kCff = 0x4F54544F;

struct Decoded {
    BOOL ok;
    Bytes font;
};

// Answers the viewer and keeps what it was given; events lists message texts and the viewer
// in the order the user met them.
class Decoder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dialogs.OnEachDialog([this](CDialog& dialog) {
            auto& viewer = dynamic_cast<CMetaDataDlg&>(dialog);
            m_shown.emplace_back(viewer.m_pMetaData, viewer.m_pMetaData + viewer.m_nMetaDataLength);
            m_viewerAfter.push_back(m_boxes.Boxes().size());
        });
    }

    Decoded Decode(const Bytes& woff)
    {
        auto file = MemFile(woff);
        CWOFF engine(file.get(), FALSE);
        EXPECT_TRUE(engine.CheckFileType());
        CMemFile out;
        const BOOL ok = engine.DecodeWOFF(&out);
        return {ok, Contents(out)};
    }

    std::vector<std::string> Events() const
    {
        std::vector<std::string> events;
        const auto texts = m_boxes.Texts();
        size_t viewer = 0;
        for (size_t i = 0; i <= texts.size(); ++i) {
            while (viewer < m_viewerAfter.size() && m_viewerAfter[viewer] == i) {
                events.push_back(kViewer);
                ++viewer;
            }
            if (i < texts.size()) events.push_back(texts[i]);
        }
        return events;
    }

    ScriptedResponder m_boxes;
    ScriptedDialogResponder m_dialogs;
    std::vector<Bytes> m_shown;
    std::vector<size_t> m_viewerAfter;
};

TEST_F(Decoder, TrueTypeFontComesOutSortedInTheListOrderWithoutDsig)
{
    const std::vector<WoffTable> tables = {{"GPOS", Noise(6, 1)},       {"head", HeadBytes()},
                                           {"DSIG", Noise(16, 2)},      {"glyf", Repeated(301, 'g')},
                                           {"cmap", Noise(8, 3), false}, {"OS/2", Repeated(5, 'o'), false}};
    const Bytes woff = BuildWoff(kTrueType, tables);
    const Decoded result = Decode(woff);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(Events().empty());
    const Bytes& font = result.font;

    EXPECT_EQ(Be32(font, 0), kTrueType);
    EXPECT_EQ(Be16(font, 4), 5);
    EXPECT_EQ(Be16(font, 6), 64);   // searchRange
    EXPECT_EQ(Be16(font, 8), 2);    // entrySelector
    EXPECT_EQ(Be16(font, 10), 16);  // rangeShift
    const auto directory = DirectoryOf(font);
    std::vector<std::string> tags;
    for (const OutEntry& e : directory) tags.push_back(e.tag);
    EXPECT_EQ(tags, (std::vector<std::string>{"GPOS", "OS/2", "cmap", "glyf", "head"}));
    EXPECT_EQ(DataOrder(directory), (std::vector<std::string>{"head", "OS/2", "cmap", "glyf", "GPOS"}));
    for (const OutEntry& entry : directory) {
        const WoffTable& source = *std::find_if(tables.begin(), tables.end(), [&](auto& t) { return t.tag == entry.tag; });
        Bytes table = TableOf(font, entry);
        if (entry.tag == "head") std::copy_n(source.data.begin() + 8, 4, table.begin() + 8);
        EXPECT_EQ(table, source.data) << entry.tag;
        EXPECT_EQ(entry.checkSum, FreshChecksum(entry.tag, source.data)) << entry.tag;
        EXPECT_EQ(entry.offset % 4, 0u);
        for (size_t p = entry.offset + entry.length; p % 4; ++p) EXPECT_EQ(font.at(p), 0) << entry.tag;
    }
    // Exactly the size the WOFF header announced, less the DSIG that was left out.
    EXPECT_EQ(font.size(), Be32(woff, 16) - 16 - 16);
    EXPECT_EQ(WholeFileSum(font), 0xB1B0AFBAu);
}

TEST_F(Decoder, CffFontFollowsTheCffList)
{
    const Decoded result = Decode(BuildWoff(
        kCff, {{"CFF ", Noise(40, 4)}, {"GPOS", Noise(9, 5)}, {"name", Noise(12, 6)}, {"head", HeadBytes()}}));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(DataOrder(DirectoryOf(result.font)), (std::vector<std::string>{"head", "name", "CFF ", "GPOS"}));
    EXPECT_EQ(WholeFileSum(result.font), 0xB1B0AFBAu);
}

TEST_F(Decoder, SearchFieldsFollowTheNumberOfTables)
{
    const std::vector<std::pair<int, std::array<int, 3>>> cases = {
        {1, {16, 0, 0}},   {2, {32, 1, 0}},   {3, {32, 1, 16}},   {4, {64, 2, 0}},
        {5, {64, 2, 16}},  {8, {128, 3, 0}},  {16, {256, 4, 0}},  {17, {256, 4, 16}}};
    for (const auto& [count, fields] : cases) {
        SCOPED_TRACE(count);
        std::vector<WoffTable> tables = {{"head", HeadBytes()}};
        for (int i = 1; i < count; ++i)
            tables.push_back({std::string("t").append(std::to_string(100 + i)), Noise(4, std::uint32_t(i))});
        const Decoded result = Decode(BuildWoff(kTrueType, tables));
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(Be16(result.font, 4), count);
        EXPECT_EQ(Be16(result.font, 6), fields[0]);
        EXPECT_EQ(Be16(result.font, 8), fields[1]);
        EXPECT_EQ(Be16(result.font, 10), fields[2]);
    }
}

TEST_F(Decoder, StoredTablesAreCopiedUpToTheirOriginalLength)
{
    // compLength above origLength: the table is taken as stored, its first origLength bytes.
    Bytes woff = BuildWoff(kTrueType, {{"head", HeadBytes()}, {"abcd", Noise(8, 8), false}, {"efgh", Noise(5, 9), false}});
    Poke32(woff, WoffField(1, 12), 6);
    const Decoded result = Decode(woff);
    ASSERT_TRUE(result.ok);
    const auto directory = DirectoryOf(result.font);
    ASSERT_EQ(directory.size(), 3u);
    const Bytes stored = Noise(8, 8);
    EXPECT_EQ(directory[0].length, 6u);
    EXPECT_EQ(TableOf(result.font, directory[0]), Bytes(stored.begin(), stored.begin() + 6));
    EXPECT_EQ(directory[1].length, 5u);
    EXPECT_EQ(TableOf(result.font, directory[1]), Noise(5, 9));
    EXPECT_EQ(directory[0].offset + 8, directory[1].offset) << "6 bytes and 2 zero bytes";
    EXPECT_EQ(result.font.size(), directory[1].offset + 8u) << "5 bytes and 3 zero bytes";
}

TEST_F(Decoder, TablesOfManyMegabytesInflateWhole)
{
    // Sizes around the pieces the decoder inflates in, from data that deflate packs tightly, so
    // that one piece of input holds several pieces of output.
    for (size_t size : {size_t(1) << 20, (size_t(1) << 20) + 1, (size_t(3) << 20) - 3, size_t(3) << 20}) {
        SCOPED_TRACE(size);
        Bytes big(size);
        for (size_t i = 0; i < size; ++i) big[i] = static_cast<std::uint8_t>((i / 4096) * 7 + (i % 3));
        const Decoded result = Decode(BuildWoff(kTrueType, {{"head", HeadBytes()}, {"glyf", big}}));
        ASSERT_TRUE(result.ok);
        const auto directory = DirectoryOf(result.font);
        EXPECT_TRUE(TableOf(result.font, directory[0]) == big);
    }
    EXPECT_TRUE(Events().empty());
}

TEST_F(Decoder, MetadataIsShownBeforeAnyTableAndOnlyOkGoesOn)
{
    const Bytes meta = {'<', '?', 'x', 'm', 'l', '?', '>', 0xE6, 0x97, 0xA5};
    const std::vector<WoffTable> tables = {{"head", HeadBytes()}, {"glyf", Repeated(100, 'x')}};
    {
        const Decoded result = Decode(BuildWoff(kTrueType, tables, meta));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(Events(), std::vector<std::string>{kViewer});
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0], meta);
    }
    {
        m_dialogs.Answer(IDCANCEL);
        const Decoded result = Decode(BuildWoff(kTrueType, tables, meta));
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.font.empty());
        EXPECT_EQ(Events(), (std::vector<std::string>{kViewer, kViewer}));
    }
    {
        // The viewer comes first, the damaged table after it.
        Bytes woff = BuildWoff(kTrueType, tables, meta);
        woff[Be32(woff, WoffField(1, 4)) + 2] ^= 0xFF;
        EXPECT_FALSE(Decode(woff).ok);
        EXPECT_EQ(Events(), (std::vector<std::string>{kViewer, kViewer, kViewer, kInflateFailed}));
    }
}

TEST_F(Decoder, MetadataThatDoesNotInflateStillReachesTheViewer)
{
    const Bytes meta = Repeated(40, 'm');
    const std::vector<WoffTable> tables = {{"head", HeadBytes()}};
    {
        // The stream gives fewer bytes than the header claims: the rest is zeros.
        Bytes woff = BuildWoff(kTrueType, tables, meta);
        Poke32(woff, 32, 50);
        EXPECT_TRUE(Decode(woff).ok);
        EXPECT_EQ(Events(), (std::vector<std::string>{kMetaFailed, kViewer}));
        Bytes expected = meta;
        expected.resize(50, 0);
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0], expected);
    }
    {
        Bytes woff = BuildWoff(kTrueType, tables, meta);
        woff[Be32(woff, 24) + 3] ^= 0x55;
        m_dialogs.Answer(IDCANCEL);
        EXPECT_FALSE(Decode(woff).ok);
        EXPECT_EQ(Events(), (std::vector<std::string>{kMetaFailed, kViewer, kMetaFailed, kViewer}));
        EXPECT_EQ(m_shown[1].size(), meta.size());
    }
}

TEST_F(Decoder, DamagedFilesGetTheirMessageAndNoFont)
{
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"metadata past the end", [](Bytes& w) { Poke32(w, 28, 4000); }, kWoffBroken},
        {"metadata claiming a gigabyte", [](Bytes& w) { Poke32(w, 32, 0x40000000); }, kWoffBroken},
        {"metadata one byte over the cap", [](Bytes& w) { Poke32(w, 32, (64u << 20) + 1); }, kWoffBroken},
        {"table past the end", [](Bytes& w) { Poke32(w, WoffField(1, 4), 0xFFFFFFF0); }, kWoffBroken},
        {"table that does not inflate", [](Bytes& w) { w[Be32(w, WoffField(1, 4)) + 4] ^= 0xFF; }, kInflateFailed},
        {"table shorter than claimed", [](Bytes& w) { Poke32(w, WoffField(1, 12), 4000); }, kInflateFailed},
        {"table claiming more than deflate gives", [](Bytes& w) { Poke32(w, WoffField(1, 12), 0x10000000); }, kInflateFailed},
        {"compressed table of no bytes", [](Bytes& w) { Poke32(w, WoffField(1, 8), 0); }, kInflateFailed},
        {"no head", [](Bytes& w) { w[WoffField(0, 3)] = 'x'; }, kWoffBroken},
        {"head too short", [](Bytes& w) { Poke32(w, WoffField(0, 8), 11); Poke32(w, WoffField(0, 12), 11); }, kWoffBroken},
        {"tag twice", [](Bytes& w) { std::copy_n("head", 4, w.begin() + long(WoffField(1, 0))); }, kWoffBroken},
        {"stored data beyond the file", [](Bytes& w) { Poke32(w, WoffField(1, 8), std::uint32_t(w.size())); }, kWoffBroken},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        m_boxes.Clear();
        m_dialogs.Clear();
        Bytes woff = BuildWoff(kTrueType, {{"head", HeadBytes()}, {"glyf", Repeated(3000, 'x')}}, Repeated(100, 'm'));
        test.damage(woff);
        const bool metaDamage = std::string(test.name).rfind("metadata", 0) == 0;
        EXPECT_FALSE(Decode(woff).ok);
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{test.message});
        EXPECT_EQ(m_dialogs.Dialogs().size(), metaDamage ? 0u : 1u);
    }
}

// A WOFF's blocks share no bytes. A table read from another's bytes, or from those of the header,
// the directory, the metadata or the private data (at their start or anywhere inside them), would
// give a font that no one accepts: such a
// file is refused before anything is written. Blocks that only touch, tables of no bytes and
// "DSIG", which is never read, stop nothing.
TEST_F(Decoder, TablesSharingBytesWithAnyOtherBlockAreRefused)
{
    const std::vector<WoffTable> tables = {{"head", HeadBytes()}, {"name", Noise(40, 7)}, {"post", Repeated(32, 'p'), false},
                                           {"DSIG", Noise(16, 2)}, {"loca", {}}};
    enum { kName = 1, kPost = 2, kDsig = 3, kLoca = 4 };
    Bytes built = BuildWoff(kTrueType, tables, Noise(200, 9));
    const std::uint32_t name = Be32(built, WoffField(kName, 4)), post = Be32(built, WoffField(kPost, 4));
    const std::uint32_t meta = Be32(built, 24), end = std::uint32_t(built.size());
    // Room after the metadata for a private block that no other block shares.
    built.resize(end + 48);
    Poke32(built, 8, end + 48);
    using Pokes = std::vector<std::pair<size_t, std::uint32_t>>;
    const std::vector<std::tuple<const char*, Pokes, bool>> cases = {
        {"post over name", {{WoffField(kPost, 4), name + 8}}, true},
        {"post over the header", {{WoffField(kPost, 4), 0}}, true},
        {"post over the directory", {{WoffField(kPost, 4), std::uint32_t(WoffField(kLoca, 0))}}, true},
        {"post over the metadata block", {{WoffField(kPost, 4), meta}}, true},
        {"post starting inside the header", {{WoffField(kPost, 4), 8}}, true},
        {"post starting inside the directory", {{WoffField(kPost, 4), std::uint32_t(WoffField(kDsig, 8))}}, true},
        {"post starting inside the metadata block", {{WoffField(kPost, 4), meta + 4}}, true},
        {"post starting inside the private block", {{36, end}, {40, 48}, {WoffField(kPost, 4), end + 8}}, true},
        {"private block after the metadata", {{36, end}, {40, 48}}, false},
        {"private block over the last byte of post", {{36, post + 31}, {40, 1}}, true},
        {"private block touching the metadata's end", {{36, end}, {40, 8}}, false},
        {"private block over the metadata", {{36, meta}, {40, 8}}, false},
        {"empty table inside name", {{WoffField(kLoca, 4), name + 4}}, false},
        {"DSIG over name", {{WoffField(kDsig, 4), name}}, false},
    };
    for (const auto& [what, pokes, refused] : cases) {
        SCOPED_TRACE(what);
        m_boxes.Clear();
        m_viewerAfter.clear();
        Bytes woff = built;
        for (const auto& [at, value] : pokes) Poke32(woff, at, value);
        const Decoded result = Decode(woff);
        std::vector<std::string> expected = {kViewer};
        if (refused) expected.push_back(kWoffBroken);
        EXPECT_EQ(result.ok, !refused);
        EXPECT_EQ(Events(), expected);
        EXPECT_TRUE(refused || WholeFileSum(result.font) == 0xB1B0AFBAu);
    }
}

// Below the cap, a metadata block that claims more than its bytes can give is one that does not
// decompress: its message, then the viewer with the length claimed, and decoding goes on. A
// damaged "DSIG" entry stops nothing, since "DSIG" is never read.
TEST_F(Decoder, WhatIsNotReadOrDoesNotInflateGetsItsOwnMessage)
{
    const std::vector<WoffTable> tables = {{"head", HeadBytes()}, {"DSIG", Noise(16, 2)}, {"glyf", Repeated(3000, 'x')}};
    Bytes woff = BuildWoff(kTrueType, tables, Repeated(100, 'm'));
    Poke32(woff, 32, 4u << 20);
    Poke32(woff, WoffField(1, 4), 0xFFFFFF00);
    Poke32(woff, WoffField(1, 8), 0x7FFFFFFF);
    const Decoded result = Decode(woff);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(Events(), (std::vector<std::string>{kMetaFailed, kViewer}));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].size(), 4u << 20);
    std::vector<std::string> tags;
    for (const OutEntry& e : DirectoryOf(result.font)) tags.push_back(e.tag);
    EXPECT_EQ(tags, (std::vector<std::string>{"glyf", "head"}));
}

// The engine opens whatever viewer the program installed. With none, nobody can see the block or
// choose to go on: a WOFF with metadata stops quietly, one without is decoded all the same.
TEST_F(Decoder, MetadataGoesToTheInstalledViewerAndWithoutOneStopsQuietly)
{
    const Bytes meta = {'<', 'm', '/', '>'};
    const std::vector<WoffTable> tables = {{"head", HeadBytes()}, {"glyf", Repeated(100, 'x')}};
    {
        ViewerScope none({});
        const Decoded withMeta = Decode(BuildWoff(kTrueType, tables, meta));
        EXPECT_FALSE(withMeta.ok);
        EXPECT_TRUE(withMeta.font.empty());
        EXPECT_TRUE(Decode(BuildWoff(kTrueType, tables)).ok);
        EXPECT_TRUE(Events().empty()) << "no box and no dialog";
    }
    std::vector<Bytes> seen;
    int answer = IDOK;
    ViewerScope scripted([&](const BYTE* data, UINT length) {
        seen.emplace_back(data, data + length);
        return answer;
    });
    EXPECT_TRUE(Decode(BuildWoff(kTrueType, tables, meta)).ok);
    answer = IDCANCEL;
    EXPECT_FALSE(Decode(BuildWoff(kTrueType, tables, meta)).ok);
    EXPECT_EQ(seen, (std::vector<Bytes>{meta, meta}));
    EXPECT_TRUE(m_dialogs.Dialogs().empty()) << "the scripted viewer took the dialog's place";
}

TEST_F(Decoder, FontInputIsRefusedSilently)
{
    auto file = MemFile(BuildSfnt(kTrueType, {{"head", HeadBytes()}}));
    CWOFF engine(file.get(), TRUE);
    CMemFile out;
    EXPECT_FALSE(engine.DecodeWOFF(&out));
    EXPECT_EQ(out.GetLength(), 0u);
    EXPECT_TRUE(Events().empty());
}

} // namespace
