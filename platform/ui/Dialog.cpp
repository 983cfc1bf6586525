#include "Dialog.h"

#include "WinApp.h"
#include "WindowHandle.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace ui_detail {
void SetLive(const WindowHandle* dialog, bool live);
}

namespace {

std::mutex g_presenterMutex;
DialogPresenter g_presenter;


UINT CtlColorKind(const WindowHandle& w)
{
    switch (w.kind) {
    case ControlKind::Edit:
        // A read-only or disabled edit asks for its colours as a label does.
        return (w.style & ES_READONLY) || !w.enabled ? CTLCOLOR_STATIC : CTLCOLOR_EDIT;
    case ControlKind::ListBox:
        return CTLCOLOR_LISTBOX;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
        return CTLCOLOR_BTN;
    default:
        return CTLCOLOR_STATIC;
    }
}

int MulDiv4(int value, int base) { return (value * base + (value >= 0 ? 2 : -2)) / 4; }
int MulDiv8(int value, int base) { return (value * base + (value >= 0 ? 4 : -4)) / 8; }

int DeliverPosted(CDialog& dialog)
{
    int delivered = 0;
    WindowHandle* w = dialog.m_hWnd;
    while (w && !dialog.IsEnded()) {
        PostedMessage m;
        {
            std::lock_guard lock(w->postedMutex);
            if (w->posted.empty()) break;
            m = w->posted.front();
            w->posted.pop_front();
        }
        ++delivered;
        ui_detail::Guarded([&] { dialog.SendMessage(m.message, m.wParam, m.lParam); });
        dialog.ApplyControlColors();
    }
    return delivered;
}

} // namespace

DialogPresenter CurrentDialogPresenter()
{
    std::lock_guard lock(g_presenterMutex);
    return g_presenter;
}

DialogPresenter SetDialogPresenter(DialogPresenter presenter)
{
    std::lock_guard lock(g_presenterMutex);
    DialogPresenter previous = std::move(g_presenter);
    g_presenter = std::move(presenter);
    return previous;
}

// --- data exchange -------------------------------------------------------------------------------

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.m_hWnd) return;
    control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}

void DDX_LBIndex(CDataExchange* pDX, int id, int& index)
{
    CWnd* list = pDX->m_pDlgWnd->GetDlgItem(id);
    if (!list) return;
    if (pDX->m_bSaveAndValidate) index = static_cast<int>(list->SendMessage(LB_GETCURSEL));
    else list->SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index));
}

void DDX_Text(CDataExchange* pDX, int id, CString& text)
{
    CWnd* item = pDX->m_pDlgWnd->GetDlgItem(id);
    if (!item) return;
    if (pDX->m_bSaveAndValidate) item->GetWindowText(text);
    else item->SetWindowText(text);
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    CWnd* item = pDX->m_pDlgWnd->GetDlgItem(id);
    if (!item) return;
    if (pDX->m_bSaveAndValidate) value = static_cast<int>(item->SendMessage(BM_GETCHECK));
    else item->SendMessage(BM_SETCHECK, static_cast<WPARAM>(value));
}

// --- dialogs -------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog()
{
    DestroyWindows();
}

BOOL CDialog::OnCmdMsg(UINT id, UINT code, bool probe)
{
    if (CWnd::OnCmdMsg(id, code, probe)) return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code, probe);
}

bool CDialog::HandlesCommand(UINT id) { return OnCmdMsg(id, BN_CLICKED, true); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result)
{
    if (!m_hWnd || m_bEnded) return;
    m_bEnded = true;
    m_nModalResult = result;
    if (m_hWnd->peer) ui_detail::EndOnScreen(*m_hWnd, result);
}

void CDialog::MapDialogRect(CRect* rect) const
{
    if (!rect) return;
    const int bx = m_hWnd ? m_hWnd->baseUnitX : 6;
    const int by = m_hWnd ? m_hWnd->baseUnitY : 12;
    rect->left = MulDiv4(rect->left, bx);
    rect->right = MulDiv4(rect->right, bx);
    rect->top = MulDiv8(rect->top, by);
    rect->bottom = MulDiv8(rect->bottom, by);
}

