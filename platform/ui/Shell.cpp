#include "Shell.h"

#include "Dialog.h"
#include "ShellDetail.h"
#include "WindowHandle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QUrl>

#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace {

std::mutex g_mutex;
std::set<HDROP> g_liveDrops;
std::map<UINT, IconHandle>& Icons()
{
    static std::map<UINT, IconHandle> icons;
    return icons;
}
std::map<std::pair<UINT, int>, LinkSettings>& Links()
{
    static std::map<std::pair<UINT, int>, LinkSettings> links;
    return links;
}
std::vector<DrawnIcon> g_drawn;
UrlOpener g_urlOpener;
HelpLauncher g_helpLauncher;

// Stand-ins for windows that are not ours: the desktop, and a help viewer that started.
WindowHandle g_desktop;
WindowHandle g_helpViewer;

QString ToQ(const CString& s) { return QString::fromUtf16(s.GetString(), s.GetLength()); }

bool OpenWithDesktop(const CString& url)
{
    if (!ui_detail::HaveToolkit()) return false;
    return QDesktopServices::openUrl(QUrl::fromUserInput(ToQ(url)));
}

// The viewer we started, and on which file: help shows in that one window for as long as it
// is open, as the platform's help does, rather than in a new window for each request.
QPointer<QProcess> g_viewer;
QString g_viewerFile;

bool ViewerIsOpen(const QString& file)
{
    if (!g_viewer || g_viewerFile != file) return false;
    // A viewer that has ended is noticed now, whether or not an event loop has run since.
    return g_viewer->state() != QProcess::NotRunning && !g_viewer->waitForFinished(0);
}

// The desktop's CHM viewers, in the order they are tried.
bool LaunchViewer(const CString& helpFile, UINT, UINT_PTR)
{
    const QString file = ToQ(helpFile);
    if (ViewerIsOpen(file)) return true;
    if (g_viewer) g_viewer->deleteLater();
    for (const char* viewer : {"xchm", "kchmviewer"}) {
        // Owned by the toolkit's application, so that the viewer closes with the program as
        // the platform's help window does.
        auto* process = new QProcess(QCoreApplication::instance());
        process->setProgram(QString::fromLatin1(viewer));
        process->setArguments({file});
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(QIODevice::NotOpen);
        if (process->waitForStarted()) {
            g_viewer = process;
            g_viewerFile = file;
            return true;
        }
        delete process;
    }
    return QProcess::startDetached(QStringLiteral("xdg-open"), {file});
}

} // namespace

// --- dropped files -------------------------------------------------------------------------------

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size)
{
    if (!drop) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->paths.size());
    if (index >= drop->paths.size()) return 0;
    const CString& path = drop->paths[index];
    if (!buffer) return static_cast<UINT>(path.GetLength());
    if (size == 0) return 0;
    const UINT n = std::min<UINT>(size - 1, static_cast<UINT>(path.GetLength()));
    std::copy(path.GetString(), path.GetString() + n, buffer);
    buffer[n] = 0;
    return n;
}

void DragFinish(HDROP drop)
{
    std::lock_guard lock(g_mutex);
    if (g_liveDrops.erase(drop)) delete drop;
}

BOOL DropFilesOn(CWnd* control, const std::vector<CString>& paths)
{
    if (!control || !control->m_hWnd || !(control->m_hWnd->exStyle & WS_EX_ACCEPTFILES)) return FALSE;
    HDROP drop = new DropHandle{paths};
    {
        std::lock_guard lock(g_mutex);
        g_liveDrops.insert(drop);
    }
    ui_detail::Guarded([&] { control->SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop)); });
    DragFinish(drop);  // a window without a handler leaves the drop to us
    if (WindowHandle* w = control->m_hWnd; w && w->Dialog()->dialog) w->Dialog()->dialog->ApplyControlColors();
    return TRUE;
}

// --- system menu, icons, painting ----------------------------------------------------------------

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCTSTR text)
{
    m_items.push_back(Item{flags, id, CString(text)});
    return TRUE;
}

namespace ui_detail {

WindowExtras& Extras(WindowHandle& w)
{
    if (!w.extras) w.extras = std::make_shared<WindowExtras>();
    return *w.extras;
}

QWidget* OnScreenWidget(const WindowHandle* w)
{
    return w && w->extras ? w->extras->widget.data() : nullptr;
}

} // namespace ui_detail

CMenu* CWnd::GetSystemMenu(BOOL revert) const
{
    if (!m_hWnd || !m_hWnd->isDialog || !(m_hWnd->style & WS_SYSMENU)) return nullptr;
    WindowExtras& extras = ui_detail::Extras(*m_hWnd);
    if (revert || !extras.systemMenu) {
        extras.systemMenu.emplace();
        if (m_hWnd->style & WS_MINIMIZEBOX) extras.systemMenu->AppendMenu(MF_STRING, SC_MINIMIZE, u"最小化(&N)");
        extras.systemMenu->AppendMenu(MF_STRING, SC_CLOSE, u"閉じる(&C)\tAlt+F4");
    }
    return revert ? nullptr : &*extras.systemMenu;
}

