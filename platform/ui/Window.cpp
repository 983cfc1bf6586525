#include "Window.h"

#include "Controls.h"
#include "Dialog.h"
#include "MessageBox.h"
#include "WindowHandle.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

namespace {

std::mutex g_liveMutex;
std::set<const WindowHandle*> g_liveDialogs;

std::unique_ptr<CWnd> MakeTemporary(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::GroupBox:
        return std::make_unique<CButton>();
    case ControlKind::Edit:
        return std::make_unique<CEdit>();
    case ControlKind::ListBox:
        return std::make_unique<CListBox>();
    default:
        return std::make_unique<CStatic>();
    }
}

} // namespace

namespace ui_detail {

void SetLive(const WindowHandle* dialog, bool live)
{
    std::lock_guard lock(g_liveMutex);
    if (live) g_liveDialogs.insert(dialog);
    else g_liveDialogs.erase(dialog);
}

void ReportException(CException* e)
{
    AfxMessageBox(e->GetErrorText(), MB_OK | MB_ICONEXCLAMATION);
}

void ReportUnexpectedException(const char* what)
{
    CString text(u"予期しないエラーが発生しました。");
    if (what && *what) {
        text += u"\n";
        text += CString::FromUtf8(what);
    }
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

} // namespace ui_detail

// --- records -------------------------------------------------------------------------------------

WindowHandle* WindowHandle::Child(int childId) const
{
    for (const auto& child : children) {
        if (child->id == childId) return child.get();
    }
    return nullptr;
}

WindowHandle* WindowHandle::Dialog()
{
    WindowHandle* w = this;
    while (w->parent) w = w->parent;
    return w;
}

// --- run-time classes ----------------------------------------------------------------------------

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
        if (c == base) return TRUE;
    }
    return FALSE;
}

const CRuntimeClass CCmdTarget::classCCmdTarget{"CCmdTarget", nullptr};
const CRuntimeClass* CCmdTarget::GetRuntimeClass() const { return &classCCmdTarget; }
IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)

// --- message maps --------------------------------------------------------------------------------

const MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr}};
    static const MessageMap map{nullptr, entries};
    return &map;
}

const MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code, bool probe)
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->thunk; ++e) {
            if (e->message == WM_COMMAND && e->code == code && id >= e->firstId && id <= e->lastId) {
                if (!probe) e->thunk(this, 0, 0);
                return TRUE;
            }
        }
    }
    return FALSE;
}

const MessageMapEntry* CCmdTarget::FindMessageEntry(UINT message) const
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->thunk; ++e) {
            if (e->message == message) return e;
        }
    }
    return nullptr;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

// --- windows -------------------------------------------------------------------------------------

CWnd::~CWnd()
{
    if (m_hWnd && m_hWnd->permanent == this) m_hWnd->permanent = nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    if (hwnd->permanent) return hwnd->permanent;
    if (!hwnd->temporary) {
        hwnd->temporary = MakeTemporary(hwnd->kind);
        hwnd->temporary->m_hWnd = hwnd;
    }
    return hwnd->temporary.get();
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd) return FALSE;
    m_hWnd = hwnd;
    hwnd->permanent = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    if (hwnd && hwnd->permanent == this) hwnd->permanent = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    if (!parent || !parent->m_hWnd) return FALSE;
    HWND control = parent->m_hWnd->Child(static_cast<int>(id));
    if (!control || control->permanent) return FALSE;
    return Attach(control);
}

CWnd* CWnd::GetDlgItem(int id) const
{
    return m_hWnd ? FromHandle(m_hWnd->Child(id)) : nullptr;
}

int CWnd::GetDlgCtrlID() const { return m_hWnd ? m_hWnd->id : 0; }

CWnd* CWnd::GetParent() const { return m_hWnd ? FromHandle(m_hWnd->parent) : nullptr; }

void CWnd::SetWindowText(LPCTSTR text)
{
    SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u""));
}

void CWnd::GetWindowText(CString& text) const
{
    text = m_hWnd ? m_hWnd->text : CString();
}

int CWnd::GetWindowTextLength() const { return m_hWnd ? m_hWnd->text.GetLength() : 0; }

void CWnd::SetDlgItemText(int id, LPCTSTR text)
{
    if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, CString& text) const
{
    text.Empty();
    if (CWnd* item = GetDlgItem(id)) item->GetWindowText(text);
    return text.GetLength();
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    if (!m_hWnd) return FALSE;
    const BOOL wasDisabled = !m_hWnd->enabled;
    m_hWnd->enabled = enable != FALSE;
    m_hWnd->Changed(Aspect::Enabled);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_hWnd && m_hWnd->enabled; }

BOOL CWnd::ShowWindow(int command)
{
    if (!m_hWnd) return FALSE;
    const BOOL wasVisible = m_hWnd->visible;
    m_hWnd->visible = command != SW_HIDE;
    m_hWnd->Changed(Aspect::Visible);
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd && m_hWnd->visible; }

void CWnd::SetFocus()
{
    if (!m_hWnd || m_hWnd->isDialog) return;
    WindowHandle* dialog = m_hWnd->Dialog();
    dialog->focus = m_hWnd;
    dialog->Changed(Aspect::Focus);
}