bool CDialog::CreateWindows(bool onScreen)
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nIDHelp);
    if (!dialogTemplate) return false;
    auto root = std::make_unique<WindowHandle>();
    root->isDialog = true;
    root->dialog = this;
    root->text = CString(dialogTemplate->caption);
    root->style = dialogTemplate->style;
    root->exStyle = dialogTemplate->exStyle;
    root->permanent = this;
    if (onScreen) ui_detail::MeasureDialogFont(*root, *dialogTemplate);
    m_hWnd = root.get();
    CRect client(0, 0, dialogTemplate->cx, dialogTemplate->cy);
    MapDialogRect(&client);
    root->rect = client;
    for (const ControlTemplate& c : dialogTemplate->controls) {
        auto child = std::make_unique<WindowHandle>();
        child->parent = root.get();
        child->id = c.id;
        child->kind = c.kind;
        child->style = c.style;
        child->exStyle = c.exStyle;
        child->text = CString(c.text);
        child->enabled = !(c.style & WS_DISABLED);
        CRect r(c.x, c.y, c.x + c.cx, c.y + c.cy);
        MapDialogRect(&r);
        child->rect = r;
        root->children.push_back(std::move(child));
    }
    root.release();
    if (onScreen && !ui_detail::CreateOnScreen(*m_hWnd, *dialogTemplate)) {
        DestroyWindows();
        return false;
    }
    // Only now may other threads post to it: its widgets exist.
    ui_detail::SetLive(m_hWnd, true);
    return true;
}

void CDialog::DestroyWindows()
{
    WindowHandle* root = m_hWnd;
    if (!root) return;
    ui_detail::SetLive(root, false);
    for (auto& child : root->children) {
        if (child->permanent) child->permanent->m_hWnd = nullptr;
        child->permanent = nullptr;
        child->peer.reset();
    }
    root->peer.reset();
    root->permanent = nullptr;
    m_hWnd = nullptr;
    delete root;
}

INT_PTR CDialog::DoModal()
{
    const DialogPresenter presenter = CurrentDialogPresenter();
    const bool onScreen = !presenter && ui_detail::HaveToolkit();
    m_bEnded = false;
    m_nModalResult = -1;
    if (m_hWnd || !CreateWindows(onScreen)) return -1;

    // A help button shows only when something on the command route answers it.
    if (WindowHandle* help = m_hWnd->Child(ID_HELP); help && !HandlesCommand(ID_HELP)) {
        help->visible = false;
        help->Changed(Aspect::Visible);
    }
    BOOL focusFirst = TRUE;
    ui_detail::Guarded([&] { focusFirst = static_cast<BOOL>(SendMessage(WM_INITDIALOG)); });
    if (focusFirst && m_hWnd) {
        for (auto& child : m_hWnd->children) {
            if ((child->style & WS_TABSTOP) && child->visible && child->enabled) {
                CWnd::FromHandle(child.get())->SetFocus();
                break;
            }
        }
    }
    ApplyControlColors();
    if (!onScreen) DeliverPosted(*this);

    INT_PTR result = IDCANCEL;
    if (m_bEnded) {
        result = m_nModalResult;
    } else if (presenter) {
        const INT_PTR answer = presenter(*this);
        result = m_bEnded ? m_nModalResult : answer;
    } else if (onScreen) {
        result = ui_detail::RunOnScreen(*m_hWnd);
    } else {
        std::fprintf(stderr, "Fenwrap: no display for dialog %u; cancelled\n", m_nIDHelp);
    }
    ui_detail::Guarded([&] { SendMessage(WM_DESTROY); });
    DestroyWindows();
    return result;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog();
    return CWnd::DefWindowProc(message, wParam, lParam);
}

