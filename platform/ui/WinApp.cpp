#include "WinApp.h"

#include "UiSession.h"
#include "WindowHandle.h"

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
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    for (int i = 1; i < argc; ++i) app->m_arguments.push_back(CString::FromUtf8(argv[i]));
    // The toolkit would take its own options ("-reverse", "-style X", ...) out of the command
    // line, and with them the program's file name: it is given the program's name alone. It
    // keeps the two for as long as it runs.
    static int toolkitArgc = 1;
    static char* toolkitArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    static char fallbackName[] = "fenwrap";
    if (!toolkitArgv[0]) toolkitArgv[0] = fallbackName;
    UiSession session(toolkitArgc, toolkitArgv);
    // Whatever start-up throws is reported like a handler's failure, and the application
    // still gets to clean up.
    ui_detail::Guarded([app] { app->InitInstance(); });
    return app->ExitInstance();
}
