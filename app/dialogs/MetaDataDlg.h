// The metadata viewer: shows the XML metadata block of a WOFF or WOFF2 file before it is
// decoded, saves the block on request, and lets the user go on (IDOK) or stop (IDCANCEL).
#pragma once

#include "Dialog.h"
#include "Gdi.h"
#include "resource.h"

class CMetaDataDlg : public CDialog {
    DECLARE_DYNAMIC(CMetaDataDlg)

public:
    explicit CMetaDataDlg(CWnd* pParent = nullptr);
    ~CMetaDataDlg() override;

    enum { IDD = IDD_METADATA };

    // The block, not owned: set by the caller before DoModal and valid until it returns.
    const BYTE* m_pMetaData = nullptr;
    UINT m_nMetaDataLength = 0;

protected:
    CBrush m_brushBack;
    CEdit m_editMetaData;
    CFont m_fontMetaData;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnBnClickedSaveMetaData();

    DECLARE_MESSAGE_MAP()
};

// The text the viewer shows for a block: UTF-16 in either byte order (with or without a
// byte-order mark, which is kept), else UTF-8, up to its first NUL, where the field's text
// ends. Nothing after that NUL is decoded, so a block of megabytes of zeros costs no more
// than the block itself; Save still writes every byte. Blocks shorter than two bytes show
// nothing.
CString DecodeMetaDataText(const BYTE* data, UINT length);

// Makes this dialog the viewer that the engine's decoders open; the program does so at start.
void InstallMetaDataViewer();
