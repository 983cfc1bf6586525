#include "VersionInfo.h"

#include "TestFonts.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

std::string SelfPath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string VersionOf(const std::string& path)
{
    CVersionInfo info;
    info.Load(CString::FromUtf8(path));
    return info.GetFileVersionString().ToUtf8();
}

// Where the block's root node starts in an executable's bytes.
size_t FindBlock(const testfonts::Bytes& bytes)
{
    const std::u16string key = u"VS_VERSION_INFO";
    std::string needle;
    for (char16_t c : key) needle += {static_cast<char>(c), '\0'};
    const std::string text(bytes.begin(), bytes.end());
    const size_t at = text.find(needle);
    return at == std::string::npos ? at : at - 6;
}

TEST(VersionInfo, ThePartsOfTheFileVersionAreShownWithoutTheFourth)
{
    EXPECT_EQ(VersionOf(SelfPath()), "3.2.0");
    EXPECT_EQ(VersionOf(VERSION_PROBE_10), "10.0.1234");
    EXPECT_EQ(VersionOf(VERSION_PROBE_MAX), "65535.65535.65535");
}

TEST(VersionInfo, TheBlockCarriesItsTranslation)
{
    CVersionInfo info;
    info.Load(CString::FromUtf8(SelfPath()));
    ASSERT_NE(info.m_pTranslation, nullptr);
    EXPECT_EQ(*info.m_pTranslation, 0x04B00411u);  // Japanese, UTF-16
    ASSERT_NE(info.m_pFixedFileInfo, nullptr);
    EXPECT_EQ(info.m_pFixedFileInfo->dwFileVersionMS, 0x00030002u);
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueW(info.m_pVersionData, u"\\StringFileInfo", &value, &length));
}

TEST(VersionInfo, FilesWithoutABlockGiveAnEmptyText)
{
    testfonts::TempDir dir;
    testfonts::WriteFile(dir.File("text"), {'h', 'e', 'l', 'l', 'o'});
    testfonts::WriteFile(dir.File("empty"), {});
    const std::string cases[] = {VERSION_PROBE_NONE, dir.File("text"), dir.File("empty"), dir.File("missing"),
                                 dir.Path(), testfonts::kSmallTrueType, ""};
    for (const std::string& path : cases) {
        EXPECT_EQ(VersionOf(path), "") << path;
        EXPECT_EQ(GetFileVersionInfoSizeW(CString::FromUtf8(path), nullptr), 0u) << path;
    }
}

TEST(VersionInfo, ABufferSmallerThanTheBlockIsRefused)
{
    const CString self = CString::FromUtf8(SelfPath());
    const DWORD size = GetFileVersionInfoSizeW(self, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> buffer(size);
    EXPECT_FALSE(GetFileVersionInfoW(self, 0, size - 1, buffer.data()));
    EXPECT_TRUE(GetFileVersionInfoW(self, 0, size, buffer.data()));
}

TEST(VersionInfo, DamagedExecutablesGiveAnEmptyTextAndNeverCrash)
{
    const testfonts::Bytes good = testfonts::ReadFile(VERSION_PROBE_10);
    const size_t block = FindBlock(good);
    ASSERT_NE(block, std::string::npos);
    testfonts::TempDir dir;
    auto check = [&](const char* what, testfonts::Bytes bytes) {
        testfonts::WriteFile(dir.File(what), bytes);
        EXPECT_EQ(VersionOf(dir.File(what)), "") << what;
    };

    testfonts::Bytes bytes = good;
    bytes[block] = 0xFF, bytes[block + 1] = 0xFF;  // a root longer than its section
    check("root-too-long", bytes);
    bytes = good;
    bytes[block] = 4, bytes[block + 1] = 0;  // a root shorter than its header
    check("root-too-short", bytes);
    bytes = good;
    bytes[block + 40 + 52] = 0xF0;  // a child longer than its parent
    check("child-too-long", bytes);
    bytes = good;
    bytes[block + 40] ^= 1;  // the fixed information's signature
    check("bad-signature", bytes);
    bytes = good;
    for (size_t i = 0; i < 8; ++i) bytes[0x28 + i] = 0xFF;  // section headers beyond the file
    check("bad-section-offset", bytes);
    check("cut-short", testfonts::Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)));
    check("header-only", testfonts::Bytes(good.begin(), good.begin() + 40));
}

} // namespace
