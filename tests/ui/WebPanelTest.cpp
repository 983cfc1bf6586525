// The advertisement panel's browser view on screen, with the web engine really running: the
// tests run with no network at all (see CMakeLists.txt), so every page fails to load but those
// of the sites a test serves itself on the loopback interface.
#include "Dialog.h"
#include "DialogTemplate.h"
#include "HtmlView.h"
#include "ScreenSupport.h"
#include "UiSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
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

// Two sites on this machine's loopback, one over https with a certificate made for the test,
// one over plain http; every request either gets is logged as "https PATH" or "http PATH".
// Each page named in kAttempts, once loaded, tries to lead the panel to the http site in its
// own way and half a second later goes on to the https page /landed.htm?NAME.
constexpr const char* kSites = R"py(
import http.server, ssl, sys, threading
kAttempts = {
    'script': "location.href = '%(http)s/from-script.htm'",
    'click': "var a = document.createElement('a'); a.href = '%(http)s/from-click.htm';"
             " document.body.appendChild(a); a.click()",
    'redirect': "location.href = '/moved.htm'",
}
def Page(path):
    name = path.strip('/').split('.')[0]
    if name not in kAttempts: return '<html><body>' + name + '</body></html>'
    landing = "setTimeout(function () { location.href = '/landed.htm?%s'; }, 500)" % name
    return ('<html><body><script>onload = function () { %s; %s; };</script></body></html>'
            % (kAttempts[name] % {'http': plain}, landing))
def Serve(scheme):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            print(scheme, self.path, flush=True)
            if self.path == '/moved.htm':
                self.send_response(302)
                self.send_header('Location', plain + '/from-redirect.htm')
                self.end_headers()
                return
            body = Page(self.path).encode()
            self.send_response(200)
            self.send_header('Content-Type', 'text/html')
            self.send_header('Content-Length', str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        def log_message(self, *args): pass
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    if scheme == 'https':
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[1], sys.argv[2])
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]
plain = 'http://127.0.0.1:%d' % Serve('http')
print('https://127.0.0.1:%d' % Serve('https'), flush=True)
sys.stdin.read()
)py";

class LoopbackSites {
public:
    // The https site's address, or empty when the sites could not be started.
    QString Start()
    {
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem")), key = m_dir.filePath(QStringLiteral("key.pem"));
        const QStringList certificate = {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                         "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                         "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert};
        if (QProcess::execute(QStringLiteral("openssl"), certificate) != 0) return {};
        m_sites.start(QStringLiteral("/usr/bin/python3"), {"-c", kSites, cert, key});
        if (!m_sites.waitForReadyRead(10000)) return {};
        return QString::fromUtf8(m_sites.readLine()).trimmed();
    }
    ~LoopbackSites()
    {
        m_sites.closeWriteChannel();
        if (!m_sites.waitForFinished(2000)) m_sites.kill();
        m_sites.waitForFinished();
    }
    // The requests logged so far, in the order they came.
    const QStringList& Requests()
    {
        while (m_sites.canReadLine()) m_requests << QString::fromUtf8(m_sites.readLine()).trimmed();
        return m_requests;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_sites;
    QStringList m_requests;
};

// The requests that reached the plain http site.
std::string Plain(const QStringList& requests)
{
    return requests.filter(QRegularExpression(QStringLiteral("^http "))).join(' ').toStdString();
}

TEST(WebPanel, FollowsOnlyHttpsWhereverItsPagesLead)
{
    ASSERT_NE(::geteuid(), 0u) << "run as an ordinary user, so that the engine's sandbox runs";
    LoopbackSites sites;
    const QString https = sites.Start();
    ASSERT_TRUE(https.startsWith(QStringLiteral("https://"))) << "the loopback sites did not start";
    CPanelDlg dlg;
    dlg.m_strAddress.Empty();
    QStringList shown;
    WhenModalShown([&](QWidget* window) {
        auto* view = window->findChild<QWebEngineView*>();
        ASSERT_NE(view, nullptr);
        // The test's own certificate is trusted here, and only here.
        QObject::connect(view->page(), &QWebEnginePage::certificateError, [](QWebEngineCertificateError error) {
            error.acceptCertificate();
        });
        QObject::connect(view, &QWebEngineView::urlChanged, [&](const QUrl& url) { shown << url.toString(); });
        for (const char* attempt : {"script", "click", "redirect"}) {
            const QString landed = https + "/landed.htm?" + attempt;
            dlg.m_pView->Navigate(CString::FromUtf8((https + "/" + attempt + ".htm").toStdString()));
            const bool done = WaitFor([&] { return shown.contains(landed) || !Plain(sites.Requests()).empty(); }, 30);
            EXPECT_TRUE(done) << attempt << ": the page neither left for http nor went on to https; requests: "
                              << sites.Requests().join(' ').toStdString() << "; shown: " << shown.join(' ').toStdString();
            EXPECT_EQ(Plain(sites.Requests()), "") << attempt;
        }
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_TRUE(sites.Requests().contains(QStringLiteral("https /moved.htm"))) << "the redirecting address was asked for";
    EXPECT_EQ(Plain(sites.Requests()), "") << "nothing was fetched over http";
    EXPECT_EQ(shown.filter(QRegularExpression("^(?!https://)")).join(' ').toStdString(), "") << "only https was shown";
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
