#include "FileDialog.h"

#include "WindowHandle.h"

namespace ui_detail {
// Shows the toolkit's file dialog; FALSE when cancelled or when there is no display.
bool RunFileDialogOnScreen(CFileDialog& dialog, CString& path);
}

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

CFileDialog::CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt, LPCTSTR fileName, DWORD flags, LPCTSTR filter,
                         CWnd* parent, DWORD, BOOL)
    : CDialog(0, parent),
      m_bOpenFileDialog(openFileDialog),
      m_strDefExt(defaultExt),
      m_strFileName(fileName),
      m_strFilter(filter)
{
    m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal()
{
    m_strPathName = m_strFileName;
    if (const DialogPresenter presenter = CurrentDialogPresenter()) {
        const INT_PTR result = presenter(*this);
        if (result == IDOK && !m_strPathName.IsEmpty() && !m_bOpenFileDialog)
            m_strPathName = ApplyDefaultExtension(m_strPathName, m_strDefExt);
        return result;
    }
    CString path;
    if (!ui_detail::RunFileDialogOnScreen(*this, path)) return IDCANCEL;
    m_strPathName = m_bOpenFileDialog ? path : ApplyDefaultExtension(path, m_strDefExt);
    return IDOK;
}

std::vector<FileFilter> ParseFileFilter(const CString& filter)
{
    std::vector<FileFilter> pairs;
    const std::u16string& s = filter.Str();
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start < s.size()) {
        const size_t bar = s.find(u'|', start);
        const size_t end = bar == std::u16string::npos ? s.size() : bar;
        parts.push_back(s.substr(start, end - start));
        if (bar == std::u16string::npos) break;
        start = bar + 1;
        // Two bars in a row end the list.
        if (start < s.size() && s[start] == u'|') break;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.push_back({CString(parts[i]), CString(parts[i + 1])});
    return pairs;
}

CString ApplyDefaultExtension(const CString& path, const CString& defaultExt)
{
    if (defaultExt.IsEmpty() || path.IsEmpty()) return path;
    const int slash = path.ReverseFind(u'/');
    const CString name = path.Mid(slash + 1);
    if (name.Find(u'.') >= 0) return path;
    return path + u"." + defaultExt;
}
