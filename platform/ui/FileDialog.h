// The common open and save dialogs. A dialog presenter answers them like any dialog: it
// chooses a path with SetPathName and ends them with EndDialog.
#pragma once

#include "Dialog.h"

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_ENABLESIZING = 0x00800000;

struct OpenFileName {
    LPCTSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
};

class CFileDialog : public CDialog {
public:
    // filter: pairs of description and pattern in the form "Text (*.x)|*.x|...||".
    CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt = nullptr, LPCTSTR fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR filter = nullptr,
                CWnd* parent = nullptr, DWORD size = 0, BOOL vistaStyle = TRUE);

    static const CRuntimeClass classCFileDialog;
    const CRuntimeClass* GetRuntimeClass() const override;

    INT_PTR DoModal() override;
    CString GetPathName() const { return m_strPathName; }
    void SetPathName(const CString& path) { m_strPathName = path; }

    BOOL IsOpenDialog() const { return m_bOpenFileDialog; }
    const CString& GetDefaultExt() const { return m_strDefExt; }
    const CString& GetFilter() const { return m_strFilter; }
    CString GetTitle() const { return CString(m_ofn.lpstrTitle); }

    OpenFileName m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    CString m_strPathName;
};

// The pairs of a filter string, for the toolkit's dialog; exposed for tests.
struct FileFilter {
    CString description;
    CString pattern;
};
std::vector<FileFilter> ParseFileFilter(const CString& filter);
// A name typed without an extension gets the default one.
CString ApplyDefaultExtension(const CString& path, const CString& defaultExt);
