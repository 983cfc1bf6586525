// The advertisement panel's browser view on screen, with the web engine really running: the
// tests run with no network at all (see CMakeLists.txt), so every page fails to load.
#include "Dialog.h"
#include "DialogTemplate.h"
#include "HtmlView.h"
#include "ScreenSupport.h"
#include "UiSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWebEngineView>

#include <cstdlib>
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr UINT IDD_PANEL = 9101;
constexpr int IDC_AREA = 2101;

const DialogTemplateEntry kPanelDialog(IDD_PANEL, {
    .caption = u"パネル",
    .cx = 270,
    .cy = 120,
    .font = {u"MS UI Gothic", 9},
    .controls = {
        {IDC_AREA, ControlKind::Label, u"スタティック", 7, 7, 253, 69, 0},
        {IDOK, ControlKind::DefPushButton, u"OK", 7, 90, 50, 14, WS_TABSTOP},
        {IDCANCEL, ControlKind::PushButton, u"キャンセル", 62, 90, 50, 14, WS_TABSTOP},
    }});

// A dialog with the panel over its placeholder, as the main window makes it.
class CPanelDlg : public CDialog {
public:
    CPanelDlg() : CDialog(IDD_PANEL) {}
    CHtmlView* m_pView = nullptr;
    BOOL m_bCreated = FALSE;
    CString m_strAddress = u"www.example.invalid/ad0.htm";

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        CRect rect;
        GetDlgItem(IDC_AREA)->GetWindowRect(&rect);
        m_pView = static_cast<CHtmlView*>(CHtmlView::CreateObject());
        m_bCreated = m_pView->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect, this, 0, nullptr);
        m_pView->Navigate(m_strAddress);
        return TRUE;
    }
};

// Runs the event loop until done says so or seconds have passed.
bool WaitFor(const std::function<bool()>& done, int seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < seconds * 1000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(WebPanel, APageThatCannotLoadLeavesThePlaceholderAndTheWindowClosesAtOnce)
{
    ASSERT_NE(::geteuid(), 0u) << "run as an ordinary user, so that the engine's sandbox runs";
    CPanelDlg dlg;
    bool placeholderShown = false, finished = false;
    Qt::ContextMenuPolicy menu = Qt::DefaultContextMenu;
    QString loaded;
    qint64 closingMs = -1;
    QElapsedTimer closing;
    WhenModalShown([&](QWidget* window) {
        auto* view = window->findChild<QWebEngineView*>();
        ASSERT_NE(view, nullptr) << "an ordinary user gets the browser";
        menu = view->contextMenuPolicy();
        QObject::connect(view, &QWebEngineView::loadFinished, [&](bool) { finished = true; });
        EXPECT_FALSE(view->isVisible()) << "nothing of the engine shows before a page has loaded";
        EXPECT_TRUE(WaitFor([&] { return finished; }, 30)) << "the failed load is reported";
        WaitFor([] { return false; }, 1);  // what the error page would draw has had its time
        loaded = view->url().toString();
        placeholderShown = !view->isVisible();
        auto* label = FindByText<QLabel>(window, QStringLiteral("スタティック"));
        EXPECT_TRUE(label && label->isVisible());
        closing.start();
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    closingMs = closing.elapsed();
    EXPECT_TRUE(dlg.m_bCreated);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(placeholderShown) << "the engine's error page is never shown";
    EXPECT_EQ(menu, Qt::NoContextMenu);
    EXPECT_EQ(loaded, QStringLiteral("https://www.example.invalid/ad0.htm")) << "over https";
    EXPECT_GE(closingMs, 0);
    EXPECT_LT(closingMs, 2000);
}

// A server on this machine that takes connections and never answers: a page that is still
// loading when the window closes.
class SilentServer {
public:
    SilentServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_socket, 16) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_socket); }
    int Port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

TEST(WebPanel, ClosingTheWindowNeverWaitsForAPageStillLoading)
{
    ASSERT_NE(::geteuid(), 0u) << "run as an ordinary user, so that the engine's sandbox runs";
    SilentServer server;
    ASSERT_NE(server.Port(), 0) << "the loopback interface is up";
    CPanelDlg dlg;
    dlg.m_strAddress = CString::FromUtf8("https://127.0.0.1:" + std::to_string(server.Port()) + "/ad1.htm");
    bool finished = false, shown = true;
    QElapsedTimer closing;
    WhenModalShown([&](QWidget* window) {
        auto* view = window->findChild<QWebEngineView*>();
        ASSERT_NE(view, nullptr);
        QObject::connect(view, &QWebEngineView::loadFinished, [&](bool) { finished = true; });
        WaitFor([&] { return finished; }, 2);
        shown = view->isVisible();
        closing.start();
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    const qint64 closingMs = closing.elapsed();
    EXPECT_FALSE(finished) << "the page was still loading";
    EXPECT_FALSE(shown) << "and the placeholder showed meanwhile";
    EXPECT_LT(closingMs, 2000);
}

TEST(WebPanelAsRoot, KeepsThePlaceholderAndStartsNoEngine)
{
    if (::geteuid() != 0) GTEST_SKIP() << "for root only";
    CPanelDlg dlg;
    bool hasView = true;
    WhenModalShown([&](QWidget* window) {
        hasView = window->findChild<QWebEngineView*>() != nullptr;
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_FALSE(dlg.m_bCreated);
    EXPECT_FALSE(hasView);
}

TEST(BrowserAddress, IsAlwaysHttpsAndNothingElseIsLoaded)
{
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"www.example.com/ad0.htm", "https://www.example.com/ad0.htm"},
        {u"http://www.example.com/ad1.htm", "https://www.example.com/ad1.htm"},
        {u"HTTP://www.example.com/", "https://www.example.com/"},
        {u"https://www.example.com/ad2.htm?x=1", "https://www.example.com/ad2.htm?x=1"},
        {u"  www.example.com/ad3.htm ", "https://www.example.com/ad3.htm"},
        {u"file:///etc/passwd", ""},
        {u"ftp://www.example.com/", ""},
        {u"javascript://alert(1)", ""},
        {u"", ""},
        {u"https:///nohost", ""},
    };
    for (const auto& [address, expected] : cases)
        EXPECT_EQ(BrowserAddress(address).ToUtf8(), expected) << CString(address).ToUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ::testing::InitGoogleTest(&argc, argv);
    UiSession session(argc, argv);
    return RUN_ALL_TESTS();
}
