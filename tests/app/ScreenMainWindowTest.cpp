// The main window on the offscreen platform: real widgets at their template places, a
// screenshot, drops from a file manager, the system menu, the link, help keys, and the end.
#include "ScreenSupport.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <chrono>

namespace {

// The on-screen test opens the window through DoModal with no dialog presenter.
class ScreenMainWindow : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        EnableBrowserViews(false);
        SetNavigateObserver([this](const CString& url) { m_addresses.push_back(url.ToUtf8()); });
    }
    void TearDown() override
    {
        SetNavigateObserver({});
        StoreTest::TearDown();
    }

    INT_PTR Run(std::function<void(QWidget*)> action)
    {
        CFenwrapDlg dlg(nullptr);
        m_app.m_pMainWnd = &dlg;
        WhenModalShown([action](QWidget* w) {
            QTest::qWait(20);
            action(w);
            if (w->isVisible()) QTest::keyClick(w, Qt::Key_Escape);
        });
        const INT_PTR result = dlg.DoModal();
        m_app.m_pMainWnd = nullptr;
        return result;
    }

    static QList<QLineEdit*> Fields(QWidget* w) { return w->findChildren<QLineEdit*>(); }

    // Sends a drag-enter and, when the field takes it, the drop, as a file manager does.
    static bool Drop(QWidget* target, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    CFenwrapApp m_app;
    ScriptedResponder m_boxes;
    std::vector<std::string> m_addresses;
};

TEST_F(ScreenMainWindow, TheWindowFollowsItsTemplateAndIsPhotographed)
{
    Run([](QWidget* w) {
        EXPECT_EQ(w->windowTitle().toStdString(), "Fenwrap Version3.2.0");
        EXPECT_FALSE(w->windowIcon().isNull());
        EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);

        // Dialog units to pixels, from the window's own size: 267 × 335 units.
        const double ux = w->width() / 267.0, uy = w->height() / 335.0;
        auto near = [&](QWidget* c, int x, int y, int cx, int cy) {
            ASSERT_NE(c, nullptr);
            EXPECT_NEAR(c->x(), x * ux, 1.5);
            EXPECT_NEAR(c->y(), y * uy, 1.5);
            EXPECT_NEAR(c->width(), cx * ux, 1.5);
            EXPECT_NEAR(c->height(), cy * uy, 1.5);
        };
        const QList<QLineEdit*> fields = Fields(w);
        ASSERT_EQ(fields.size(), 4);
        near(fields[0], 14, 22, 207, 14);
        near(fields[2], 81, 155, 140, 14);
        near(fields[3], 81, 184, 172, 14);
        near(FindButton(w, u"変換開始"), 107, 223, 50, 16);
        near(FindButton(w, u"ヘルプ(&H)"), 210, 223, 50, 16);
        near(FindButton(w, u"サンプルHTMLファイルを作成する(&H)"), 14, 172, 128, 10);
        EXPECT_TRUE(FindButton(w, u"ヘルプ(&H)")->isVisible());
        EXPECT_TRUE(static_cast<QPushButton*>(FindButton(w, u"変換開始"))->isDefault());

        // A note on the status line, as the WOFF2 step writes one; only that line is red.
        auto* dlg = static_cast<CFenwrapDlg*>(AfxGetApp()->m_pMainWnd);
        const QString note = QString::fromUtf16(u"WOFF2に変換中です。しばらくお待ちください。");
        dlg->SetDlgItemText(IDC_STATIC_STATUS, reinterpret_cast<const char16_t*>(note.utf16()));
        dlg->ApplyControlColors();
        QTest::qWait(20);
        auto* status = FindByText<QLabel>(w, note);
        ASSERT_NE(status, nullptr);
        near(status, 40, 248, 220, 9);
        EXPECT_TRUE(status->alignment() & Qt::AlignRight);
        for (QLabel* label : w->findChildren<QLabel*>()) {
            const bool red = label->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
            EXPECT_EQ(red, label == status) << label->text().toStdString();
        }
        EXPECT_TRUE(w->grab().save(ScreenshotPath("main-window.png")));
        dlg->SetDlgItemText(IDC_STATIC_STATUS, u"");
    });
    EXPECT_EQ(m_addresses.size(), 1u);
}

