#include "Array.h"
#include "Exceptions.h"
#include "Responder.h"
#include "String.h"

#include <gtest/gtest.h>

TEST(String, Utf8RoundTripAndMalformedInput)
{
    const std::string text = "変換開始 A😀";
    EXPECT_EQ(CString::FromUtf8(text).ToUtf8(), text);
    EXPECT_EQ(CString::FromUtf8(text).GetLength(), 8);
    EXPECT_EQ(CString::FromUtf8("a\xC3").Str(), u"a\uFFFD");
    EXPECT_EQ(CString::FromUtf8("\xE0\x80\x80z").Str().back(), u'z');
}

TEST(String, FormatAndEditing)
{
    CString s;
    s.Format(u"%s は既に存在します。(%d) %u %x%%", u"a.woff", -5, 7u, 255u);
    EXPECT_EQ(s, u"a.woff は既に存在します。(-5) 7 ff%");
    CString path(u"/tmp/Font.WOFF2");
    const int dot = path.ReverseFind(u'.');
    EXPECT_EQ(path.Mid(dot).CompareNoCase(u".woff2"), 0);
    EXPECT_EQ(path.Left(dot), u"/tmp/Font");
    EXPECT_EQ(path.Right(100), path);
    EXPECT_EQ(path.Mid(100), u"");
}

TEST(Array, BoundsCheckedAccess)
{
    CWordArray a;
    a.Add(1);
    a.Add(2);
    EXPECT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[1], 2);
    EXPECT_THROW(a[2], std::out_of_range);
    EXPECT_THROW(a.GetAt(-1), std::out_of_range);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}

TEST(MessageBox, ResponderRecordsAndAnswers)
{
    ScriptedResponder responder;
    responder.Answer(IDNO);
    EXPECT_EQ(AfxMessageBox(u"上書きしますか?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(u"正常に変換しました。"), IDOK);
    ASSERT_EQ(responder.Boxes().size(), 2u);
    EXPECT_EQ(responder.Boxes()[0].style, MB_YESNO);
    EXPECT_EQ(responder.Texts()[1], "正常に変換しました。");
}

TEST(Exceptions, ThrownAsPointersWithTheirText)
{
    try {
        AfxThrowFileException(CFileException::diskFull, 28, u"x.woff");
    } catch (CException* e) {
        auto* fe = dynamic_cast<CFileException*>(e);
        ASSERT_NE(fe, nullptr);
        EXPECT_EQ(fe->m_cause, CFileException::diskFull);
        TCHAR buf[8];
        EXPECT_TRUE(e->GetErrorMessage(buf, 8));
        EXPECT_EQ(std::u16string(buf).size(), 7u) << "cut to the buffer";
        e->Delete();
    }
}
