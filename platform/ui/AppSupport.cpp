#include "AppSupport.h"

#include <clocale>
#include <climits>
#include <string>
#include <unistd.h>

void CWinApp::SetRegistryKey(LPCTSTR company)
{
    m_strRegistryKey = CString(company);
}

void CWinApp::EnableHtmlHelp()
{
    char16_t buffer[4096];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, 4096);
    CString path(buffer, n < 4096 ? static_cast<int>(n) : 0);
    // The extension of the file's own name gives way to ".CHM"; a name without one gets it.
    const int slash = path.ReverseFind(u'/');
    const int dot = path.ReverseFind(u'.');
    if (dot > slash) path = path.Left(dot);
    m_strHelpFilePath = path.IsEmpty() ? CString() : path + u".CHM";
    m_pszHelpFilePath = m_strHelpFilePath.GetString();
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    bool haveFile = false;
    for (const CString& argument : m_arguments) {
        if (argument.IsEmpty()) continue;
        if (argument.GetAt(0) == u'-') {
            info.m_flags.push_back(argument);
        } else if (!haveFile) {
            info.m_strFileName = argument;
            haveFile = true;
        }
    }
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return LoadIconResource(id);
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init)
{
    return init && init->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

void AfxEnableControlContainer() {}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    if (module || !buffer || size == 0) return 0;
    const std::string path = ExecutablePath();
    if (path.empty()) return 0;
    const CString wide = CString::FromUtf8(path);
    const DWORD length = static_cast<DWORD>(wide.GetLength());
    const DWORD copied = std::min(length, size - 1);
    std::copy(wide.GetString(), wide.GetString() + copied, buffer);
    buffer[copied] = 0;
    return length < size ? length : size;
}

HINSTANCE AfxGetInstanceHandle() { return nullptr; }
HINSTANCE AfxGetResourceHandle() { return nullptr; }

const char16_t* _wsetlocale(int category, const char16_t* locale)
{
    static std::u16string current;
    if (!locale) return nullptr;
    const int lc = category == LC_ALL_CATEGORIES ? LC_ALL : category;
    const char* result = nullptr;
    if (std::u16string_view(locale) == u"Japanese") {
        for (const char* name : {"ja_JP.UTF-8", "ja_JP.utf8", "ja_JP.UTF8"}) {
            if ((result = std::setlocale(lc, name))) break;
        }
    } else {
        result = std::setlocale(lc, CString(locale).ToUtf8().c_str());
    }
    if (!result) return nullptr;
    current = CString::FromUtf8(result).Str();
    return current.c_str();
}
