// Windows, controls and message maps.
//
// A window here is a model: its text, state, list entries and font live in the layer's own
// records, so that dialogs run, and tests answer them, with no display and no toolkit object.
// When a dialog is shown on screen, each record also drives a widget of the toolkit.
#pragma once

#include "Exceptions.h"
#include "Gdi.h"
#include "String.h"
#include "Types.h"

struct WindowHandle;
using HWND = WindowHandle*;
class CMenu;
struct IconHandle;
using HICON = const IconHandle*;

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_CTLCOLOR = 0x0019;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr UINT EM_SETTABSTOPS = 0x00CB;
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETCURSEL = 0x0186;
inline constexpr UINT LB_GETCURSEL = 0x0188;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETTEXTLEN = 0x018A;
inline constexpr UINT LB_GETCOUNT = 0x018B;

inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int LB_ERR = -1;

// Notification codes carried by WM_COMMAND.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT LBN_SELCHANGE = 1;
inline constexpr UINT LBN_DBLCLK = 2;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16); }

class CCmdTarget;
class CWnd;

// --- message maps ----------------------------------------------------------------------------
//
// Each class lists the messages and commands it handles; dispatch walks the class's list, then
// its base's, and so on. A command that no list of a dialog handles travels on to the
// application object.

using MessageThunk = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message;
    UINT code;     // notification code of a WM_COMMAND entry
    UINT firstId;  // control or command id of a WM_COMMAND entry
    UINT lastId;
    MessageThunk thunk;  // nullptr ends the list
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;
};

// What WM_CTLCOLOR carries in lParam.
struct CtlColorArgs {
    CDC* dc;
    CWnd* wnd;
    UINT kind;
};

namespace msgmap {

template <class F> struct Owner;
template <class C, class R, class... A> struct Owner<R (C::*)(A...)> { using type = C; };

template <auto F> LRESULT Command(CCmdTarget* target, WPARAM, LPARAM)
{
    (static_cast<typename Owner<decltype(F)>::type*>(target)->*F)();
    return 0;
}
template <auto F> LRESULT Message(CCmdTarget* target, WPARAM wParam, LPARAM lParam)
{
    return (static_cast<typename Owner<decltype(F)>::type*>(target)->*F)(wParam, lParam);
}
template <auto F> LRESULT CtlColor(CCmdTarget* target, WPARAM, LPARAM lParam)
{
    const auto* args = reinterpret_cast<const CtlColorArgs*>(lParam);
    return reinterpret_cast<LRESULT>(
        (static_cast<typename Owner<decltype(F)>::type*>(target)->*F)(args->dc, args->wnd, args->kind));
}

} // namespace msgmap

#define afx_msg

#define DECLARE_MESSAGE_MAP()                                                                   \
protected:                                                                                      \
    static const ::MessageMap* GetThisMessageMap();                                             \
                                                                                                \
public:                                                                                         \
    const ::MessageMap* GetMessageMap() const override;                                         \
                                                                                                \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                  \
    const ::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }         \
    const ::MessageMap* theClass::GetThisMessageMap()                                           \
    {                                                                                           \
        using ThisClass [[maybe_unused]] = theClass;                                            \
        using TheBaseClass = baseClass;                                                         \
        static const ::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                       \
            {0, 0, 0, 0, nullptr}};                                                             \
        static const ::MessageMap map{&TheBaseClass::GetThisMessageMap, entries};               \
        return &map;                                                                            \
    }

#define ON_COMMAND(id, memberFxn) {WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), &msgmap::Command<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) {WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), &msgmap::Command<memberFxn>},
#define ON_LBN_DBLCLK(id, memberFxn) {WM_COMMAND, LBN_DBLCLK, UINT(id), UINT(id), &msgmap::Command<memberFxn>},
#define ON_LBN_SELCHANGE(id, memberFxn) {WM_COMMAND, LBN_SELCHANGE, UINT(id), UINT(id), &msgmap::Command<memberFxn>},
// memberFxn: LRESULT (WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn) {UINT(message), 0, 0, 0, &msgmap::Message<memberFxn>},
#define ON_WM_CTLCOLOR() {WM_CTLCOLOR, 0, 0, 0, &msgmap::CtlColor<&ThisClass::OnCtlColor>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &msgmap::Command<&ThisClass::OnDestroy>},

