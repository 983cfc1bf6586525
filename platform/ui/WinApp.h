// The application object: its name is the caption of every message box, and its message map
// is the last stop of a command that no dialog handles.
#pragma once

#include "Window.h"

#include <vector>

class CCommandLineInfo;

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCTSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Help for the command ID_HELP: the main window's help.
    afx_msg void OnHelp();

    // Start-up settings and the command line (AppSupport.cpp).
    void SetRegistryKey(LPCTSTR company);
    // Help requests go to the help file beside the executable: its path with ".CHM".
    void EnableHtmlHelp();
    void ParseCommandLine(CCommandLineInfo& info);
    HICON LoadIcon(UINT id) const;
    CString m_strRegistryKey;
    CString m_strHelpFilePath;
    LPCTSTR m_pszHelpFilePath = nullptr;

    CString m_strAppName;
    LPCTSTR m_pszAppName;
    CWnd* m_pMainWnd = nullptr;
    // The program's arguments after its own name.
    std::vector<CString> m_arguments;

    DECLARE_MESSAGE_MAP()
};

// The one application object, or nullptr before it is constructed.
CWinApp* AfxGetApp();
// The product title used as the caption of every message box.
CString AfxGetAppTitle();

// Entry point for a program: sets up the window toolkit, runs the application object's
// InitInstance and ExitInstance and returns the exit code.
int AfxWinMain(int argc, char** argv);
