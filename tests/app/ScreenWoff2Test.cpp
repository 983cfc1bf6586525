// The WOFF2 step with the window on screen: while the worker runs, neither the window manager's
// close nor Esc ends the window; once the notice has been handled, they do.
#include "ScreenSupport.h"
#include "WindowFixture.h"
#include "Woff2Step.h"

#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ScreenWoff2 : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        EnableBrowserViews(false);
        SetNavigateObserver([](const CString&) {});
    }
    void TearDown() override
    {
        SetNavigateObserver({});
        StoreTest::TearDown();
    }

    CFenwrapApp m_app;
    ScriptedResponder m_boxes;
    testfonts::TempDir m_dir;
};

TEST_F(ScreenWoff2, TheWindowManagersCloseWaitsForTheWorkersNotice)
{
    // Encoding this font takes the worker far longer than the few events sent here.
    const std::string font = m_dir.File("font.ttf");
    testfonts::WriteFile(font, testfonts::ReadFile(testfonts::kSmallTrueType));
    const std::string woff2 = m_dir.File("font.woff2");

    CFenwrapDlg dlg(nullptr);
    m_app.m_pMainWnd = &dlg;
    bool stayedOpen = false;
    WhenModalShown([&](QWidget* w) {
        dlg.StartWOFF2Conversion(CString::FromUtf8(font), CString::FromUtf8(woff2), nullptr);
        w->close();
        QTest::keyClick(w, Qt::Key_Escape);
        QTest::qWait(50);
        stayedOpen = w->isVisible() && !dlg.IsEnded();

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_boxes.Boxes().empty() && std::chrono::steady_clock::now() < deadline) QTest::qWait(20);
        w->close();
    });
    const INT_PTR result = dlg.DoModal();
    m_app.m_pMainWnd = nullptr;

    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"正常に変換しました。"});
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(testfonts::Run("woff2_decompress " + testfonts::Quote(woff2)).exitCode, 0);
}

} // namespace
