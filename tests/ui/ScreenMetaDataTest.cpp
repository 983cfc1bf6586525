// The metadata viewer as a real window on the offscreen platform: keys, close box, focus,
// tab order, layout, fonts and colours.
#include "MetaDataDlg.h"
#include "ScreenSupport.h"
#include "WinApp.h"

#include <QFileDialog>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const std::string kXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<metadata version=\"1.0\">\r\n\t<uniqueid id=\"jp.example.font.1\"/>\r\n"
    "\t<description>\r\n\t\t<text lang=\"ja\">日本語のフォント。骨・直・角・化・海・画</text>\r\n\t</description>\r\n</metadata>\r\n";

// Shows the viewer on kXml and lets user act on its window.
INT_PTR ShowViewer(std::function<void(QWidget*)> user)
{
    CMetaDataDlg dlg(nullptr);
    dlg.m_pMetaData = reinterpret_cast<const BYTE*>(kXml.data());
    dlg.m_nMetaDataLength = static_cast<UINT>(kXml.size());
    WhenModalShown(std::move(user));
    return dlg.DoModal();
}

} // namespace

TEST(ScreenMetaData, KeysAndButtonsEndItAsOnTheDesktop)
{
    EXPECT_EQ(ShowViewer([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }), IDCANCEL);
    EXPECT_EQ(ShowViewer([](QWidget* w) { w->close(); }), IDCANCEL);
    EXPECT_EQ(ShowViewer([](QWidget* w) { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, Qt::Key_Return); }), IDOK);
    EXPECT_EQ(ShowViewer([](QWidget* w) { FindButton(w, u"キャンセル")->click(); }), IDCANCEL);
    EXPECT_EQ(ShowViewer([](QWidget* w) { FindButton(w, u"変換開始")->click(); }), IDOK);
    // Enter in the read-only field still presses the default button.
    EXPECT_EQ(ShowViewer([](QWidget* w) {
        auto* edit = w->findChild<QPlainTextEdit*>();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
    }), IDOK);
    EXPECT_EQ(ShowViewer([](QWidget* w) {
        auto* edit = w->findChild<QPlainTextEdit*>();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
    }), IDCANCEL);
}

TEST(ScreenMetaData, FocusStartsOnStartAndTabsInTemplateOrder)
{
    std::vector<QString> order;
    ShowViewer([&](QWidget* w) {
        QWidget* focus = w->focusWidget();
        for (int i = 0; i < 4 && focus; ++i) {
            auto* button = qobject_cast<QAbstractButton*>(focus);
            order.push_back(button ? button->text() : QString::fromLatin1(focus->metaObject()->className()));
            focus = focus->nextInFocusChain();
            while (focus && (!(focus->focusPolicy() & Qt::TabFocus) || !focus->isVisible()) && focus != w) focus = focus->nextInFocusChain();
        }
        QTest::keyClick(w, Qt::Key_Escape);
    });
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], QString::fromUtf16(u"変換開始"));
    EXPECT_EQ(order[1], QString::fromUtf16(u"キャンセル"));
    EXPECT_EQ(order[2], QString::fromUtf16(u"メタデータをファイルに保存(&M)..."));
    EXPECT_EQ(order[3], QStringLiteral("QPlainTextEdit")) << "the hidden help button is skipped";
}

