// The window layer without a display: message maps and command routing, the dialog manager's
// keys, control messages, data exchange, colours, posted messages and exceptions in handlers.
#include "DialogResponder.h"
#include "FileDialog.h"
#include "Responder.h"
#include "WinApp.h"
#include "WindowHandle.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <system_error>

#include <thread>

namespace {

constexpr UINT IDD_TEST = 9001;
constexpr int IDC_LIST = 2001;
constexpr int IDC_CHECK = 2002;
constexpr int IDC_STATUS = 2003;
constexpr int IDC_THROW = 2004;
constexpr int IDC_EDIT = 2005;
constexpr UINT WM_TEST_POSTED = WM_USER + 100;

const DialogTemplateEntry kTestDialog(IDD_TEST, {
    .caption = u"テスト",
    .cx = 200,
    .cy = 120,
    .font = {u"MS UI Gothic", 9},
    .controls = {
        {-1, ControlKind::Label, u"一覧(&L)：", 5, 5, 60, 8, 0},
        {IDC_LIST, ControlKind::ListBox, nullptr, 5, 15, 100, 40, LBS_NOTIFY | WS_TABSTOP},
        {IDC_CHECK, ControlKind::CheckBox, u"選択(&C)", 5, 60, 80, 10, WS_TABSTOP},
        {IDC_EDIT, ControlKind::Edit, u"初期", 5, 72, 80, 12, WS_TABSTOP | WS_BORDER},
        {IDC_STATUS, ControlKind::Label, u"状態", 110, 15, 80, 8, SS_RIGHT},
        {IDC_THROW, ControlKind::PushButton, u"例外", 110, 30, 50, 14, WS_TABSTOP},
        {IDOK, ControlKind::DefPushButton, u"OK", 40, 100, 50, 14, WS_TABSTOP},
        {IDCANCEL, ControlKind::PushButton, u"キャンセル", 95, 100, 50, 14, WS_TABSTOP},
        {ID_HELP, ControlKind::PushButton, u"ヘルプ(&H)", 150, 100, 45, 14, WS_TABSTOP},
    }});

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_TEST) {}

    int m_nIndex = -1;
    int m_nChecked = 0;
    int m_nClicks = 0;
    int m_nDoubleClicks = 0;
    std::vector<WPARAM> m_posted;
    std::function<void()> m_throw;
    bool m_bCloseOnInit = false;
    CStatic m_status;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_LBIndex(pDX, IDC_LIST, m_nIndex);
        DDX_Check(pDX, IDC_CHECK, m_nChecked);
        DDX_Control(pDX, IDC_STATUS, m_status);
    }
    BOOL OnInitDialog() override
    {
        auto* list = static_cast<CListBox*>(GetDlgItem(IDC_LIST));
        list->AddString(u"一");
        list->AddString(u"二");
        list->AddString(u"三");
        CDialog::OnInitDialog();
        if (m_bCloseOnInit) {
            PostMessage(WM_CLOSE);
            return FALSE;
        }
        return TRUE;
    }
    afx_msg void OnCheck() { ++m_nClicks; }
    afx_msg void OnDouble() { ++m_nDoubleClicks; OnOK(); }
    afx_msg void OnThrow() { m_throw(); }
    afx_msg LRESULT OnPosted(WPARAM w, LPARAM)
    {
        m_posted.push_back(w);
        if (w == 1) m_throw();
        return 0;
    }
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
    {
        HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
        if (nCtlColor == CTLCOLOR_STATIC && pWnd->GetSafeHwnd() == m_status.GetSafeHwnd()) pDC->SetTextColor(RGB(255, 0, 0));
        return brush;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_BN_CLICKED(IDC_CHECK, &CTestDlg::OnCheck)
    ON_LBN_DBLCLK(IDC_LIST, &CTestDlg::OnDouble)
    ON_BN_CLICKED(IDC_THROW, &CTestDlg::OnThrow)
    ON_MESSAGE(WM_TEST_POSTED, &CTestDlg::OnPosted)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// An application that serves the help command, as the program's does.
class CHelpApp : public CWinApp {
public:
    CHelpApp() : CWinApp(u"Fenwrap") {}
    int m_nHelp = 0;
    afx_msg void OnAppHelp() { ++m_nHelp; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHelpApp, CWinApp)
    ON_COMMAND(ID_HELP, &CHelpApp::OnAppHelp)
END_MESSAGE_MAP()

// Runs the test dialog with action as its user.
INT_PTR RunDialog(CTestDlg& dlg, std::function<INT_PTR(CDialog&)> action)
{
    ScriptedDialogResponder dialogs;
    dialogs.Answer(std::move(action));
    return dlg.DoModal();
}

} // namespace

TEST(DialogManager, OkRunsDataExchangeAndCancelDoesNot)
{
    CTestDlg dlg;
    EXPECT_EQ(RunDialog(dlg, [](CDialog& d) {
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_GETCURSEL), LB_ERR) << "index -1 selects nothing";
        d.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, 2);
        d.ClickButton(IDC_CHECK);
        return PressButton(d, IDOK);
    }), IDOK);
    EXPECT_EQ(dlg.m_nIndex, 2);
    EXPECT_EQ(dlg.m_nChecked, BST_CHECKED);
    EXPECT_EQ(dlg.m_nClicks, 1);

    CTestDlg cancelled;
    EXPECT_EQ(RunDialog(cancelled, [](CDialog& d) {
        d.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, 1);
        d.PressEscape();
        return 0;
    }), IDCANCEL);
    EXPECT_EQ(cancelled.m_nIndex, -1);
}

