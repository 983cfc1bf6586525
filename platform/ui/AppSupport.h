// What the application object needs at start-up beyond the window layer: the command line,
// the common controls, the locale, the program's own file name and its libraries.
#pragma once

#include "Shell.h"
#include "WinApp.h"

#include "Library.h"

// What ParseCommandLine finds: the first argument that is not a flag is the file to open.
// Only arguments that begin with "-" are flags here: every absolute path begins with "/".
class CCommandLineInfo : public CObject {
public:
    CString m_strFileName;
    std::vector<CString> m_flags;
};

inline constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
// Qt's widgets need no registration; kept so start-up reads as designed.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void AfxEnableControlContainer();

// The full path of the running executable (module must be null). Truncates to size - 1
// characters and a NUL when the buffer is too small, and then returns size.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The C runtime's locale. "Japanese" selects a Japanese UTF-8 locale of the machine when it
// has one; null when none can be set.
inline constexpr int LC_ALL_CATEGORIES = 6;
const char16_t* _wsetlocale(int category, const char16_t* locale);
