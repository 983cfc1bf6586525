#include "HtmlView.h"

#include "ShellDetail.h"

#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

#include <atomic>
#include <mutex>

namespace {

std::mutex g_mutex;
NavigateObserver g_observer;
std::atomic<bool> g_browsersEnabled{true};

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
    if (!host || !g_browsersEnabled) return FALSE;
    auto* view = new QWebEngineView(host);
    view->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    view->setVisible(style & WS_VISIBLE);
    m_browser = std::make_shared<Browser>();
    m_browser->view = view;
    return TRUE;
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
    // An address without a scheme is a web address, as the user would type it.
    if (HasBrowser())
        m_browser->view->load(QUrl::fromUserInput(QString::fromUtf16(address.GetString(), address.GetLength())));
}

NavigateObserver SetNavigateObserver(NavigateObserver observer)
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_observer, std::move(observer));
}

void EnableBrowserViews(bool enable) { g_browsersEnabled = enable; }