TEST(DialogManager, DoubleClickGoesThroughTheMessageMap)
{
    CTestDlg dlg;
    EXPECT_EQ(RunDialog(dlg, [](CDialog& d) {
        d.DoubleClickListEntry(IDC_LIST, 1);
        return 0;
    }), IDOK);
    EXPECT_EQ(dlg.m_nDoubleClicks, 1);
    EXPECT_EQ(dlg.m_nIndex, 1);
}

TEST(DialogManager, EnterPressesTheFocusedButtonElseTheDefault)
{
    CTestDlg dlg;
    EXPECT_EQ(RunDialog(dlg, [](CDialog& d) {
        EXPECT_EQ(d.GetFocusedControl()->GetDlgCtrlID(), IDC_LIST) << "first tab stop";
        d.GetDlgItem(IDCANCEL)->SetFocus();
        d.PressEnter();
        return 0;
    }), IDCANCEL);

    CTestDlg other;
    EXPECT_EQ(RunDialog(other, [](CDialog& d) {
        d.GetDlgItem(IDC_EDIT)->SetFocus();
        d.PressEnter();
        return 0;
    }), IDOK);
}

TEST(DialogManager, DisabledButtonsAndCancelBlockTheirKeys)
{
    CTestDlg dlg;
    EXPECT_EQ(RunDialog(dlg, [](CDialog& d) {
        d.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
        d.PressEscape();
        d.PressCloseBox();
        EXPECT_FALSE(d.IsEnded()) << "a disabled Cancel keeps the dialog open";
        d.GetDlgItem(IDOK)->EnableWindow(FALSE);
        d.PressEnter();
        d.ClickButton(IDOK);
        EXPECT_FALSE(d.IsEnded());
        EXPECT_TRUE(d.GetDlgItem(IDOK)->EnableWindow(TRUE)) << "was disabled";
        return PressButton(d, IDOK);
    }), IDOK);
}

