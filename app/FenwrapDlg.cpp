#include "FenwrapDlg.h"

#include "AboutDlg.h"
#include "AppSupport.h"
#include "FileDialog.h"
#include "HtmlView.h"
#include "MakerSite.h"
#include "MessageBox.h"
#include "Settings.h"
#include "StringTable.h"
#include "VersionInfo.h"
#include "WinApp.h"
#include "Woff2Step.h"
#include "resource.h"

#include <cstdlib>
#include <ctime>

namespace {

constexpr const char16_t* kAllFilesFilter = u"すべてのファイル (*.*)|*.*||";
constexpr const char16_t* kMetadataFilter =
    u"XMLファイル (*.xml)|*.xml|テキストファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||";
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
constexpr DWORD kSaveFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;

struct CheckOption {
    const char16_t* name;
    int id;
};

} // namespace

CFenwrapDlg::CFenwrapDlg(CWnd*) : CDialog(IDD_FENWRAP_DIALOG, nullptr)
{
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : LoadIconResource(IDR_MAINFRAME);
}

CFenwrapDlg::~CFenwrapDlg() = default;

void CFenwrapDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATIC_STATUS, m_staticStatus);
}

BEGIN_MESSAGE_MAP(CFenwrapDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_WOFF2_FINISHED, &CFenwrapDlg::OnWOFF2Finished)
    ON_BN_CLICKED(IDOK, &CFenwrapDlg::OnBnClickedOk)
    ON_BN_CLICKED(IDC_BUTTON_BROWSE_SRC, &CFenwrapDlg::OnBnClickedBrowseSrc)
    ON_BN_CLICKED(IDC_BUTTON_BROWSE_DST, &CFenwrapDlg::OnBnClickedBrowseDst)
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_BUTTON_BROWSE_META, &CFenwrapDlg::OnBnClickedBrowseMeta)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

BOOL CFenwrapDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        AfxLoadString(IDS_ABOUTBOX, strAboutMenu);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_editSrc.SubclassDlgItem(IDC_EDIT_SRC, this);
    m_editDst.SubclassDlgItem(IDC_EDIT_DST, this);
    m_editMeta.SubclassDlgItem(IDC_EDIT_METADATA_FILE, this);

    {
        // Room for any path the system allows: a program installed deep in the folder tree
        // still finds its own file, and so its version.
        constexpr DWORD kPathChars = 4096;
        WCHAR path[kPathChars];
        const DWORD length = GetModuleFileNameW(AfxGetInstanceHandle(), path, kPathChars);
        if (length == 0 || length >= kPathChars) path[0] = 0;
        CVersionInfo versionInfo;
        versionInfo.Load(path);
        const CString version = versionInfo.GetFileVersionString();
        if (!version.IsEmpty()) {
            CString caption;
            GetWindowText(caption);
            SetWindowText(caption + u" Version" + version);
        }
    }

    CreateAdvertisementPanel();

    SetDlgItemText(IDC_STATIC_STATUS, u"");
    LoadOptions();
    m_editSrc.SetWindowText(m_strInitialFile);
    return TRUE;
}

void CFenwrapDlg::CreateAdvertisementPanel()
{
    CRect rect;
    if (CWnd* area = GetDlgItem(IDC_STATIC_AD_AREA)) area->GetWindowRect(&rect);  // already in client coordinates
    auto* view = static_cast<CHtmlView*>(CHtmlView::CreateObject());
    // The view belongs to this window from here on, created or not.
    view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect, this, 0, nullptr);
    view->SendMessage(WM_INITIALUPDATE);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    view->Refresh();
    CString address;
    address.Format(kAdPageFormat, std::rand() % 4);
    view->Navigate(address, 0, nullptr, nullptr, nullptr, 0);
}

namespace {

// The seven remembered options, in the order they are read and written: a check box stored as
// a DWORD, or a field stored as a string.
struct StoredOption {
    const char16_t* name;
    int id;
    bool isCheck;
};
constexpr StoredOption kStoredOptions[] = {
    {u"bAddMetaData", IDC_CHECK_METADATA, true},
    {u"MetaDataFilePath", IDC_EDIT_METADATA_FILE, false},
    {u"bMakeWOFF2", IDC_CHECK_WOFF2, true},
    {u"bMakeEOTFile", IDC_CHECK_EOT, true},
    {u"bMakeSampleHtml", IDC_CHECK_SAMPLE_HTML, true},
    {u"bAddSrcFontToHtml", IDC_CHECK_ADD_SRC_FONT, true},
    {u"SampleString", IDC_EDIT_SAMPLE_STRING, false},
};

} // namespace

void CFenwrapDlg::LoadOptions()
{
    for (const auto& option : kStoredOptions) {
        if (option.isCheck) {
            DWORD value = 0;
            GetRegDWORD(option.name, &value);
            if (value != 0) SendDlgItemMessage(option.id, BM_SETCHECK, BST_CHECKED);
        } else {
            CString text;
            GetRegString(option.name, text);
            SetDlgItemText(option.id, text);
        }
    }
}

void CFenwrapDlg::SaveOptions()
{
    for (const auto& option : kStoredOptions) {
        if (option.isCheck) {
            SetRegDWORD(option.name, SendDlgItemMessage(option.id, BM_GETCHECK) == BST_CHECKED ? 1 : 0);
        } else {
            CString text;
            GetDlgItemText(option.id, text);
            SetRegString(option.name, text);
        }
    }
}

void CFenwrapDlg::OnDestroy()
{
    SaveOptions();
    CDialog::OnDestroy();
}

void CFenwrapDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

void CFenwrapDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - cxIcon + 1) / 2;
    const int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CFenwrapDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CFenwrapDlg::Browse(CWnd& field, BOOL open, LPCTSTR defaultExt, DWORD flags, LPCTSTR filter, LPCTSTR title)
{
    CFileDialog dialog(open, defaultExt, nullptr, flags, filter, nullptr, 0, TRUE);
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() == IDOK) field.SetWindowText(dialog.GetPathName());
}

void CFenwrapDlg::OnBnClickedBrowseSrc()
{
    Browse(m_editSrc, TRUE, nullptr, kOpenFlags, kAllFilesFilter, u"変換前ファイル");
}

void CFenwrapDlg::OnBnClickedBrowseDst()
{
    Browse(m_editDst, FALSE, nullptr, kSaveFlags, kAllFilesFilter, u"変換後ファイル");
}

void CFenwrapDlg::OnBnClickedBrowseMeta()
{
    Browse(m_editMeta, FALSE, u"xml", kSaveFlags, kMetadataFilter, u"メタデータファイル");
}

HBRUSH CFenwrapDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC && pWnd && pWnd->GetSafeHwnd() == m_staticStatus.GetSafeHwnd())
        pDC->SetTextColor(RGB(255, 0, 0));
    return hbr;
}

void CFenwrapDlg::HtmlHelp(UINT_PTR data, UINT command)
{
    CWaitCursor wait;
    CWinApp* app = AfxGetApp();
    const LPCTSTR helpFile = app ? app->m_pszHelpFilePath : nullptr;
    if (!AfxHtmlHelp(GetDesktopWindow(), helpFile, command, data)) {
        CString message;
        AfxLoadString(AFX_IDP_FAILED_TO_LAUNCH_HELP, message);
        AfxMessageBox(message, MB_OK);
    }
}
