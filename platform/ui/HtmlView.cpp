#include "HtmlView.h"

#include "ShellDetail.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex g_mutex;
NavigateObserver g_observer;
std::atomic<bool> g_browsersEnabled{true};

QString ToQ(const CString& s) { return QString::fromUtf16(s.GetString(), s.GetLength()); }

// The web engine runs remote pages only inside its sandbox. The sandbox does not run for
// root, and the environment may switch it off: then no browser is made at all.
bool SandboxAvailable()
{
    if (::geteuid() == 0) return false;
    if (const char* off = std::getenv("QTWEBENGINE_DISABLE_SANDBOX"); off && *off && std::strcmp(off, "0") != 0)
        return false;
    const char* flags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    return !(flags && std::strstr(flags, "no-sandbox"));
}

// The panel follows https only. Whatever leads its page elsewhere afterwards, a server's
// redirect, a script or a click, is refused before anything is fetched: the first address
// alone being https would let an advertisement hand the user a page open to tampering.
class PanelPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override
    {
        return url.scheme() == QStringLiteral("https");
    }
};

} // namespace

struct CHtmlView::Browser {
    QPointer<QWebEngineView> view;
};

const CRuntimeClass CHtmlView::classCHtmlView{"CHtmlView", RUNTIME_CLASS(CWnd)};
const CRuntimeClass* CHtmlView::GetRuntimeClass() const { return RUNTIME_CLASS(CHtmlView); }
CObject* CHtmlView::CreateObject() { return new CHtmlView; }

BOOL CHtmlView::Create(LPCTSTR, LPCTSTR, DWORD style, const CRect& rect, CWnd* parent, UINT, CCreateContext*)
{
    if (!parent || !parent->m_hWnd) return FALSE;  // no window to belong to: still the caller's
    // Owned by the parent's window record from now on, whatever happens next.
    WindowExtras& extras = ui_detail::Extras(*parent->m_hWnd);
    extras.owned.push_back(std::shared_ptr<CObject>(this));
    QWidget* host = ui_detail::OnScreenWidget(parent->m_hWnd);
    if (!host || !g_browsersEnabled || !SandboxAvailable()) return FALSE;
    auto* view = new QWebEngineView(host);
    view->setPage(new PanelPage(view));
    view->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    // A panel, not a browser: no menu of the engine's own (in its own language).
    view->setContextMenuPolicy(Qt::NoContextMenu);
    // The placeholder under the view stays in sight until a page has really loaded: a page
    // that cannot be loaded would show the engine's error page, with controls of its own.
    view->setVisible(false);
    const bool wanted = style & WS_VISIBLE;
    QObject::connect(view, &QWebEngineView::loadStarted, view, [view] { view->setVisible(false); });
    QObject::connect(view, &QWebEngineView::loadFinished, view, [view, wanted](bool ok) { view->setVisible(ok && wanted); });
    m_browser = std::make_shared<Browser>();
    m_browser->view = view;
    return TRUE;
}

CHtmlView::~CHtmlView()
{
    // The view goes with its window; a page still loading is dropped, never waited for.
    if (HasBrowser()) m_browser->view->stop();
}

LRESULT CHtmlView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITIALUPDATE) return 0;  // the view has no document of its own to set up
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CHtmlView::HasBrowser() const { return m_browser && m_browser->view; }

void CHtmlView::Refresh()
{
    if (HasBrowser()) m_browser->view->reload();
}

void CHtmlView::Navigate(LPCTSTR url, DWORD, LPCTSTR, LPCTSTR, LPVOID, DWORD)
{
    const CString address(url);
    NavigateObserver observer;
    {
        std::lock_guard lock(g_mutex);
        observer = g_observer;
    }
    if (observer) observer(address);
    if (!HasBrowser()) return;
    const CString secure = BrowserAddress(address);
    if (!secure.IsEmpty()) m_browser->view->load(QUrl(ToQ(secure)));
}

CString BrowserAddress(const CString& address)
{
    QString text = ToQ(address).trimmed();
    if (text.isEmpty()) return CString();
    // An address without a scheme is a web address, as a user would type it; it is fetched
    // over https, and so is one that names plain http. Nothing else is loaded.
    if (!text.contains(QStringLiteral("://"))) text.prepend(QStringLiteral("https://"));
    QUrl url(text, QUrl::StrictMode);
    if (url.scheme().compare(QStringLiteral("http"), Qt::CaseInsensitive) == 0) url.setScheme(QStringLiteral("https"));
    if (!url.isValid() || url.scheme() != QStringLiteral("https") || url.host().isEmpty()) return CString();
    const QString result = url.toString(QUrl::FullyEncoded);
    return CString(reinterpret_cast<const char16_t*>(result.utf16()), static_cast<int>(result.size()));
}

NavigateObserver SetNavigateObserver(NavigateObserver observer)
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_observer, std::move(observer));
}

void EnableBrowserViews(bool enable) { g_browsersEnabled = enable; }
