// AfxMessageBox on screen: caption, icon, Japanese buttons, the answer for each button, Esc and
// the close box.
#include "MessageBox.h"
#include "ScreenSupport.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows a box of style and lets user act on it.
int Show(UINT style, std::function<void(QMessageBox*)> user, Seen* seen = nullptr, const char16_t* text = u"本文")
{
    WhenModalShown([=](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        if (seen) {
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            for (QAbstractButton* b : box->buttons()) seen->buttons << b->text();
            if (box->defaultButton()) seen->defaultButton = box->defaultButton()->text();
        }
        user(box);
    });
    return AfxMessageBox(text, style);
}

void Click(QMessageBox* box, const char16_t* text)
{
    QAbstractButton* button = FindButton(box, text);
    ASSERT_NE(button, nullptr) << QString::fromUtf16(text).toStdString();
    button->click();
}

} // namespace

TEST(ScreenMessageBox, CaptionIconAndButtonsFollowTheStyle)
{
    struct Case {
        UINT style;
        QMessageBox::Icon icon;
        QStringList buttons;
    };
    const QString ok = QStringLiteral("OK");
    const QString yes = QString::fromUtf16(u"はい(&Y)");
    const QString no = QString::fromUtf16(u"いいえ(&N)");
    const QString cancel = QString::fromUtf16(u"キャンセル");
    const Case cases[] = {
        {MB_OK, QMessageBox::Warning, {ok}},
        {MB_ICONERROR, QMessageBox::Critical, {ok}},
        {MB_ICONINFORMATION, QMessageBox::Information, {ok}},
        {MB_YESNO, QMessageBox::Question, {yes, no}},
        {MB_YESNO | MB_ICONEXCLAMATION, QMessageBox::Warning, {yes, no}},
        {MB_OKCANCEL, QMessageBox::Warning, {ok, cancel}},
        {MB_YESNOCANCEL, QMessageBox::Question, {yes, no, cancel}},
    };
    for (const Case& c : cases) {
        Seen seen;
        Show(c.style, [](QMessageBox* box) { box->buttons().front()->click(); }, &seen, u"一行目\n原因：二行目");
        EXPECT_EQ(seen.title, QStringLiteral("Fenwrap"));
        EXPECT_EQ(seen.text, QString::fromUtf16(u"一行目\n原因：二行目"));
        EXPECT_EQ(seen.icon, c.icon) << c.style;
        EXPECT_EQ(seen.buttons, c.buttons) << c.style;
        EXPECT_EQ(seen.defaultButton, c.buttons.front()) << c.style;
    }
}

TEST(ScreenMessageBox, EachButtonGivesItsAnswer)
{
    EXPECT_EQ(Show(MB_OK, [](QMessageBox* b) { Click(b, u"OK"); }), IDOK);
    EXPECT_EQ(Show(MB_YESNO, [](QMessageBox* b) { Click(b, u"はい(&Y)"); }), IDYES);
    EXPECT_EQ(Show(MB_YESNO, [](QMessageBox* b) { Click(b, u"いいえ(&N)"); }), IDNO);
    EXPECT_EQ(Show(MB_OKCANCEL, [](QMessageBox* b) { Click(b, u"キャンセル"); }), IDCANCEL);
    EXPECT_EQ(Show(MB_YESNOCANCEL, [](QMessageBox* b) { Click(b, u"キャンセル"); }), IDCANCEL);
    EXPECT_EQ(Show(MB_YESNO, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); }), IDYES);
    EXPECT_EQ(Show(MB_YESNO, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_N, Qt::AltModifier); }), IDNO);
}

TEST(ScreenMessageBox, EscAndCloseBoxOnlyWhereTheBoxHasAWayOut)
{
    EXPECT_EQ(Show(MB_OK, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }), IDOK);
    EXPECT_EQ(Show(MB_ICONERROR, [](QMessageBox* b) { b->close(); }), IDOK);
    EXPECT_EQ(Show(MB_OKCANCEL, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }), IDCANCEL);
    EXPECT_EQ(Show(MB_YESNOCANCEL, [](QMessageBox* b) { b->close(); }), IDCANCEL);
    // A yes/no question must be answered: Esc and the close box leave it open.
    bool stayed = false;
    EXPECT_EQ(Show(MB_YESNO, [&](QMessageBox* b) {
        QTest::keyClick(b, Qt::Key_Escape);
        b->close();
        stayed = b->isVisible();
        Click(b, u"いいえ(&N)");
    }), IDNO);
    EXPECT_TRUE(stayed);
}

TEST(ScreenMessageBox, Screenshot)
{
    Show(MB_ICONERROR, [](QMessageBox* b) {
        QTest::qWait(50);
        EXPECT_TRUE(b->grab().save(ScreenshotPath("message-box.png")));
        QTest::keyClick(b, Qt::Key_Return);
    }, nullptr, u"ファイル/home/user/骨直角.woffのオープンに失敗しました。\n原因：ファイルが見つからない");
    Show(MB_YESNO, [](QMessageBox* b) {
        QTest::qWait(50);
        EXPECT_TRUE(b->grab().save(ScreenshotPath("question-box.png")));
        QTest::keyClick(b, Qt::Key_Return);
    }, nullptr, u"ファイル/home/user/out.woffは既に存在します。上書きしますか？");
}