TEST(DialogManager, HelpButtonShowsOnlyWhenTheApplicationServesHelp)
{
    {
        CTestDlg dlg;
        RunDialog(dlg, [](CDialog& d) {
            EXPECT_FALSE(d.GetDlgItem(ID_HELP)->IsWindowVisible());
            return IDCANCEL;
        });
    }
    CHelpApp app;
    CTestDlg dlg;
    RunDialog(dlg, [&](CDialog& d) {
        EXPECT_TRUE(d.GetDlgItem(ID_HELP)->IsWindowVisible());
        d.ClickButton(ID_HELP);
        EXPECT_FALSE(d.IsEnded());
        return IDCANCEL;
    });
    EXPECT_EQ(app.m_nHelp, 1) << "the dialog passed the command on to the application";

    RunDialog(dlg, [](CDialog& d) {
        d.PressHelpKey();
        return IDCANCEL;
    });
    EXPECT_EQ(app.m_nHelp, 2) << "F1";
}

TEST(DialogManager, CloseRequestedWhileOpeningCancelsBeforeTheUserSeesIt)
{
    ScriptedDialogResponder dialogs;
    CTestDlg dlg;
    dlg.m_bCloseOnInit = true;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialogs.Dialogs().empty()) << "never handed to the user";
    EXPECT_EQ(dlg.m_nIndex, -1);
}

TEST(DialogManager, ExceptionLeavingAHandlerIsReportedAndTheDialogGoesOn)
{
    ScriptedResponder boxes;
    CTestDlg dlg;
    int thrown = 0;
    dlg.m_throw = [&] {
        ++thrown;
        if (thrown == 1) AfxThrowFileException(CFileException::diskFull, 28, u"a.woff");
        if (thrown == 2) AfxThrowMemoryException();
        throw std::bad_alloc();
    };
    EXPECT_EQ(RunDialog(dlg, [](CDialog& d) {
        d.ClickButton(IDC_THROW);
        d.ClickButton(IDC_THROW);
        d.ClickButton(IDC_THROW);
        EXPECT_FALSE(d.IsEnded());
        return PressButton(d, IDOK);
    }), IDOK);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, CFileException(CFileException::diskFull, 28, u"a.woff").GetErrorText().ToUtf8());
    EXPECT_EQ(boxes.Boxes()[1].text, "メモリが不足しています。");
    EXPECT_EQ(boxes.Boxes()[2].text, "メモリが不足しています。");
}

TEST(DialogManager, AnyOtherExceptionLeavingAnyHandlerIsReportedInAnErrorBox)
{
    ScriptedResponder boxes;
    CTestDlg dlg;
    int thrown = 0;
    dlg.m_throw = [&] {
        ++thrown;
        if (thrown == 1) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread");
        throw 42;
    };
    // A command, then a posted message whose handler fails the same way.
    EXPECT_EQ(RunDialog(dlg, [&](CDialog& d) {
        d.ClickButton(IDC_THROW);
        d.ClickButton(IDC_THROW);
        dlg.m_throw = [] { throw std::runtime_error("posted"); };
        d.PostMessage(WM_TEST_POSTED, 1);
        d.ClickButton(IDC_CHECK);  // the dialog goes on, and delivers what was posted
        EXPECT_FALSE(d.IsEnded());
        return PressButton(d, IDOK);
    }), IDOK);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, std::string("予期しないエラーが発生しました。\n") +
                                         std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                                           "thread").what());
    EXPECT_EQ(boxes.Boxes()[1].text, "予期しないエラーが発生しました。");
    EXPECT_EQ(boxes.Boxes()[2].text, "予期しないエラーが発生しました。\nposted");
    for (const auto& box : boxes.Boxes()) EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(dlg.m_nClicks, 1);
}

TEST(DialogManager, CtlColorSetsOneControlsTextColour)
{
    CTestDlg dlg;
    RunDialog(dlg, [&](CDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_STATUS), &dlg.m_status) << "bound by DDX_Control";
        EXPECT_EQ(dlg.m_status.m_hWnd->textColor, std::optional<COLORREF>(RGB(255, 0, 0)));
        EXPECT_FALSE(d.GetDlgItem(IDC_CHECK)->m_hWnd->textColor.has_value());
        EXPECT_FALSE(dlg.m_status.m_hWnd->background.has_value());
        return IDCANCEL;
    });
    EXPECT_EQ(dlg.m_status.m_hWnd, nullptr) << "unbound when the dialog is gone";
}

