// The in-memory writers on real fonts: what reaches the disk is what the engine or the
// embedding library made, independent tools accept it, and a step that fails leaves the target
// that was there byte for byte as it was.
#include "CodePage.h"
#include "EmbedHelpers.h"
#include "FenwrapApp.h"
#include "Responder.h"
#include "TestFonts.h"
#include "WOFF.h"
#include "Writers.h"

#include <gtest/gtest.h>
#include <zlib.h>

using testfonts::Be32;
using testfonts::Bytes;
using testfonts::Quote;
using testfonts::TempDir;

namespace {

CString Wide(const std::string& utf8) { return CString::FromUtf8(utf8); }

// The engine's own encoding of a font, for comparison with what the writer saved.
Bytes EncodeInMemory(const std::string& font, const Bytes& meta = {})
{
    CFile file(Wide(font), CFile::modeRead | CFile::shareDenyNone);
    CWOFF woff(&file, TRUE);
    EXPECT_TRUE(woff.CheckFileType());
    CMemFile memory;
    Bytes copy = meta;
    EXPECT_TRUE(woff.EncodeWOFF(&memory, copy.empty() ? nullptr : copy.data(), UINT(copy.size())));
    return Bytes(memory.Data(), memory.Data() + memory.GetLength());
}

BOOL WriteWoff(const std::string& font, const std::string& target, const std::string& meta = "")
{
    CFile file(Wide(font), CFile::modeRead | CFile::shareDenyNone);
    CWOFF woff(&file, TRUE);
    woff.CheckFileType();
    return WriteWOFFFile(&woff, Wide(target), meta.empty() ? nullptr : static_cast<LPCWSTR>(Wide(meta)));
}

LONG WINAPI FailingLibrary(HDC, LPCSTR, USHORT, ULONG, ULONG, ULONG*, ULONG*, WRITEEMBEDPROC write, LPVOID stream,
                           USHORT*, USHORT, USHORT, TTEMBEDINFO*)
{
    write(stream, "partial", 7);  // a library may hand over pieces before it fails
    return -5;
}

class Writers : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetThreadLocale(1041);
        m_saved = g_pfnTTEmbedFontFromFileA;
        g_pfnTTEmbedFontFromFileA = embedtest::EntryPoint();
    }
    void TearDown() override { g_pfnTTEmbedFontFromFileA = m_saved; }

    TempDir m_dir;
    ScriptedResponder m_boxes;
    PFN_TTEmbedFontFromFileA m_saved = nullptr;
};

} // namespace

TEST_F(Writers, WoffIsTheEncodersOutputAndToolsAcceptIt)
{
    for (const char* font : {testfonts::kSmallTrueType, testfonts::kLiberation, testfonts::kCffOtf}) {
        if (!testfonts::Exists(font)) continue;
        const std::string target = m_dir.File("out.woff");
        ASSERT_TRUE(WriteWoff(font, target)) << font;
        EXPECT_EQ(testfonts::ReadFile(target), EncodeInMemory(font)) << font;
        const auto ots = testfonts::Run("ots-sanitize " + Quote(target));
        EXPECT_EQ(ots.exitCode, 0) << font << ": " << ots.output;
        const auto back = testfonts::Run("woff2sfnt " + Quote(target) + " > " + Quote(m_dir.File("back.ttf")));
        EXPECT_EQ(back.exitCode, 0) << font << ": " << back.output;
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(Writers, MetadataFileBecomesTheMetadataBlock)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"></metadata>\n";
    const std::string meta = m_dir.File("meta.xml");
    testfonts::WriteFile(meta, Bytes(xml.begin(), xml.end()));
    const std::string target = m_dir.File("m.woff");
    ASSERT_TRUE(WriteWoff(testfonts::kSmallTrueType, target, meta));
    const Bytes woff = testfonts::ReadFile(target);
    ASSERT_EQ(woff, EncodeInMemory(testfonts::kSmallTrueType, Bytes(xml.begin(), xml.end())));
    const size_t offset = Be32(woff, 24), length = Be32(woff, 28), origLength = Be32(woff, 32);
    ASSERT_EQ(origLength, xml.size());
    std::string unpacked(origLength, '\0');
    uLongf got = origLength;
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(unpacked.data()), &got, woff.data() + offset, length), Z_OK);
    EXPECT_EQ(unpacked, xml);

    // An empty metadata file adds no block, exactly as no metadata at all.
    testfonts::WriteFile(meta, {});
    ASSERT_TRUE(WriteWoff(testfonts::kSmallTrueType, target, meta));
    EXPECT_EQ(testfonts::ReadFile(target), EncodeInMemory(testfonts::kSmallTrueType));
}

