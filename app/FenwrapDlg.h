// The program's only window: source and destination fields with their browse buttons, the
// options for converting a font to WOFF, the start, quit and help buttons, the maker's link,
// the red status line and the advertisement panel.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "DropFileEdit.h"
#include "FileAlias.h"
#include "Shell.h"

#include <optional>

struct ConversionRequest;
struct EncodingRun;

class CFenwrapDlg : public CDialog {
public:
    explicit CFenwrapDlg(CWnd* pParent = nullptr);
    ~CFenwrapDlg() override;

    void HtmlHelp(UINT_PTR data, UINT command = HH_HELP_CONTEXT) override;
    // Writes the sample page beside the outputs it names; FALSE when it cannot be created (reported).
    BOOL WriteSampleHtml(LPCWSTR htmlPath, LPCWSTR woffName, LPCWSTR woff2Name, LPCWSTR eotName, LPCWSTR srcName,
                         BOOL bOpenType);

    CString m_strInitialFile;

    // The last step of an encoding run: makes the ".woff2" on a worker thread; the result is
    // reported when the worker's WM_WOFF2_FINISHED arrives (Woff2Step.cpp).
    void StartWOFF2Conversion(LPCWSTR font, LPCWSTR woff2Path, LPCWSTR metaPath);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Refused while the WOFF2 worker runs.
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HICON OnQueryDragIcon();
    afx_msg LRESULT OnWOFF2Finished(WPARAM wParam, LPARAM lParam);
    afx_msg void OnBnClickedOk();
    afx_msg void OnBnClickedBrowseSrc();
    afx_msg void OnBnClickedBrowseDst();
    afx_msg void OnDestroy();
    afx_msg void OnBnClickedBrowseMeta();
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    HICON m_hIcon;
    CDropFileEdit m_editSrc;
    CDropFileEdit m_editDst;
    CDropFileEdit m_editMeta;
    CStatic m_staticStatus;
    // From the start of the WOFF2 step until its notice has been handled.
    BOOL m_bWOFF2Running = FALSE;
    // The font the WOFF2 step encodes, held from the run until the step's notice has been
    // handled: a single font as the file the run opened and checked, a collection's member as
    // the bytes the run wrote. The worker reads it by this alias, not by a name.
    std::optional<CFileAlias> m_woff2Source;

    DECLARE_MESSAGE_MAP()

private:
    // One press of "変換開始": settle the request, name the outputs, ask before replacing, then
    // make the outputs in order (ConversionRun.cpp). Each step says whether the run goes on.
    BOOL SettleSource(ConversionRequest& request);
    BOOL NameTarget(ConversionRequest& request);
    BOOL AskBeforeReplacing(const ConversionRequest& request);
    void RunEncoding(ConversionRequest& request);
    void RunDecoding(ConversionRequest& request);
    BOOL SettleEncodingOptions(const ConversionRequest& request, EncodingRun& run);
    BOOL EncodeFont(ConversionRequest& request, EncodingRun& run);
    BOOL EncodeCollectionMember(ConversionRequest& request, EncodingRun& run);
    BOOL WritePageOfRun(const ConversionRequest& request, const EncodingRun& run);
    BOOL IsChecked(int id);

    void CreateAdvertisementPanel();
    void LoadOptions();
    void SaveOptions();
    // Runs a file dialog and puts the chosen path into field.
    void Browse(CWnd& field, BOOL open, LPCTSTR defaultExt, DWORD flags, LPCTSTR filter, LPCTSTR title);
};