TEST_F(ScreenMainWindow, FilesDroppedFromAFileManagerFillOnlyTheDropFields)
{
    testfonts::TempDir files;
    const std::string first = files.File("フォント 1.ttf");
    Run([&](QWidget* w) {
        const QList<QLineEdit*> fields = Fields(w);
        ASSERT_EQ(fields.size(), 4);
        const QList<QUrl> urls = {QUrl(QStringLiteral("https://www.orvisto.example/x.ttf")),
                                  QUrl::fromLocalFile(QString::fromStdString(first)),
                                  QUrl::fromLocalFile(QStringLiteral("/tmp/second.otf"))};
        for (int i = 0; i < 3; ++i) {
            fields[i]->setText(QStringLiteral("old"));
            EXPECT_TRUE(Drop(fields[i], urls)) << i;
            EXPECT_EQ(fields[i]->text().toStdString(), first) << i;
        }
        // A percent-encoded address from the file manager is decoded to the path.
        EXPECT_TRUE(Drop(fields[0], {QUrl(QStringLiteral("file:///tmp/a%20b%E3%81%82.ttf"))}));
        EXPECT_EQ(fields[0]->text().toStdString(), "/tmp/a bあ.ttf");
        EXPECT_TRUE(Drop(fields[1], {QUrl::fromLocalFile(QString::fromStdString(files.Path()))}));
        EXPECT_EQ(fields[1]->text().toStdString(), files.Path());
        // Web addresses alone, text, and the sample-string field are refused.
        EXPECT_FALSE(Drop(fields[2], {QUrl(QStringLiteral("https://orvisto.example/"))}));
        EXPECT_EQ(fields[2]->text().toStdString(), first);
        fields[3]->setText(QStringLiteral("sample"));
        EXPECT_FALSE(Drop(fields[3], {QUrl::fromLocalFile(QStringLiteral("/tmp/a.ttf"))}));
        EXPECT_EQ(fields[3]->text().toStdString(), "sample");
        EXPECT_FALSE(Drop(FindButton(w, u"WOFF2を作成する(&W)"), {QUrl::fromLocalFile(QStringLiteral("/tmp/a.ttf"))}));
        EXPECT_FALSE(Drop(w, {QUrl::fromLocalFile(QStringLiteral("/tmp/a.ttf"))}));
    });
}

TEST_F(ScreenMainWindow, TheSystemMenuOpensOnTheBackgroundAndOnAltSpaceAndRunsTheAboutBox)
{
    bool aboutShown = false;
    QString aboutText;
    Run([&](QWidget* w) {
        // Right-click on the background, then choose the about item.
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QStringList texts;
            for (QAction* a : menu->actions()) texts << a->text();
            EXPECT_EQ(texts.last().toStdString(), "バージョン情報(&A)...");
            EXPECT_TRUE(menu->actions()[menu->actions().size() - 2]->isSeparator());
            WhenModalShown([&](QWidget* about) {
                QTest::qWait(20);
                aboutShown = true;
                aboutText = about->windowTitle();
                for (QLabel* label : about->findChildren<QLabel*>()) {
                    if (label->text().contains(QStringLiteral("Version"))) {
                        EXPECT_EQ(label->text().toStdString(), "Fenwrap Version 3.2.0");
                    }
                    if (label->text().contains(QStringLiteral("href"))) {
                        EXPECT_EQ(label->toolTip().toStdString(), "Orvisto ホームページ");
                    }
                }
                about->grab().save(ScreenshotPath("about-box.png"));
                QTest::keyClick(about, Qt::Key_Escape);
            }, w);
            menu->setActiveAction(menu->actions().last());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QPoint background(w->width() - 3, w->height() - 3);
        QContextMenuEvent event(QContextMenuEvent::Mouse, background, w->mapToGlobal(background));
        QCoreApplication::sendEvent(w, &event);
        QTest::qWait(50);
        EXPECT_TRUE(w->isVisible()) << "the about box leaves the window open";

        // Alt+Space opens the same menu; Esc closes it and nothing else happens.
        bool opened = false;
        QTimer::singleShot(50, [&] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                opened = true;
                menu->close();
            }
        });
        QTest::keyClick(w, Qt::Key_Space, Qt::AltModifier);
        QTest::qWait(100);
        EXPECT_TRUE(opened);
        EXPECT_TRUE(w->isVisible());
    });
    EXPECT_TRUE(aboutShown);
    EXPECT_EQ(aboutText.toStdString(), "バージョン情報");
}