// --- run-time class information --------------------------------------------------------------

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(theClass) (&theClass::class##theClass)
#define DECLARE_DYNAMIC(theClass)                                                               \
public:                                                                                         \
    static const ::CRuntimeClass class##theClass;                                               \
    const ::CRuntimeClass* GetRuntimeClass() const override;                                    \
                                                                                                \
private:
#define IMPLEMENT_DYNAMIC(theClass, baseClass)                                                  \
    const ::CRuntimeClass theClass::class##theClass{#theClass, RUNTIME_CLASS(baseClass)};       \
    const ::CRuntimeClass* theClass::GetRuntimeClass() const { return RUNTIME_CLASS(theClass); }

// --- command targets and windows -------------------------------------------------------------

class CCmdTarget : public CObject {
public:
    static const CRuntimeClass classCCmdTarget;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

    virtual const MessageMap* GetMessageMap() const;
    // Runs the handler of command id (notification code) if this object's map has one; with
    // probe set it only says whether one exists.
    virtual BOOL OnCmdMsg(UINT id, UINT code, bool probe = false);

protected:
    static const MessageMap* GetThisMessageMap();
    // The map entry for a message other than WM_COMMAND, searched from the most derived class.
    const MessageMapEntry* FindMessageEntry(UINT message) const;
};

struct CRect {
    LONG left = 0, top = 0, right = 0, bottom = 0;
    CRect() = default;
    CRect(LONG l, LONG t, LONG r, LONG b) : left(l), top(t), right(r), bottom(b) {}
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    static const CRuntimeClass classCWnd;
    const CRuntimeClass* GetRuntimeClass() const override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object that stands for a window: the one attached to it, or a temporary one.
    static CWnd* FromHandle(HWND hwnd);

    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;

    void SetWindowText(LPCTSTR text);
    void GetWindowText(CString& text) const;
    int GetWindowTextLength() const;
    void SetDlgItemText(int id, LPCTSTR text);
    int GetDlgItemText(int id, CString& text) const;

    BOOL EnableWindow(BOOL enable = TRUE);  // returns TRUE when the window was disabled before
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int command);           // returns TRUE when the window was visible before
    BOOL IsWindowVisible() const;
    void SetFocus();

    void SetFont(CFont* font, BOOL redraw = TRUE);
    HFONT GetFontHandle() const;
    // The window's position in its dialog's client area, in pixels.
    void GetWindowRect(CRect* rect) const;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues the message for the dialog's message loop; safe from any thread.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Attaches this object to control id of parent, so that the parent's messages about that
    // control reach this object's map and GetDlgItem returns this object.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL Attach(HWND hwnd);
    HWND Detach();

    // Default colours: the system's (no brush).
    afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
    afx_msg void OnDestroy() {}

    // The system menu, the window's icons and its client area (Shell.cpp).
    CMenu* GetSystemMenu(BOOL revert) const;
    afx_msg void OnSysCommand(UINT id, LPARAM lParam);
    HICON SetIcon(HICON icon, BOOL bigIcon);
    BOOL IsIconic() const;
    void GetClientRect(CRect* rect) const;
    afx_msg void OnPaint() {}

    // Help for the main window's help command; nothing here.
    virtual void HtmlHelp(UINT_PTR data, UINT command = 0x000F);

    // Message processing: the map first, then the window's built-in behaviour.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // What the control itself does with a message (list boxes, buttons, edits...).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The screen's device context. Nothing here draws through it: it is a token that a library
// taking a device context may be handed, valid between GetDC and ReleaseDC.
struct HDC__;
using HDC = HDC__*;
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