TEST(ScreenMetaData, ControlsSitWhereTheTemplatePutsThem)
{
    ShowViewer([](QWidget* w) {
        // Base units from the stand-in font: an average character and a line.
        const QFontMetrics m(w->font());
        const int bx = (m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
        const int by = m.height();
        auto px = [](int units, int base, int div) { return (units * base + div / 2) / div; };
        EXPECT_EQ(w->size(), QSize(px(506, bx, 4), px(247, by, 8)));
        const QRect ok = FindButton(w, u"変換開始")->geometry();
        EXPECT_EQ(ok, QRect(QPoint(px(79, bx, 4), px(226, by, 8)), QPoint(px(79 + 59, bx, 4) - 1, px(226 + 14, by, 8) - 1)));
        const QRect edit = w->findChild<QPlainTextEdit*>()->geometry();
        EXPECT_EQ(edit.topLeft(), QPoint(px(7, bx, 4), px(7, by, 8)));
        EXPECT_EQ(w->windowTitle(), QString::fromUtf16(u"メタデータ"));
        QTest::keyClick(w, Qt::Key_Escape);
    });
}

TEST(ScreenMetaData, FieldUsesAFixedPitchJapaneseFaceOnWhite)
{
    ShowViewer([](QWidget* w) {
        auto* edit = w->findChild<QPlainTextEdit*>();
        const QFontInfo info(edit->font());
        EXPECT_EQ(info.family(), QStringLiteral("IPAGothic"));
        // Fixed pitch: every half-width character is as wide as any other, kanji twice that.
        const QFontMetricsF fm(edit->font());
        EXPECT_EQ(fm.horizontalAdvance(QLatin1Char('i')), fm.horizontalAdvance(QLatin1Char('W')));
        EXPECT_EQ(fm.horizontalAdvance(QString::fromUtf16(u"骨")), 2 * fm.horizontalAdvance(QLatin1Char('W')));
        EXPECT_EQ(edit->font().pixelSize(), 10 * w->logicalDpiY() / 72);
        EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 255));
        EXPECT_EQ(QFontInfo(FindButton(w, u"キャンセル")->font()).family(), QStringLiteral("IPAPGothic"));
        // A tab stop every four average characters of the field's font.
        const QFontMetricsF m(edit->font());
        EXPECT_NEAR(edit->tabStopDistance(), 4 * m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52, 0.01);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
        QTest::keyClick(w, Qt::Key_Escape);
    });
}

TEST(ScreenMetaData, HelpButtonShowsWhenTheApplicationServesHelp)
{
    // The base's OnHelp serves the command, as in the program.
    struct App : CWinApp {
        const MessageMap* GetMessageMap() const override
        {
            static const MessageMapEntry entries[] = {ON_COMMAND(ID_HELP, &CWinApp::OnHelp){0, 0, 0, 0, nullptr}};
            static const MessageMap map{nullptr, entries};
            return &map;
        }
    } app;
    bool helpVisible = false;
    ShowViewer([&](QWidget* w) {
        helpVisible = FindButton(w, u"ヘルプ(&H)")->isVisible();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_TRUE(helpVisible);
}

TEST(ScreenMetaData, AltMOpensTheSaveDialogAndTheViewerStaysOpen)
{
    QString title;
    bool saving = false;
    QString suffix;
    QStringList filters;
    EXPECT_EQ(ShowViewer([&](QWidget* viewer) {
        WhenModalShown([&](QWidget* w) {
            auto* files = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(files, nullptr);
            saving = files->acceptMode() == QFileDialog::AcceptSave;
            suffix = files->defaultSuffix();
            filters = files->nameFilters();
            QTest::qWait(50);
            files->grab().save(ScreenshotPath("save-dialog.png"));
            files->reject();
            WhenModalShown([](QWidget* again) { QTest::keyClick(again, Qt::Key_Return); });
        }, viewer);
        QTest::keyClick(viewer, Qt::Key_M, Qt::AltModifier);
    }), IDOK);
    EXPECT_TRUE(saving);
    EXPECT_EQ(suffix, QStringLiteral("xml"));
    EXPECT_EQ(filters, QStringList({QString::fromUtf16(u"XMLファイル (*.xml)"), QString::fromUtf16(u"すべてのファイル (*)")}));
}

TEST(ScreenMetaData, Screenshot)
{
    ShowViewer([](QWidget* w) {
        QTest::qWait(50);
        EXPECT_TRUE(w->grab().save(ScreenshotPath("metadata-viewer.png")));
        QTest::keyClick(w, Qt::Key_Escape);
    });
}
