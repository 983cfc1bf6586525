#include "CodePage.h"

#include <gtest/gtest.h>
#include <string>

TEST(CodePage, ShiftJisOfJapaneseAndHalfWidthKana)
{
    const char16_t text[] = {0x0041, 0x3042, 0xFF71};
    char out[8];
    BOOL usedDefault = TRUE;
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text, 3, out, sizeof out, nullptr, &usedDefault);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::string(out, 4), "\x41\x82\xA0\xB1");
    EXPECT_FALSE(usedDefault);
}

TEST(CodePage, UnmappableCharacterReportsDefault)
{
    const char16_t e[] = {0x00E9};
    char out[4];
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, e, 1, out, 2, nullptr, &usedDefault);
    EXPECT_TRUE(usedDefault);
    // Forms that exist only as best fits are refused too.
    for (char16_t c : {u'\u00A5', u'\u2014', u'\u301C', u'\u00AC'}) {
        usedDefault = FALSE;
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &c, 1, out, 2, nullptr, &usedDefault);
        EXPECT_TRUE(usedDefault) << int(c);
    }
    const char16_t lone[] = {0xD800};
    usedDefault = FALSE;
    WideCharToMultiByte(932, 0, lone, 1, out, 2, nullptr, &usedDefault);
    EXPECT_TRUE(usedDefault);
}

TEST(CodePage, SizesTerminatorsAndSmallBuffers)
{
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"あ", -1, nullptr, 0, nullptr, nullptr), 4);
    char small[2];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"あ", -1, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char16_t wide[8];
    SetThreadLocale(1041);
    ASSERT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "\x82\xA0" "A", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide), u"あA");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, wide, 8), 2);
    EXPECT_EQ(wide[1], u'\uFFFD');
}