TEST(DialogManager, PostedMessagesArriveFromOtherThreadsAndNotAfterClosing)
{
    CTestDlg dlg;
    HWND handle = nullptr;
    RunDialog(dlg, [&](CDialog& d) {
        handle = d.m_hWnd;
        std::thread worker([&] { EXPECT_TRUE(::PostMessageW(handle, WM_TEST_POSTED, 7, 0)); });
        EXPECT_EQ(d.PumpPostedMessages(10000), 1);
        worker.join();
        EXPECT_EQ(d.PumpPostedMessages(0), 0);
        ::PostMessageW(handle, WM_TEST_POSTED, 9, 0);
        d.ClickButton(IDC_CHECK);  // any dispatch also delivers what was posted
        return IDCANCEL;
    });
    EXPECT_EQ(dlg.m_posted, (std::vector<WPARAM>{7, 9}));
    EXPECT_FALSE(::PostMessageW(handle, WM_TEST_POSTED, 8, 0));
}

TEST(DialogManager, ControlMessagesKeepTheirState)
{
    CTestDlg dlg;
    RunDialog(dlg, [](CDialog& d) {
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_GETCOUNT), 3);
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, 3), LB_ERR);
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, 0), 0);
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR);
        EXPECT_EQ(d.SendDlgItemMessage(IDC_LIST, LB_GETCURSEL), LB_ERR);
        CString text;
        static_cast<CListBox*>(d.GetDlgItem(IDC_LIST))->GetText(1, text);
        EXPECT_EQ(text, u"二");
        d.SendDlgItemMessage(IDC_CHECK, BM_SETCHECK, BST_CHECKED);
        EXPECT_EQ(d.SendDlgItemMessage(IDC_CHECK, BM_GETCHECK), BST_CHECKED);
        d.GetDlgItemText(IDC_EDIT, text);
        EXPECT_EQ(text, u"初期");
        d.SetDlgItemText(IDC_EDIT, u"新しい");
        EXPECT_EQ(d.GetDlgItem(IDC_EDIT)->GetWindowTextLength(), 3);
        EXPECT_EQ(d.GetDlgItem(9999), nullptr);
        return IDCANCEL;
    });
}

TEST(DialogManager, DialogsWithoutTemplateOrDisplayFailSafely)
{
    CDialog missing(9999);
    ScriptedDialogResponder dialogs;
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_TRUE(dialogs.Dialogs().empty());

    // No presenter and no window toolkit: the dialog is cancelled rather than left hanging.
    const DialogPresenter saved = SetDialogPresenter(nullptr);
    CTestDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    SetDialogPresenter(saved);
}

TEST(DialogManager, MapDialogRectUsesTheFontsBaseUnits)
{
    CTestDlg dlg;
    RunDialog(dlg, [](CDialog& d) {
        CRect r(4, 8, 10, 16);
        d.MapDialogRect(&r);
        const HWND w = d.m_hWnd;
        EXPECT_EQ(r, CRect(w->baseUnitX, w->baseUnitY, (10 * w->baseUnitX + 2) / 4, 2 * w->baseUnitY));
        return IDCANCEL;
    });
}

TEST(FileDialogFilter, PairsUpToTheDoubleBar)
{
    const auto pairs = ParseFileFilter(CString(u"XMLファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||ignored|x|"));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].description, u"XMLファイル (*.xml)");
    EXPECT_EQ(pairs[0].pattern, u"*.xml");
    EXPECT_EQ(pairs[1].pattern, u"*.*");
    EXPECT_TRUE(ParseFileFilter(CString()).empty());
    EXPECT_EQ(ApplyDefaultExtension(CString(u"/a.b/name"), CString(u"xml")), u"/a.b/name.xml");
    EXPECT_EQ(ApplyDefaultExtension(CString(u"/a/name.txt"), CString(u"xml")), u"/a/name.txt");
    EXPECT_EQ(ApplyDefaultExtension(CString(u"/a/name"), CString()), u"/a/name");
}