TEST_F(ScreenMainWindow, TheLinkShowsItsTooltipAndOpensTheSite)
{
    std::vector<std::string> opened;
    const UrlOpener previous = SetUrlOpener([&](const CString& url) {
        opened.push_back(url.ToUtf8());
        return true;
    });
    Run([&](QWidget* w) {
        QLabel* link = nullptr;
        for (QLabel* label : w->findChildren<QLabel*>())
            if (label->text().contains(QStringLiteral("href"))) link = label;
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(link->text().contains(QStringLiteral(">Orvisto<")));
        EXPECT_EQ(link->toolTip().toStdString(), "Orvisto ホームページ");
        emit link->linkActivated(QStringLiteral("https://orvisto.example/"));
    });
    SetUrlOpener(previous);
    EXPECT_EQ(opened, std::vector<std::string>{"https://orvisto.example/"});
}

TEST_F(ScreenMainWindow, F1AloneAsksForHelp)
{
    m_app.m_pszHelpFilePath = u"/nonexistent/fenwrap.CHM";
    Run([&](QWidget* w) {
        Fields(w)[0]->setFocus();
        QTest::keyClick(w->focusWidget(), Qt::Key_F1, Qt::ShiftModifier);
        QTest::keyClick(w->focusWidget(), Qt::Key_F1, Qt::ControlModifier);
        QTest::keyClick(w->focusWidget(), Qt::Key_F1, Qt::AltModifier);
        EXPECT_TRUE(m_boxes.Boxes().empty());
        QTest::keyClick(w->focusWidget(), Qt::Key_F1);
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Failed to launch help."});
    });
}

TEST_F(ScreenMainWindow, EscEndsTheProgramAndTheOptionsAreSaved)
{
    EXPECT_EQ(Run([](QWidget* w) {
        QCheckBox* eot = nullptr;
        for (QCheckBox* box : w->findChildren<QCheckBox*>())
            if (box->text() == QString::fromUtf16(u"EOTファイルを作成する(&E)")) eot = box;
        ASSERT_NE(eot, nullptr);
        QTest::mouseClick(eot, Qt::LeftButton);
        Fields(w)[3]->setFocus();
        QTest::keyClicks(Fields(w)[3], QStringLiteral("abc"));
        QTest::keyClick(FindButton(w, u"変換開始"), Qt::Key_Space);  // does nothing yet
        EXPECT_TRUE(w->isVisible());
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible());
    }), IDCANCEL);
    DWORD value = 0;
    EXPECT_TRUE(GetRegDWORD(u"bMakeEOTFile", &value));
    EXPECT_EQ(value, 1u);
    CString text;
    EXPECT_TRUE(GetRegString(u"SampleString", text));
    EXPECT_EQ(text.ToUtf8(), "abc");
}

TEST_F(ScreenMainWindow, MinimisedTheWindowDrawsItsIconCentred)
{
    Run([](QWidget* w) {
        auto* dlg = static_cast<CFenwrapDlg*>(AfxGetApp()->m_pMainWnd);
        dlg->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
        QTest::qWait(20);
        if (!dlg->IsIconic()) GTEST_SKIP() << "this platform keeps windows as they are";
        TakeDrawnIcons();
        dlg->SendMessage(WM_PAINT);
        const std::vector<DrawnIcon> drawn = TakeDrawnIcons();
        ASSERT_EQ(drawn.size(), 1u);
        CRect client;
        dlg->GetClientRect(&client);
        EXPECT_EQ(drawn[0].x, (client.Width() - 32 + 1) / 2);
        EXPECT_EQ(drawn[0].y, (client.Height() - 32 + 1) / 2);
        EXPECT_EQ(drawn[0].icon, LoadIconResource(IDR_MAINFRAME));
        w->showNormal();
    });
}

