#include "WinApp.h"

#include "UiSession.h"

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR appName)
    : m_strAppName(appName ? appName : u"Fenwrap"), m_pszAppName(m_strAppName.GetString())
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::OnHelp()
{
    if (m_pMainWnd) m_pMainWnd->HtmlHelp(0);
}

CWinApp* AfxGetApp() { return g_app; }

CString AfxGetAppTitle()
{
    return g_app ? g_app->m_strAppName : CString(u"Fenwrap");
}

int AfxWinMain(int argc, char** argv)
{
    UiSession session(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    for (int i = 1; i < argc; ++i) app->m_arguments.push_back(CString::FromUtf8(argv[i]));
    app->InitInstance();
    return app->ExitInstance();
}
