// Template layout with the stand-in fonts: texts too wide for their control in the stand-in
// face are set smaller instead of being cut, and Japanese text takes a Japanese face.
#include "Dialog.h"
#include "ScreenSupport.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr UINT IDD_LAYOUT = 9101;
const char16_t kLong[] = u"変換前ファイルがフォントの場合WOFFに変換、WOFFの場合フォントに変換します。";
const char16_t kTwoLines[] = u"選択されたファイルには、複数のフォントが含まれています。\nフォントを指定してください。";
const char16_t kShort[] = u"変換前ファイル(&S)：";

const DialogTemplateEntry kLayout(IDD_LAYOUT, {
    .caption = u"配置",
    .cx = 267,
    .cy = 120,
    .font = {u"MS UI Gothic", 9},
    .controls = {
        {-1, ControlKind::Label, kShort, 10, 9, 61, 8},
        {1000, ControlKind::Edit, u"", 14, 22, 207, 14, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
        {-1, ControlKind::Label, kLong, 14, 40, 222, 8},
        {-1, ControlKind::Label, kTwoLines, 7, 55, 179, 30},
        {1001, ControlKind::CheckBox, u"変換前フォントを src に追加する(&A)", 25, 90, 128, 10, WS_TABSTOP},
        {IDOK, ControlKind::DefPushButton, u"変換開始", 107, 100, 50, 16, WS_TABSTOP},
    }});

QString Plain(const char16_t* text) { return QString::fromUtf16(text).remove(QLatin1Char('&')); }

} // namespace

TEST(ScreenLayout, TextsFitTheirControlsInAJapaneseFace)
{
    CDialog dlg(IDD_LAYOUT);
    WhenModalShown([](QWidget* w) {
        QTest::qWait(30);
        w->grab().save(ScreenshotPath("layout.png"));
        for (QLabel* label : w->findChildren<QLabel*>()) {
            const QFontInfo info(label->font());
            EXPECT_TRUE(info.family().startsWith(QStringLiteral("IPA"))) << info.family().toStdString();
            const QFontMetrics m(label->font());
            const QRect needed = m.boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, label->text().remove(QLatin1Char('&')));
            EXPECT_LE(needed.height(), label->height()) << label->text().toStdString();
            if (label->height() < 2 * m.height()) {
                EXPECT_LE(m.horizontalAdvance(label->text().remove(QLatin1Char('&'))), label->width()) << label->text().toStdString();
            }
        }
        auto* longLabel = FindByText<QLabel>(w, QString::fromUtf16(kLong));
        auto* shortLabel = FindByText<QLabel>(w, QString::fromUtf16(kShort));
        ASSERT_TRUE(longLabel && shortLabel);
        EXPECT_LT(longLabel->font().pixelSize(), w->font().pixelSize()) << "set smaller to fit";
        EXPECT_EQ(shortLabel->font().pixelSize(), w->font().pixelSize()) << "a text that fits keeps the dialog's size";
        EXPECT_EQ(Plain(kShort), QFontMetrics(shortLabel->font()).elidedText(Plain(kShort), Qt::ElideRight, shortLabel->width()));
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(ScreenLayout, LabelMnemonicFocusesTheNextControl)
{
    CDialog dlg(IDD_LAYOUT);
    bool focused = false;
    bool toggled = false;
    WhenModalShown([&](QWidget* w) {
        QTest::keyClick(w, Qt::Key_S, Qt::AltModifier);
        focused = QApplication::focusWidget() && QApplication::focusWidget()->metaObject()->className() == QByteArray("QLineEdit");
        QTest::keyClick(w, Qt::Key_A, Qt::AltModifier);
        QTest::qWait(200);  // a mnemonic clicks with a short animation
        toggled = w->findChild<QCheckBox*>()->isChecked();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(focused);
    EXPECT_TRUE(toggled);
}
