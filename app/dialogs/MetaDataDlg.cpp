#include "MetaDataDlg.h"

#include "CodePage.h"
#include "File.h"
#include "FileDialog.h"
#include "FileErrors.h"
#include "MetaDataViewer.h"

#include <climits>
#include <cstring>
#include <vector>

IMPLEMENT_DYNAMIC(CMetaDataDlg, CDialog)

BEGIN_MESSAGE_MAP(CMetaDataDlg, CDialog)
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(IDC_BUTTON_SAVE_METADATA, &CMetaDataDlg::OnBnClickedSaveMetaData)
END_MESSAGE_MAP()

namespace {

// UTF-16 units from byte pairs in either order, up to the first NUL unit; an odd last byte is
// left out.
CString Utf16UpToNul(const BYTE* data, UINT length, bool bigEndian)
{
    const size_t high = bigEndian ? 0 : 1;
    const auto unit = [&](size_t i) {
        return static_cast<char16_t>(data[2 * i + 1 - high] | (data[2 * i + high] << 8));
    };
    size_t units = 0;
    while (units < length / 2 && unit(units) != 0) ++units;
    std::u16string text(units, u'\0');
    for (size_t i = 0; i < units; ++i) text[i] = unit(i);
    return CString(std::move(text));
}

// UTF-8 up to the first NUL byte, which is where the first NUL character would stand.
CString Utf8UpToNul(const BYTE* data, UINT length)
{
    const auto* nul = static_cast<const BYTE*>(std::memchr(data, 0, length));
    const UINT bytes = nul ? static_cast<UINT>(nul - data) : length;
    if (bytes == 0 || bytes > static_cast<UINT>(INT_MAX)) return CString();
    // Each UTF-8 byte gives at most one UTF-16 unit.
    std::vector<char16_t> buffer(bytes);
    const int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCSTR>(data), static_cast<int>(bytes),
                                          buffer.data(), static_cast<int>(bytes));
    return units > 0 ? CString(buffer.data(), units) : CString();
}

} // namespace

CString DecodeMetaDataText(const BYTE* data, UINT length)
{
    if (!data || length < 2) return CString();
    const BYTE b0 = data[0];
    const BYTE b1 = data[1];
    if (b0 == 0xFF && b1 == 0xFE) return Utf16UpToNul(data, length, false);
    if ((b0 == 0xFE && b1 == 0xFF) || b0 == 0x00) return Utf16UpToNul(data, length, true);
    if (b1 == 0x00) return Utf16UpToNul(data, length, false);
    return Utf8UpToNul(data, length);
}

void InstallMetaDataViewer()
{
    SetMetaDataViewer([](const BYTE* data, UINT length) {
        CMetaDataDlg viewer(nullptr);
        viewer.m_pMetaData = data;
        viewer.m_nMetaDataLength = length;
        return static_cast<int>(viewer.DoModal());
    });
}

CMetaDataDlg::CMetaDataDlg(CWnd*) : CDialog(IDD, nullptr) {}

// The members release the font, the field and the brush, in that order.
CMetaDataDlg::~CMetaDataDlg() = default;

void CMetaDataDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EDIT_METADATA, m_editMetaData);
}

BOOL CMetaDataDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_nMetaDataLength < 2 || !m_pMetaData) return TRUE;

    m_brushBack.CreateSolidBrush(RGB(255, 255, 255));
    m_editMetaData.SetWindowText(DecodeMetaDataText(m_pMetaData, m_nMetaDataLength));

    CClientDC dc(this);
    const int height = -(10 * dc.GetDeviceCaps(LOGPIXELSY)) / 72;
    m_fontMetaData.CreateFont(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_STRING_PRECIS,
                              CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_DONTCARE, u"ＭＳ ゴシック");
    m_editMetaData.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(m_fontMetaData)), TRUE);

    const int tabStop = 16;
    m_editMetaData.SendMessage(EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    return TRUE;
}

HBRUSH CMetaDataDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC && pWnd->GetSafeHwnd() == m_editMetaData.GetSafeHwnd() && m_brushBack.GetSafeHandle()) {
        pDC->SetBkMode(TRANSPARENT);
        return m_brushBack;
    }
    return brush;
}

void CMetaDataDlg::OnBnClickedSaveMetaData()
{
    CFileDialog dialog(FALSE, u"xml", nullptr, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING,
                       u"XMLファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||", nullptr, 0, TRUE);
    if (dialog.DoModal() != IDOK) return;

    CFile file;
    CFileException error;
    if (!file.Open(dialog.GetPathName(), CFile::modeCreate | CFile::modeReadWrite, &error)) {
        ReportFileOpenError(&error);
        return;
    }
    try {
        if (m_pMetaData && m_nMetaDataLength > 0) file.Write(m_pMetaData, m_nMetaDataLength);
        // Closing puts the new content in place; it can fail too (a full disk shows here).
        file.Close();
    } catch (CFileException* e) {
        // A file that already existed keeps its old content rather than a truncated one.
        file.Abort();
        ReportFileWriteError(e);
        e->Delete();
    }
}
