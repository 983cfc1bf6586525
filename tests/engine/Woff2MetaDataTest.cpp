// The WOFF2 metadata display on WOFF2 files that fontTools wrote with a brotli-compressed
// metadata block, sound and damaged: what the viewer receives, every message and its order.
#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"
#include "WoffBuilder.h"

#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Be32;

namespace {

const char* const kWoffBroken = "WOFFファイルが壊れています。";
const char* const kMetaFailed = "メタデータの展開に失敗しました。";
const char* const kViewer = "<viewer>";

const std::string kMeta = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\">\n"
                          "<description><text lang=\"ja\">日本語のフォント</text></description>\n</metadata>\n";

// A small font made by fontTools, written as WOFF2 with and without the metadata block.
const char* const kWoff2Script = R"(
import sys
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib.woff2 import WOFF2FlavorData
def build(path, meta):
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(['.notdef', 'A'])
    fb.setupCharacterMap({0x41: 'A'})
    pen = TTGlyphPen(None)
    pen.moveTo((0, 0)); pen.lineTo((500, 700)); pen.lineTo((1000, 0)); pen.closePath()
    fb.setupGlyf({'.notdef': TTGlyphPen(None).glyph(), 'A': pen.glyph()})
    fb.setupHorizontalMetrics({'.notdef': (500, 0), 'A': (1000, 0)})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({'familyName': 'Sample', 'styleName': 'Regular'})
    fb.setupOS2()
    fb.setupPost()
    font = fb.font
    font.flavor = 'woff2'
    if meta is not None:
        data = WOFF2FlavorData()
        data.metaData = meta
        font.flavorData = data
    font.save(path)
with open(sys.argv[2], 'rb') as f:
    build(sys.argv[1] + '/meta.woff2', f.read())
build(sys.argv[1] + '/plain.woff2', None)
)";

class Woff2MetaData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testfonts::TempDir dir;
        testfonts::WriteFile(dir.File("meta.xml"), Bytes(kMeta.begin(), kMeta.end()));
        RunFontTools(kWoff2Script, {dir.Path(), dir.File("meta.xml")});
        s_withMeta = testfonts::ReadFile(dir.File("meta.woff2"));
        s_plain = testfonts::ReadFile(dir.File("plain.woff2"));
    }

    void SetUp() override
    {
        m_dialogs.OnEachDialog([this](CDialog& dialog) {
            auto& viewer = dynamic_cast<CMetaDataDlg&>(dialog);
            m_shown.emplace_back(viewer.m_pMetaData, viewer.m_pMetaData + viewer.m_nMetaDataLength);
            LogBoxes();
            m_events.push_back(kViewer);
        });
    }

    // The engine as the WOFF2 decoding path uses it: type check, then the display.
    BOOL Show(const Bytes& woff2)
    {
        m_boxes.Clear();
        m_events.clear();
        m_logged = 0;
        m_shown.clear();
        auto file = MemFile(woff2);
        CWOFF engine(file.get(), FALSE);
        EXPECT_TRUE(engine.CheckFileType());
        EXPECT_TRUE(engine.m_bWOFF2);
        const BOOL result = engine.ShowWOFF2MetaData();
        LogBoxes();
        return result;
    }

    void LogBoxes()
    {
        const auto texts = m_boxes.Texts();
        for (; m_logged < texts.size(); ++m_logged) m_events.push_back(texts[m_logged]);
    }

    ScriptedResponder m_boxes;
    ScriptedDialogResponder m_dialogs;
    std::vector<Bytes> m_shown;
    std::vector<std::string> m_events;  // message texts and the viewer, in the order shown
    size_t m_logged = 0;

    static Bytes s_withMeta;
    static Bytes s_plain;
};

Bytes Woff2MetaData::s_withMeta;
Bytes Woff2MetaData::s_plain;

TEST_F(Woff2MetaData, ViewerReceivesExactlyTheBlocksText)
{
    ASSERT_EQ(std::string(s_withMeta.begin(), s_withMeta.begin() + 4), "wOF2");
    ASSERT_NE(Be32(s_withMeta, 32), 0u);
    EXPECT_TRUE(Show(s_withMeta));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0], Bytes(kMeta.begin(), kMeta.end()));
    EXPECT_EQ(m_events, std::vector<std::string>{kViewer});

    m_dialogs.Answer(IDCANCEL);
    EXPECT_FALSE(Show(s_withMeta));
    EXPECT_EQ(m_events, std::vector<std::string>{kViewer});
}

TEST_F(Woff2MetaData, FileWithoutMetadataPassesWithoutAWindow)
{
    ASSERT_EQ(Be32(s_plain, 32), 0u);
    EXPECT_TRUE(Show(s_plain));
    EXPECT_TRUE(m_events.empty());
}

TEST_F(Woff2MetaData, DamagedBlocksGetTheirMessage)
{
    const size_t metaOffset = Be32(s_withMeta, 28), metaLength = Be32(s_withMeta, 32);
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        BOOL result;
        std::vector<std::string> events;
        size_t shownLength;  // of the text the viewer got
    };
    const std::vector<Case> cases = {
        {"block that does not decompress",
         [&](Bytes& w) { for (size_t i = 0; i < metaLength; ++i) w[metaOffset + i] ^= 0xA5; },
         TRUE, {kMetaFailed, kViewer}, kMeta.size()},
        {"text shorter than the header claims", [&](Bytes& w) { Poke32(w, 36, std::uint32_t(kMeta.size() + 7)); },
         TRUE, {kMetaFailed, kViewer}, kMeta.size() + 7},
        {"text longer than the header claims", [&](Bytes& w) { Poke32(w, 36, std::uint32_t(kMeta.size() - 1)); },
         TRUE, {kMetaFailed, kViewer}, kMeta.size() - 1},
        {"block beyond the end of the file", [&](Bytes& w) { Poke32(w, 28, std::uint32_t(w.size() - 4)); },
         FALSE, {kWoffBroken}, 0},
        {"offset near 4 GiB", [&](Bytes& w) { Poke32(w, 28, 0xFFFFFFF0); }, FALSE, {kWoffBroken}, 0},
        {"text far beyond what brotli gives", [&](Bytes& w) { Poke32(w, 36, 4u << 20); },
         TRUE, {kMetaFailed, kViewer}, 4u << 20},
        {"text one byte over the cap", [&](Bytes& w) { Poke32(w, 36, (64u << 20) + 1); }, FALSE, {kWoffBroken}, 0},
        {"text claiming a gigabyte", [&](Bytes& w) { Poke32(w, 36, 0x40000000); }, FALSE, {kWoffBroken}, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Bytes woff2 = s_withMeta;
        test.damage(woff2);
        EXPECT_EQ(Show(woff2), test.result);
        EXPECT_EQ(m_events, test.events);
        if (test.shownLength) {
            ASSERT_EQ(m_shown.size(), 1u);
            EXPECT_EQ(m_shown[0].size(), test.shownLength);
            if (std::string(test.name).rfind("text shorter", 0) == 0) {
                Bytes expected(kMeta.begin(), kMeta.end());
                expected.resize(test.shownLength, 0);
                EXPECT_EQ(m_shown[0], expected) << "what brotli did not fill is zeros";
            }
        }
    }
}

TEST_F(Woff2MetaData, WithoutAnInstalledViewerMetadataStopsTheDecodingQuietly)
{
    ViewerScope none({});
    EXPECT_FALSE(Show(s_withMeta));
    EXPECT_TRUE(m_events.empty()) << "no box and no dialog";
    EXPECT_TRUE(Show(s_plain));
}

} // namespace