void CWnd::OnSysCommand(UINT id, LPARAM)
{
    if (!m_hWnd || !m_hWnd->isDialog) return;
    switch (id & 0xFFF0) {
    case SC_CLOSE:
        if (m_hWnd->dialog) m_hWnd->dialog->PressCloseBox();
        break;
    case SC_MINIMIZE:
        if (QWidget* widget = ui_detail::OnScreenWidget(m_hWnd)) widget->showMinimized();
        break;
    default:
        break;
    }
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    if (!m_hWnd) return nullptr;
    WindowExtras& extras = ui_detail::Extras(*m_hWnd);
    HICON& slot = bigIcon ? extras.bigIcon : extras.smallIcon;
    const HICON previous = std::exchange(slot, icon);
    ui_detail::ShowIcon(*m_hWnd);
    return previous;
}

BOOL CWnd::IsIconic() const
{
    const QWidget* widget = ui_detail::OnScreenWidget(m_hWnd);
    return widget && widget->isMinimized();
}

void CWnd::GetClientRect(CRect* rect) const
{
    if (!rect) return;
    *rect = m_hWnd ? CRect(0, 0, m_hWnd->rect.Width(), m_hWnd->rect.Height()) : CRect();
}

IconResourceEntry::IconResourceEntry(UINT id, IconPainter paint)
{
    Icons()[id] = IconHandle{id, paint};
}

HICON LoadIconResource(UINT id)
{
    const auto it = Icons().find(id);
    return it == Icons().end() ? nullptr : &it->second;
}

int GetSystemMetrics(int index)
{
    return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    if (!icon) return FALSE;
    std::lock_guard lock(g_mutex);
    g_drawn.push_back(DrawnIcon{x, y, icon});
    return TRUE;
}

std::vector<DrawnIcon> TakeDrawnIcons()
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_drawn, {});
}

// --- links ---------------------------------------------------------------------------------------

LinkSettingsEntry::LinkSettingsEntry(UINT dialogId, int controlId, LinkSettings settings)
{
    Links()[{dialogId, controlId}] = settings;
}

const LinkSettings* FindLinkSettings(UINT dialogId, int controlId)
{
    const auto it = Links().find({dialogId, controlId});
    return it == Links().end() ? nullptr : &it->second;
}

IMPLEMENT_DYNAMIC(CMFCLinkCtrl, CWnd)

namespace {
const LinkSettings* SettingsOf(const CWnd& link)
{
    WindowHandle* w = link.m_hWnd;
    if (!w || !w->parent || !w->Dialog()->dialog) return nullptr;
    return FindLinkSettings(w->Dialog()->dialog->GetTemplateId(), w->id);
}
} // namespace

CString CMFCLinkCtrl::GetURL() const
{
    const LinkSettings* settings = SettingsOf(*this);
    if (settings && settings->url[0]) return CString(settings->url);
    CString text;
    GetWindowText(text);
    return text;
}

CString CMFCLinkCtrl::GetTooltip() const
{
    const LinkSettings* settings = SettingsOf(*this);
    if (!settings) return CString();
    return settings->fullTextTooltip ? GetURL() : CString(settings->tooltip);
}

void CMFCLinkCtrl::Click()
{
    const LinkSettings* settings = SettingsOf(*this);
    OpenUrl(CString(settings ? settings->urlPrefix : u"") + GetURL());
}

UrlOpener SetUrlOpener(UrlOpener opener)
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_urlOpener, std::move(opener));
}

bool OpenUrl(const CString& url)
{
    UrlOpener opener;
    {
        std::lock_guard lock(g_mutex);
        opener = g_urlOpener;
    }
    return opener ? opener(url) : OpenWithDesktop(url);
}

// --- help ----------------------------------------------------------------------------------------

HelpLauncher SetHelpLauncher(HelpLauncher launcher)
{
    std::lock_guard lock(g_mutex);
    return std::exchange(g_helpLauncher, std::move(launcher));
}

HWND AfxHtmlHelp(HWND, LPCTSTR helpFile, UINT command, UINT_PTR data)
{
    if (!helpFile || !*helpFile) return nullptr;
    // A help file that is not there starts no viewer, as with the viewer that the program
    // was written for.
    const QFileInfo info(ToQ(CString(helpFile)));
    if (!info.isFile() || !info.isReadable()) return nullptr;
    HelpLauncher launcher;
    {
        std::lock_guard lock(g_mutex);
        launcher = g_helpLauncher;
    }
    const bool started = launcher ? launcher(CString(helpFile), command, data) : LaunchViewer(CString(helpFile), command, data);
    return started ? &g_helpViewer : nullptr;
}

HWND GetDesktopWindow() { return &g_desktop; }

CWaitCursor::CWaitCursor()
{
    if (ui_detail::HaveToolkit()) QApplication::setOverrideCursor(Qt::WaitCursor);
}

CWaitCursor::~CWaitCursor()
{
    if (ui_detail::HaveToolkit()) QApplication::restoreOverrideCursor();
}