TEST_F(ScreenMainWindow, TheCloseBoxEndsTheProgramToo)
{
    EXPECT_EQ(Run([](QWidget* w) {
        w->close();
        EXPECT_FALSE(w->isVisible());
    }), IDCANCEL);
    DWORD value = 7;
    EXPECT_TRUE(GetRegDWORD(u"bMakeWOFF2", &value));
    EXPECT_EQ(value, 0u);
}

} // namespace

// A user types a font's path, ticks the WOFF2 box and presses "変換開始": the red note and the
// disabled buttons while the worker runs, the success box, and the window ready again after.
TEST_F(ScreenMainWindow, AUserConvertsAFontAndWatchesTheWOFF2Step)
{
    testfonts::TempDir dir;
    const std::string font = dir.File("Sample.ttf");
    testfonts::WriteFile(font, testfonts::ReadFile(testfonts::kIpaexGothic));
    Run([&](QWidget* w) {
        QLineEdit* source = Fields(w)[0];
        source->setFocus();
        QTest::keyClicks(source, QString::fromStdString(font));
        QTest::mouseClick(FindButton(w, u"WOFF2を作成する(&W)"), Qt::LeftButton);
        QAbstractButton* start = FindButton(w, u"変換開始");
        QAbstractButton* quit = FindButton(w, u"終了");
        QTest::mouseClick(start, Qt::LeftButton);

        const QString note = QString::fromUtf16(u"WOFF2に変換中です。数分かかると思われます。");
        QLabel* status = FindByText<QLabel>(w, note);
        ASSERT_NE(status, nullptr) << "the step's note is on the status line";
        EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_FALSE(start->isEnabled());
        EXPECT_FALSE(quit->isEnabled());
        QTest::qWait(50);
        EXPECT_TRUE(w->grab().save(ScreenshotPath("woff2-step-running.png")));

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (m_boxes.Boxes().empty() && std::chrono::steady_clock::now() < deadline) QTest::qWait(50);
        QTest::qWait(20);
        EXPECT_TRUE(start->isEnabled());
        EXPECT_TRUE(quit->isEnabled());
        EXPECT_EQ(status->text().toStdString(), "");
        EXPECT_TRUE(w->grab().save(ScreenshotPath("woff2-step-done.png")));
    });
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"正常に変換しました。"});
    EXPECT_EQ(testfonts::Run("woff2_decompress " + testfonts::Quote(dir.File("Sample.woff2"))).exitCode, 0);
    EXPECT_EQ(testfonts::Run("ots-sanitize " + testfonts::Quote(dir.File("Sample.woff"))).exitCode, 0);
}

// The step disables "変換開始" under the mouse that started it: Return after the step still
// starts a conversion, not the help, and "変換開始" is the default button again.
TEST_F(ScreenMainWindow, ReturnAfterAStepStartedWithTheMouseStartsTheNextConversion)
{
    m_app.m_pszHelpFilePath = u"/nonexistent/fenwrap.CHM";
    testfonts::TempDir dir;
    const std::string font = dir.File("Sample.ttf");
    testfonts::WriteFile(font, testfonts::ReadFile(testfonts::kSmallTrueType));
    m_boxes.Answer(IDOK);
    m_boxes.Answer(IDNO);
    Run([&](QWidget* w) {
        Fields(w)[0]->setFocus();
        QTest::keyClicks(Fields(w)[0], QString::fromStdString(font));
        QTest::mouseClick(FindButton(w, u"WOFF2を作成する(&W)"), Qt::LeftButton);
        auto* start = static_cast<QPushButton*>(FindButton(w, u"変換開始"));
        QTest::mouseClick(start, Qt::LeftButton);
        EXPECT_FALSE(start->isEnabled());
        EXPECT_FALSE(FindButton(w, u"ヘルプ(&H)")->hasFocus()) << "help took the focus of the disabled button";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (m_boxes.Boxes().empty() && std::chrono::steady_clock::now() < deadline) QTest::qWait(20);
        QTest::qWait(20);
        EXPECT_TRUE(start->hasFocus());
        EXPECT_TRUE(start->isDefault());
        EXPECT_TRUE(w->grab().save(ScreenshotPath("woff2-step-done-by-mouse.png")));
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w, Qt::Key_Return);
    });
    const std::string woff = dir.File("Sample.woff");
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{"正常に変換しました。", woff + " は既に存在します。\n上書きしますか?"}));
}
