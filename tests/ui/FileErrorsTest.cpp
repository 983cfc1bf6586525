// File error messages: every cause's text, and both templates with the file name inserted as
// given.
#include "FileErrors.h"
#include "Responder.h"
#include "StringTable.h"

#include <gtest/gtest.h>

TEST(FileErrors, EveryCauseHasItsText)
{
    const std::pair<int, const char*> cases[] = {
        {0, "エラーなし"},
        {1, "未定義エラー"},
        {2, "ファイルが見つからない"},
        {3, "不正パス"},
        {4, "オープン ファイル数超過"},
        {5, "ファイル アクセス禁止"},
        {6, "不正ファイル ハンドル使用"},
        {7, "作業中のカレント ディレクトリの削除不可"},
        {8, "ディレクトリ フル"},
        {9, "ファイル ポインタ設定エラー"},
        {10, "ハードウェア エラー"},
        {11, "他のプログラムで使用中"},
        {12, "ロック済み領域のロック要求"},
        {13, "ディスクの空き容量が足りない"},
        {14, "ファイルの終わりに到達"},
        {15, "未定義エラー"},
        {-1, "未定義エラー"},
        {INT_MIN, "未定義エラー"},
        {INT_MAX, "未定義エラー"},
    };
    for (const auto& [cause, text] : cases) {
        CString got(u"previous content");
        GetFileExceptionCauseText(cause, got);
        EXPECT_EQ(got.ToUtf8(), text) << cause;
    }
}

TEST(FileErrors, OpenAndWriteMessagesNameTheFileExactly)
{
    struct Case {
        bool write;
        const char16_t* name;
        int cause;
        const char* message;
    };
    const Case cases[] = {
        {false, u"/home/user/フォント.woff", 2, "ファイル/home/user/フォント.woffのオープンに失敗しました。\n原因：ファイルが見つからない"},
        {false, u"relative/a.ttf", 3, "ファイルrelative/a.ttfのオープンに失敗しました。\n原因：不正パス"},
        {false, u"", 5, "ファイルのオープンに失敗しました。\n原因：ファイル アクセス禁止"},
        // Inserted text is not scanned again.
        {false, u"100%2%1.xml", 1, "ファイル100%2%1.xmlのオープンに失敗しました。\n原因：未定義エラー"},
        {true, u"/tmp/meta.xml", 13, "ファイル/tmp/meta.xmlの書き込みに失敗しました。\n原因：ディスクの空き容量が足りない"},
        {true, u"x", -7, "ファイルxの書き込みに失敗しました。\n原因：未定義エラー"},
    };
    for (const Case& c : cases) {
        ScriptedResponder boxes;
        CFileException e(c.cause, -1, c.name);
        if (c.write) ReportFileWriteError(&e);
        else ReportFileOpenError(&e);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, c.message);
        EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONERROR);
        EXPECT_EQ(boxes.Boxes()[0].helpId, 0u);
        EXPECT_EQ(e.m_cause, c.cause) << "the exception is left as it was";
    }
}

TEST(FileErrors, UncaughtFileExceptionsUseTheCauseTexts)
{
    InstallFileExceptionTexts();
    CFileException e(CFileException::diskFull, 28, u"out.woff");
    EXPECT_EQ(e.GetErrorText().ToUtf8(), "ファイルout.woffでエラーが発生しました。\n原因：ディスクの空き容量が足りない");
    SetFileExceptionTextProvider(nullptr);
}

TEST(StringTable, LoadsByIdAndFormatsInOnePass)
{
    const StringTableEntries entries{{64001, u"A%1B%2C%%1"}, {64002, u""}};
    CString s(u"kept");
    EXPECT_FALSE(s.LoadString(64099));
    EXPECT_EQ(s.ToUtf8(), "kept");
    EXPECT_TRUE(s.LoadString(64002));
    EXPECT_TRUE(s.IsEmpty());

    CString result;
    AfxFormatString2(result, 64001, u"%2", u"%1");
    EXPECT_EQ(result.ToUtf8(), "A%2B%1C%%2") << "'%%1' is a percent sign then %1";
    AfxFormatString2(result, 64099, u"x", u"y");
    EXPECT_TRUE(result.IsEmpty());
    EXPECT_EQ(FormatTemplate2(CString(u"%3%1%"), u"a", nullptr).ToUtf8(), "%3a%");
}