TEST_F(Writers, FailuresLeaveTheExistingTargetAsItWas)
{
    const Bytes old = {'o', 'l', 'd'};
    const std::string target = m_dir.File("keep.woff");
    testfonts::WriteFile(target, old);

    // A metadata file that is not there: its open failure, and nothing encoded.
    EXPECT_FALSE(WriteWoff(testfonts::kSmallTrueType, target, m_dir.File("missing.xml")));
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "ファイル" + m_dir.File("missing.xml") + "のオープンに失敗しました。\n原因：ファイルが見つからない");
    EXPECT_EQ(testfonts::ReadFile(target), old);

    // A metadata file larger than any reader takes a metadata block to be: refused unread.
    const std::string huge = m_dir.File("huge.xml");
    ASSERT_EQ(testfonts::Run("truncate -s 64M " + Quote(huge) + " && truncate -s +1 " + Quote(huge)).exitCode, 0);
    m_boxes.Clear();
    EXPECT_FALSE(WriteWoff(testfonts::kSmallTrueType, target, huge));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"圧縮に失敗しました。"});
    EXPECT_EQ(testfonts::ReadFile(target), old);

    // A font the encoder refuses.
    const std::string broken = m_dir.File("broken.ttf");
    Bytes cut = testfonts::ReadFile(testfonts::kSmallTrueType);
    cut.resize(200);
    testfonts::WriteFile(broken, cut);
    m_boxes.Clear();
    EXPECT_FALSE(WriteWoff(broken, target));
    EXPECT_FALSE(m_boxes.Texts().empty());
    EXPECT_EQ(testfonts::ReadFile(target), old);

    // A target that cannot be created: its folder is missing.
    m_boxes.Clear();
    const std::string nowhere = m_dir.File("no/such/folder/x.woff");
    EXPECT_FALSE(WriteWoff(testfonts::kSmallTrueType, nowhere));
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_NE(m_boxes.Texts()[0].find("ファイル" + nowhere + "のオープンに失敗しました。"), std::string::npos);

    // The embedding library failing after it handed over a piece.
    const std::string eot = m_dir.File("keep.eot");
    testfonts::WriteFile(eot, old);
    g_pfnTTEmbedFontFromFileA = FailingLibrary;
    m_boxes.Clear();
    EXPECT_FALSE(MakeEOTByT2embed(Wide(testfonts::kSmallTrueType), Wide(eot), 0));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "EOTの作成に失敗しました。(エラーコード -5)");
    EXPECT_EQ(m_boxes.Boxes()[0].style, MB_OK);
    EXPECT_EQ(testfonts::ReadFile(eot), old);
}

TEST_F(Writers, EotIsTheLibrarysOutputForFontsAndCollectionMembers)
{
    const std::string eot = m_dir.File("out.eot");
    ASSERT_TRUE(MakeEOTByT2embed(Wide(testfonts::kSmallTrueType), Wide(eot), 0));
    const Bytes written = testfonts::ReadFile(eot);
    EXPECT_EQ(written, embedtest::Embed(testfonts::kSmallTrueType).eot);
    testfonts::Run("eot2ttf " + Quote(eot) + " " + Quote(m_dir.File("back.ttf")));
    EXPECT_EQ(embedtest::CompareWithSource(testfonts::kSmallTrueType, 0, m_dir.File("back.ttf"), true), "");

    if (testfonts::Exists(testfonts::kTrueTypeCollection)) {
        ASSERT_TRUE(MakeEOTByT2embed(Wide(testfonts::kTrueTypeCollection), Wide(eot), 1));
        EXPECT_EQ(testfonts::ReadFile(eot), embedtest::Embed(testfonts::kTrueTypeCollection, 1).eot);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// Linux names need not be spellable in the code page the library reads its path in.
TEST_F(Writers, EotOfAFontWhoseFolderTheCodePageCannotSpell)
{
    for (const std::string folder : {"café", "emoji-😀", "日本語"}) {
        const std::string dir = m_dir.File(folder);
        ASSERT_EQ(testfonts::Run("mkdir " + Quote(dir)).exitCode, 0);
        const std::string font = dir + "/Sans ü.ttf";
        testfonts::WriteFile(font, testfonts::ReadFile(testfonts::kSmallTrueType));
        const std::string eot = dir + "/Sans ü.eot";
        ASSERT_TRUE(MakeEOTByT2embed(Wide(font), Wide(eot), 0)) << folder;
        EXPECT_EQ(testfonts::ReadFile(eot), embedtest::Embed(testfonts::kSmallTrueType).eot) << folder;
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(Writers, FontFromWoffIsTheDecodersOutput)
{
    const std::string woffPath = m_dir.File("in.woff");
    testfonts::WriteFile(woffPath, EncodeInMemory(testfonts::kLiberation));
    CFile file(Wide(woffPath), CFile::modeRead | CFile::shareDenyNone);
    CWOFF woff(&file, FALSE);
    ASSERT_TRUE(woff.CheckFileType());
    const std::string font = m_dir.File("out.ttf");
    ASSERT_TRUE(WriteFontFromWOFF(&woff, Wide(font)));
    EXPECT_EQ(testfonts::Run("ots-sanitize " + Quote(font)).exitCode, 0);
    EXPECT_EQ(testfonts::ReadFile(font).size(), Be32(testfonts::ReadFile(woffPath), 16));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}