void CDialog::RouteCommand(int id, UINT code)
{
    if (!m_hWnd || m_bEnded) return;
    const WindowHandle* control = m_hWnd->Child(id);
    ui_detail::Guarded([&] {
        SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)),
                    reinterpret_cast<LPARAM>(control));
    });
    if (!m_hWnd) return;
    ApplyControlColors();
    if (!m_hWnd->peer) DeliverPosted(*this);
}

void CDialog::ApplyControlColors()
{
    if (!m_hWnd || m_bEnded) return;
    for (auto& child : m_hWnd->children) {
        CDC dc;
        dc.m_logPixelsY = m_hWnd->logPixelsY;
        CtlColorArgs args{&dc, CWnd::FromHandle(child.get()), CtlColorKind(*child)};
        HBRUSH brush = nullptr;
        ui_detail::Guarded([&] { brush = reinterpret_cast<HBRUSH>(SendMessage(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&args))); });
        std::optional<COLORREF> text;
        if (dc.m_bTextColorSet) text = dc.m_textColor;
        std::optional<COLORREF> background;
        if (brush) background = brush->color;
        if (text != child->textColor || background != child->background) {
            child->textColor = text;
            child->background = background;
            child->Changed(Aspect::Colors);
        }
    }
}

void CDialog::PressEscape()
{
    if (!m_hWnd) return;
    if (const WindowHandle* cancel = m_hWnd->Child(IDCANCEL); cancel && !cancel->enabled) return;
    RouteCommand(IDCANCEL, BN_CLICKED);
}

void CDialog::PressCloseBox() { PressEscape(); }

void CDialog::PressHelpKey()
{
    CWinApp* app = AfxGetApp();
    auto* target = app ? dynamic_cast<CDialog*>(app->m_pMainWnd) : nullptr;
    if (!target || !target->m_hWnd) target = this;
    target->RouteCommand(ID_HELP, BN_CLICKED);
}

void CDialog::PressEnter()
{
    if (!m_hWnd) return;
    const WindowHandle* focus = m_hWnd->focus;
    if (focus && focus->IsPushButton() && focus->enabled && focus->visible) {
        RouteCommand(focus->id, BN_CLICKED);
        return;
    }
    int id = IDOK;
    for (const auto& child : m_hWnd->children) {
        if (child->kind == ControlKind::DefPushButton) {
            id = child->id;
            break;
        }
    }
    if (const WindowHandle* button = m_hWnd->Child(id); button && (!button->enabled || !button->visible)) return;
    RouteCommand(id, BN_CLICKED);
}

void CDialog::ClickButton(int id)
{
    if (!m_hWnd) return;
    WindowHandle* control = m_hWnd->Child(id);
    if (control && (!control->enabled || !control->visible)) return;
    if (control && control->kind == ControlKind::CheckBox) {
        control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        control->Changed(Aspect::Check);
    }
    RouteCommand(id, BN_CLICKED);
}

void CDialog::DoubleClickListEntry(int id, int index)
{
    if (!m_hWnd) return;
    WindowHandle* list = m_hWnd->Child(id);
    if (!list || list->kind != ControlKind::ListBox || !list->enabled) return;
    if (index < 0 || index >= static_cast<int>(list->items.size())) return;
    list->curSel = index;
    list->Changed(Aspect::Selection);
    if (!(list->style & LBS_NOTIFY)) return;
    RouteCommand(id, LBN_SELCHANGE);
    RouteCommand(id, LBN_DBLCLK);
}

int CDialog::PumpPostedMessages(int waitMs)
{
    if (!m_hWnd || m_hWnd->peer) return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        {
            std::lock_guard lock(m_hWnd->postedMutex);
            if (!m_hWnd->posted.empty()) break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return DeliverPosted(*this);
}

CWnd* CDialog::GetFocusedControl() const
{
    return m_hWnd ? CWnd::FromHandle(m_hWnd->focus) : nullptr;
}
