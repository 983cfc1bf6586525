#include "FenwrapApp.h"

#include "CodePage.h"
#include "FenwrapDlg.h"
#include "FileErrors.h"
#include "MetaDataDlg.h"

HMODULE g_hT2embed = nullptr;
PFN_TTEmbedFontFromFileA g_pfnTTEmbedFontFromFileA = nullptr;

BEGIN_MESSAGE_MAP(CFenwrapApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CFenwrapApp::CFenwrapApp() : CWinApp(u"Fenwrap")
{
    EnableHtmlHelp();
}

BOOL CFenwrapApp::InitInstance()
{
    // A file error that no handler catches is reported with the same cause texts as the rest.
    InstallFileExceptionTexts();
    // The engine opens the metadata viewer while decoding, through the seam it keeps for it.
    InstallMetaDataViewer();

    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&InitCtrls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(u"Orvisto");

    _wsetlocale(LC_ALL_CATEGORIES, u"Japanese");
    if (GetThreadLocale() != 1041) SetThreadLocale(1041);

    g_hT2embed = LoadLibraryW(u"T2embed.dll");
    if (g_hT2embed)
        g_pfnTTEmbedFontFromFileA =
            reinterpret_cast<PFN_TTEmbedFontFromFileA>(GetProcAddress(g_hT2embed, "TTEmbedFontFromFileA"));

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);

    {
        CFenwrapDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.m_strInitialFile = cmdInfo.m_strFileName;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

int CFenwrapApp::ExitInstance()
{
    if (g_hT2embed) FreeLibrary(g_hT2embed);
    return CWinApp::ExitInstance();
}
