#include "MetaDataDlg.h"

#include "CodePage.h"
#include "File.h"
#include "FileDialog.h"
#include "FileErrors.h"
#include "MetaDataViewer.h"

#include <climits>
#include <vector>

IMPLEMENT_DYNAMIC(CMetaDataDlg, CDialog)

BEGIN_MESSAGE_MAP(CMetaDataDlg, CDialog)
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(IDC_BUTTON_SAVE_METADATA, &CMetaDataDlg::OnBnClickedSaveMetaData)
END_MESSAGE_MAP()

namespace {

// UTF-16 units from little-endian byte pairs; an odd last byte is left out.
CString Utf16Le(const BYTE* data, UINT length)
{
    std::u16string text(length / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return CString(std::move(text));
}

} // namespace

CString DecodeMetaDataText(const BYTE* data, UINT length)
{
    if (!data || length < 2) return CString();
    const BYTE b0 = data[0];
    const BYTE b1 = data[1];
    if (b0 == 0xFF && b1 == 0xFE) return Utf16Le(data, length);
    if ((b0 == 0xFE && b1 == 0xFF) || b0 == 0x00) {
        std::vector<BYTE> swapped(data, data + length);
        for (UINT i = 0; i + 1 < length; i += 2) std::swap(swapped[i], swapped[i + 1]);
        return Utf16Le(swapped.data(), length);
    }
    if (b1 == 0x00) return Utf16Le(data, length);
    // Each UTF-8 byte gives at most one UTF-16 unit.
    if (length > static_cast<UINT>(INT_MAX)) return CString();
    std::vector<char16_t> buffer(length);
    const int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<LPCSTR>(data), static_cast<int>(length),
                                          buffer.data(), static_cast<int>(length));
    return units > 0 ? CString(buffer.data(), units) : CString();
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
    // The field's text ends at the first NUL, as a window's text does.
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
