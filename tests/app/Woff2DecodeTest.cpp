// Decoding a WOFF2 source into a font, as the decoding run calls it: real files made by the
// reference encoder, the metadata viewer's answer, damaged sources and targets that cannot be
// written.
#include "AddressSpace.h"
#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "TestFonts.h"
#include "WOFF.h"
#include "Woff2Step.h"

#include <woff2/encode.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

using testfonts::Bytes;
using testfonts::Quote;

const std::string kDecodeFailed = "WOFF2をフォントに変換できませんでした。";

// The WOFF2 file woff2 with its header's totalSfntSize set to size.
Bytes WithClaim(Bytes woff2, std::uint32_t size)
{
    for (int i = 0; i < 4; ++i) woff2[16 + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    return woff2;
}

class Woff2Decode : public ::testing::Test {
protected:
    // The program installs the viewer at start, which these cases do not run.
    void SetUp() override { InstallMetaDataViewer(); }

    // The decoding run's part: the engine on the open source, then the conversion.
    BOOL Decode(const std::string& source, const std::string& target)
    {
        CFile file;
        if (!file.Open(CString::FromUtf8(source), CFile::modeRead)) return -1;
        CWOFF woff(&file, FALSE);
        woff.m_bWOFF2 = TRUE;
        return ConvertWOFF2ToFont(&woff, CString::FromUtf8(source), CString::FromUtf8(target));
    }

    // The font as the reference encoder writes it, with metadata when given.
    std::string MakeWoff2(const char* font, const std::string& metaData = {}, int quality = 11)
    {
        const Bytes bytes = testfonts::ReadFile(font);
        size_t length = woff2::MaxWOFF2CompressedSize(bytes.data(), bytes.size(), metaData);
        Bytes out(length);
        woff2::WOFF2Params params;
        params.extended_metadata = metaData;
        params.brotli_quality = quality;
        EXPECT_TRUE(woff2::ConvertTTFToWOFF2(bytes.data(), bytes.size(), out.data(), &length, params));
        out.resize(length);
        const std::string path = m_dir.File(std::filesystem::path(font).stem().string() + ".woff2");
        testfonts::WriteFile(path, out);
        return path;
    }

    std::vector<std::string> FolderContents() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    testfonts::TempDir m_dir;
    ScriptedResponder m_boxes;
    ScriptedDialogResponder m_dialogs;
};

TEST_F(Woff2Decode, RealWoff2FilesBecomeFontsOfExactlyTheirDeclaredSize)
{
    for (const char* font : {testfonts::kLiberation, testfonts::kCffOtf}) {
        SCOPED_TRACE(font);
        // The reference encoder's own file, from a copy in the test's folder.
        const std::string copy = m_dir.File("source" + std::filesystem::path(font).extension().string());
        std::filesystem::copy_file(font, copy, std::filesystem::copy_options::overwrite_existing);
        ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(copy)).exitCode, 0);
        const std::string source = m_dir.File("source.woff2");
        const Bytes woff2 = testfonts::ReadFile(source);

        const std::string target = m_dir.File("フォント.ttf");
        EXPECT_EQ(Decode(source, target), TRUE);
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_TRUE(m_dialogs.Dialogs().empty());
        const Bytes decoded = testfonts::ReadFile(target);
        EXPECT_EQ(decoded.size(), testfonts::Be32(woff2, 16)) << "totalSfntSize";
        const auto ots = testfonts::Run("ots-sanitize " + Quote(target) + " " + Quote(m_dir.File("s.ttf")));
        EXPECT_EQ(ots.exitCode, 0) << ots.output;
        // The reference decoder rebuilds the very same bytes.
        ASSERT_EQ(testfonts::Run("woff2_decompress " + Quote(source)).exitCode, 0);
        EXPECT_EQ(decoded, testfonts::ReadFile(m_dir.File("source.ttf")));
    }
}

TEST_F(Woff2Decode, MetadataIsShownFirstAndOnlyItsOkGoesOn)
{
    const std::string meta = "<?xml version=\"1.0\"?>\n<metadata version=\"1.0\"><uniqueid id=\"日本\"/></metadata>\n";
    const std::string source = MakeWoff2(testfonts::kLiberation, meta);
    std::vector<std::string> shown;
    m_dialogs.OnEachDialog([&](CDialog& dialog) {
        auto& viewer = dynamic_cast<CMetaDataDlg&>(dialog);
        shown.emplace_back(reinterpret_cast<const char*>(viewer.m_pMetaData), viewer.m_nMetaDataLength);
    });

    const std::string target = m_dir.File("font.ttf");
    m_dialogs.Answer(IDCANCEL);
    EXPECT_EQ(Decode(source, target), FALSE);
    EXPECT_FALSE(testfonts::Exists(target));
    EXPECT_TRUE(m_boxes.Boxes().empty());

    m_dialogs.Answer(IDOK);
    EXPECT_EQ(Decode(source, target), TRUE);
    EXPECT_EQ(testfonts::ReadFile(target).size(), testfonts::Be32(testfonts::ReadFile(source), 16));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(shown, (std::vector<std::string>{meta, meta}));
}

