// What a window gets from the desktop shell: files dropped on it, its system menu, its icons,
// links that open in the user's browser, and the help viewer.
//
// A Linux window manager lets no program add items to the menu of its title bar, so the system
// menu here is the layer's own: it opens on Alt+Space and on a right-click on the window's
// background, and its commands reach the window as WM_SYSCOMMAND.
#pragma once

#include "DialogTemplate.h"
#include "Window.h"

#include <functional>
#include <vector>

class QPainter;

// --- dropped files -------------------------------------------------------------------------------

inline constexpr UINT WM_DROPFILES = 0x0233;

struct DropHandle {
    std::vector<CString> paths;
};
using HDROP = DropHandle*;

// index 0xFFFFFFFF gives the number of items; a null buffer gives the length of item index
// (without its NUL); otherwise copies at most size - 1 characters and a NUL and returns how
// many characters it copied.
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size);
void DragFinish(HDROP drop);

// Sends a drop of paths to control, as the shell does when files are dropped on it: only a
// control whose template gives it WS_EX_ACCEPTFILES takes drops. FALSE when it takes none.
BOOL DropFilesOn(CWnd* control, const std::vector<CString>& paths);

namespace shellmap {
template <auto F> LRESULT DropFiles(CCmdTarget* target, WPARAM wParam, LPARAM)
{
    (static_cast<typename msgmap::Owner<decltype(F)>::type*>(target)->*F)(reinterpret_cast<HDROP>(wParam));
    return 0;
}
template <auto F> LRESULT SysCommand(CCmdTarget* target, WPARAM wParam, LPARAM lParam)
{
    (static_cast<typename msgmap::Owner<decltype(F)>::type*>(target)->*F)(static_cast<UINT>(wParam), lParam);
    return 0;
}
template <auto F> LRESULT Query(CCmdTarget* target, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((static_cast<typename msgmap::Owner<decltype(F)>::type*>(target)->*F)());
}
} // namespace shellmap

#define ON_WM_DROPFILES() {WM_DROPFILES, 0, 0, 0, &shellmap::DropFiles<&ThisClass::OnDropFiles>},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, 0, &shellmap::SysCommand<&ThisClass::OnSysCommand>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &msgmap::Command<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, &shellmap::Query<&ThisClass::OnQueryDragIcon>},

// --- system menu ---------------------------------------------------------------------------------

inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;

inline constexpr UINT SC_MINIMIZE = 0xF020;
inline constexpr UINT SC_CLOSE = 0xF060;

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_SEPARATOR = 0x0800;

inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

class CMenu {
public:
    struct Item {
        UINT flags;
        UINT_PTR id;
        CString text;
    };

    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCTSTR text = nullptr);
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

// --- icons ---------------------------------------------------------------------------------------

// An icon resource is drawn, at whatever size is asked for, by a function registered under its
// id; res/ files register theirs from a static IconResourceEntry.
using IconPainter = void (*)(QPainter& painter, int size);

struct IconHandle {
    UINT id;
    IconPainter paint;
};

struct IconResourceEntry {
    IconResourceEntry(UINT id, IconPainter paint);
};

// The icon registered under id, or nullptr. Icons are shared and never destroyed.
HICON LoadIconResource(UINT id);

inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);

// Painting of the minimised window, as the program asks for it; a window manager here shows
// the window's icon itself, so this only records what would be drawn.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd) : m_pWnd(wnd) {}
    CDC* GetSafeHdc() { return this; }
    BOOL DrawIcon(int x, int y, HICON icon);

    CWnd* m_pWnd;
};

struct DrawnIcon {
    int x, y;
    HICON icon;
};
// The icons drawn by CPaintDC::DrawIcon since the last call (for the program's tests).
std::vector<DrawnIcon> TakeDrawnIcons();

// --- links ---------------------------------------------------------------------------------------

// The initialisation data of a dialog's link control: the address it opens, a prefix put
// before the address, its tool tip, and whether the tool tip shows the full address.
struct LinkSettings {
    const char16_t* url = u"";
    const char16_t* urlPrefix = u"";
    const char16_t* tooltip = u"";
    bool fullTextTooltip = false;
};

// Registered by res/ files beside their dialog templates.
struct LinkSettingsEntry {
    LinkSettingsEntry(UINT dialogId, int controlId, LinkSettings settings);
};
const LinkSettings* FindLinkSettings(UINT dialogId, int controlId);

// The link control: shows its text, opens its address when clicked.
class CMFCLinkCtrl : public CWnd {
public:
    static const CRuntimeClass classCMFCLinkCtrl;
    const CRuntimeClass* GetRuntimeClass() const override;

    CString GetURL() const;
    CString GetTooltip() const;
    // What a click does: opens prefix + address.
    void Click();
};

// Opens an address in the desktop's browser. Tests install an opener that records it.
using UrlOpener = std::function<bool(const CString& url)>;
UrlOpener SetUrlOpener(UrlOpener opener);
bool OpenUrl(const CString& url);

// --- help ----------------------------------------------------------------------------------------

inline constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
inline constexpr UINT HH_HELP_CONTEXT = 0x000F;
inline constexpr UINT AFX_IDP_FAILED_TO_LAUNCH_HELP = 61703;

// Starts the desktop's viewer on a help file; FALSE when it could not be started. Tests
// install a launcher of their own.
using HelpLauncher = std::function<bool(const CString& helpFile, UINT command, UINT_PTR data)>;
HelpLauncher SetHelpLauncher(HelpLauncher launcher);

// The help viewer's window, or nullptr when the viewer did not start (a missing help file
// included). The owner is not used: the viewer runs as a program of its own.
HWND AfxHtmlHelp(HWND owner, LPCTSTR helpFile, UINT command, UINT_PTR data);
HWND GetDesktopWindow();

// Shows the wait cursor while it exists.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