void CWnd::SetFont(CFont* font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? static_cast<HFONT>(*font) : nullptr), redraw);
}

HFONT CWnd::GetFontHandle() const { return m_hWnd ? m_hWnd->font : nullptr; }

void CWnd::GetWindowRect(CRect* rect) const
{
    if (rect) *rect = m_hWnd ? m_hWnd->rect : CRect();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* item = GetDlgItem(id);
    return item ? item->SendMessage(message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageW(m_hWnd, message, wParam, lParam);
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return nullptr; }

void CWnd::HtmlHelp(UINT_PTR, UINT) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND) return OnCommand(wParam, lParam);
    const MessageMapEntry* entry = FindMessageEntry(message);
    if (!entry) return FALSE;
    *result = entry->thunk(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowHandle* w = m_hWnd;
    if (!w) return 0;
    switch (message) {
    case WM_SETTEXT:
        w->text = CString(reinterpret_cast<LPCTSTR>(lParam));  // a window's text ends at a NUL
        w->Changed(Aspect::Text);
        return TRUE;
    case WM_GETTEXTLENGTH:
        return w->text.GetLength();
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        w->Changed(Aspect::Font);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_CLOSE:
        if (w->isDialog && w->dialog) w->dialog->PressCloseBox();
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    default:
        break;
    }
    if (w->isDialog) return 0;
    switch (w->kind) {
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
        if (message == BM_GETCHECK) return w->check;
        if (message == BM_SETCHECK) {
            w->check = static_cast<int>(wParam);
            w->Changed(Aspect::Check);
            return 0;
        }
        if (message == BM_CLICK && w->parent && w->parent->dialog) w->parent->dialog->ClickButton(w->id);
        return 0;
    case ControlKind::Edit:
        if (message == EM_SETTABSTOPS) {
            const int count = static_cast<int>(wParam);
            const auto* stops = reinterpret_cast<const int*>(lParam);
            w->tabStops.clear();
            if (count > 0 && !stops) return FALSE;
            if (count > 0) w->tabStops.assign(stops, stops + count);
            w->Changed(Aspect::TabStops);
            return TRUE;
        }
        return 0;
    case ControlKind::ListBox: {
        const int count = static_cast<int>(w->items.size());
        const int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        switch (message) {
        case LB_ADDSTRING:
            w->items.emplace_back(reinterpret_cast<LPCTSTR>(lParam));
            w->Changed(Aspect::Items);
            return count;
        case LB_RESETCONTENT:
            w->items.clear();
            w->curSel = LB_ERR;
            w->Changed(Aspect::Items);
            return 0;
        case LB_GETCOUNT:
            return count;
        case LB_GETCURSEL:
            return w->curSel;
        case LB_SETCURSEL:
            if (index < -1 || index >= count) return LB_ERR;
            w->curSel = index;
            w->Changed(Aspect::Selection);
            return index < 0 ? LB_ERR : index;
        case LB_GETTEXTLEN:
            return index >= 0 && index < count ? w->items[static_cast<size_t>(index)].GetLength() : LB_ERR;
        case LB_GETTEXT: {
            if (index < 0 || index >= count || !lParam) return LB_ERR;
            const CString& item = w->items[static_cast<size_t>(index)];
            auto* out = reinterpret_cast<LPTSTR>(lParam);
            std::copy_n(item.GetString(), item.GetLength() + 1, out);
            return item.GetLength();
        }
        default:
            return 0;
        }
    }
    default:
        return 0;
    }
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->SendMessage(message, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only dialogs take posted messages. The handle may belong to a dialog that closed while
    // another thread held it, so it is looked up before it is touched.
    std::lock_guard lock(g_liveMutex);
    if (!hwnd || !g_liveDialogs.count(hwnd)) return FALSE;
    {
        std::lock_guard queueLock(hwnd->postedMutex);
        hwnd->posted.push_back({message, wParam, lParam});
    }
    ui_detail::NotifyPosted(*hwnd);
    return TRUE;
}

// --- controls ------------------------------------------------------------------------------------

int CButton::GetCheck() const { return const_cast<CButton*>(this)->SendMessage(BM_GETCHECK); }
void CButton::SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }

BOOL CEdit::SetTabStops(int count, const int* tabStops)
{
    return static_cast<BOOL>(SendMessage(EM_SETTABSTOPS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(tabStops)));
}

int CListBox::AddString(LPCTSTR text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
int CListBox::GetCount() const { return static_cast<int>(const_cast<CListBox*>(this)->SendMessage(LB_GETCOUNT)); }
int CListBox::GetCurSel() const { return static_cast<int>(const_cast<CListBox*>(this)->SendMessage(LB_GETCURSEL)); }
int CListBox::SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }

void CListBox::GetText(int index, CString& text) const
{
    text.Empty();
    if (m_hWnd && index >= 0 && index < static_cast<int>(m_hWnd->items.size())) text = m_hWnd->items[static_cast<size_t>(index)];
}

struct HDC__ {};

HDC GetDC(HWND)
{
    static HDC__ screen;
    return &screen;
}

int ReleaseDC(HWND, HDC hdc)
{
    return hdc ? 1 : 0;
}
