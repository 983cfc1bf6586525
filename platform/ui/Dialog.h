// Modal dialogs built from the templates in res/.
//
// DoModal builds the dialog's windows from its template, runs OnInitDialog and then either
// shows the dialog on screen or, when a dialog presenter is installed, hands the initialised
// dialog to the presenter instead. Tests, the engine's tests and the fuzzers answer dialogs
// this way, with no display and no toolkit application.
#pragma once

#include "Controls.h"
#include "DialogTemplate.h"
#include "Window.h"

#include <functional>

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Into the dialog: selects entry index (-1: none). Out of it: the selected entry, or LB_ERR.
void DDX_LBIndex(CDataExchange* pDX, int id, int& index);
void DDX_Text(CDataExchange* pDX, int id, CString& text);
void DDX_Check(CDataExchange* pDX, int id, int& value);

// Runs a dialog instead of showing it. It gets the dialog after OnInitDialog, may read and
// change its controls and members, and ends it (ClickButton, PressEscape...). DoModal returns
// the dialog's result when the presenter ended it, otherwise what the presenter returned.
using DialogPresenter = std::function<INT_PTR(CDialog& dialog)>;

// Installs presenter and returns the one it replaces; an empty one restores showing on screen.
DialogPresenter SetDialogPresenter(DialogPresenter presenter);
DialogPresenter CurrentDialogPresenter();

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    static const CRuntimeClass classCDialog;
    const CRuntimeClass* GetRuntimeClass() const override;

    virtual INT_PTR DoModal();
    void EndDialog(int result);
    UINT GetTemplateId() const { return m_nIDHelp; }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // Dialog units to pixels of this dialog's font.
    void MapDialogRect(CRect* rect) const;

    // The dialog manager's keys and the close box, also used by presenters: Esc and the close
    // box send IDCANCEL unless a disabled "Cancel" button forbids it; Enter clicks the focused
    // push button, else the default button.
    void PressEscape();
    void PressEnter();
    void PressCloseBox();
    // F1 without Shift, Ctrl or Alt: the help command, sent to the main window when there is one.
    void PressHelpKey();
    // A click on control id as the user would make it: nothing when it is disabled or hidden.
    void ClickButton(int id);
    void DoubleClickListEntry(int id, int index);
    BOOL IsEnded() const { return m_bEnded; }
    INT_PTR GetResult() const { return m_nModalResult; }
    // Without a display: delivers the messages other threads posted, waiting up to waitMs for
    // the first one; returns how many were delivered. On screen the event loop delivers them.
    int PumpPostedMessages(int waitMs = 0);
    // The control with the focus, or nullptr.
    CWnd* GetFocusedControl() const;
    // Moves the keyboard focus to control, as the dialog manager's next-control message does.
    void GotoDlgCtrl(CWnd* control)
    {
        if (control) control->SetFocus();
    }

    // Parts of the dialog manager the layer's window glue calls.
    void RouteCommand(int id, UINT code);
    void ApplyControlColors();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT id, UINT code, bool probe = false) override;

    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    bool CreateWindows(bool onScreen);
    void DestroyWindows();
    bool HandlesCommand(UINT id);

    bool m_bEnded = false;
    INT_PTR m_nModalResult = -1;
};