TEST_F(Woff2Decode, DamagedSourcesGiveTheDecodingMessageAndWriteNothing)
{
    const Bytes good = testfonts::ReadFile(MakeWoff2(testfonts::kSmallTrueType));
    auto withSize = [&](std::uint32_t size) { return WithClaim(good, size); };
    Bytes scrambled = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) scrambled[i] ^= 0x5A;
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"shorter than its header", Bytes(good.begin(), good.begin() + 19)},
        {"cut in half", Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"totalSfntSize 0", withSize(0)},
        // Beyond the engine's cap on decoded fonts, and beyond what a file this small can hold:
        // refused before any buffer is taken.
        {"totalSfntSize 4 GiB", withSize(0xFFFFFFFF)},
        {"totalSfntSize 1 GiB + 1", withSize((1u << 30) + 1)},
        {"totalSfntSize 2000 times the file", withSize(static_cast<std::uint32_t>(good.size() * 2000))},
        {"totalSfntSize too small", withSize(1024)},
        {"compressed data scrambled", scrambled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.Clear();
        const std::string source = m_dir.File("damaged.woff2");
        testfonts::WriteFile(source, c.bytes);
        const std::string target = m_dir.File("font.ttf");
        EXPECT_EQ(Decode(source, target), FALSE);
        ASSERT_FALSE(m_boxes.Boxes().empty());
        EXPECT_EQ(m_boxes.Boxes().back().text, kDecodeFailed);
        EXPECT_EQ(m_boxes.Boxes().back().style, MB_OK);
        EXPECT_FALSE(testfonts::Exists(target));
    }
}

TEST_F(Woff2Decode, AClaimBeyondTheRebuiltFontIsMadeUpWithZerosWithoutBeingHeldInMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#endif
    // A sound file whose header claims 48 MiB, and a process that cannot hold a third of that:
    // the decoder's own output is all that has to be held.
    const std::string sound = MakeWoff2(testfonts::kLiberation);
    const std::string plain = m_dir.File("plain.ttf");
    ASSERT_EQ(Decode(sound, plain), TRUE);
    const std::uint32_t claim = 48u << 20;
    const std::string source = m_dir.File("claim.woff2");
    testfonts::WriteFile(source, WithClaim(testfonts::ReadFile(sound), claim));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LimitAddressSpace(16u << 20);
            const BOOL result = Decode(source, m_dir.File("font.ttf"));
            LiftAddressSpaceLimit();
            const Bytes font = testfonts::ReadFile(plain);
            const Bytes decoded = testfonts::ReadFile(m_dir.File("font.ttf"));
            const bool padded = decoded.size() == claim && std::equal(font.begin(), font.end(), decoded.begin()) &&
                                std::all_of(decoded.begin() + static_cast<long>(font.size()), decoded.end(),
                                            [](std::uint8_t b) { return b == 0; });
            std::fprintf(stderr, "result %d, %zu bytes, boxes %zu\n", result, decoded.size(), m_boxes.Boxes().size());
            std::filesystem::remove_all(m_dir.Path());
            std::_Exit(result == TRUE && padded && m_boxes.Boxes().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Woff2Decode, ALargeFontIsWrittenAsItIsDecodedWithoutBeingHeldInMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#endif
    // IPA Mincho: 8 MB of font from a WOFF2 of 5 MB (quickly compressed), in a process that can
    // hold the WOFF2 and what the decoder needs to rebuild from it, but not the font as well.
    const char* const kMincho = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
    ASSERT_TRUE(testfonts::Exists(kMincho));
    const std::string source = MakeWoff2(kMincho, {}, 1);
    ASSERT_EQ(testfonts::Run("woff2_decompress " + Quote(source)).exitCode, 0);
    const std::string target = m_dir.File("decoded.ttf");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LimitAddressSpace(20u << 20);
            const BOOL result = Decode(source, target);
            LiftAddressSpaceLimit();
            const bool same = testfonts::ReadFile(target) == testfonts::ReadFile(m_dir.File("ipam.ttf"));
            std::fprintf(stderr, "result %d, same %d, boxes %zu\n", result, same, m_boxes.Boxes().size());
            std::filesystem::remove_all(m_dir.Path());
            std::_Exit(result == TRUE && same && m_boxes.Boxes().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Woff2Decode, ATargetThatCannotBeWrittenGivesTheFileErrorAndKeepsTheOldFile)
{
    const std::string source = MakeWoff2(testfonts::kSmallTrueType);

    const std::string missing = m_dir.File("missing/font.ttf");
    EXPECT_EQ(Decode(source, missing), FALSE);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "ファイル" + missing + "のオープンに失敗しました。\n原因：不正パス");
    EXPECT_EQ(m_boxes.Boxes()[0].style, MB_ICONERROR);

    // The disk fills part-way (here the file-size limit stands in for it).
    m_boxes.Clear();
    const std::string target = m_dir.File("font.ttf");
    const Bytes old = {'o', 'l', 'd'};
    testfonts::WriteFile(target, old);
    BOOL result = TRUE;
    {
        const testfonts::FileSizeLimit limit(64 * 1024);
        result = Decode(source, target);
    }
    EXPECT_EQ(result, FALSE);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "ファイル" + target + "の書き込みに失敗しました。\n原因：ディスクの空き容量が足りない");
    EXPECT_EQ(m_boxes.Boxes()[0].style, MB_ICONERROR);
    EXPECT_EQ(testfonts::ReadFile(target), old);
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"DejaVuSans.woff2", "font.ttf"}));
}

} // namespace
