// The application object: sets the process up for a Japanese user interface, binds the
// font-embedding library, reads the command line and runs the main window until it closes.
#pragma once

#include "AppSupport.h"
#include "WinApp.h"

#if __has_include("T2embed.h")
#include "T2embed.h"
#else
// Until the embedding library lands, its entry point is only ever absent.
using PFN_TTEmbedFontFromFileA = FARPROC;
#endif

class CFenwrapApp : public CWinApp {
public:
    CFenwrapApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    DECLARE_MESSAGE_MAP()
};

// Written once by InitInstance; read by the conversion on the same thread.
extern HMODULE g_hT2embed;
extern PFN_TTEmbedFontFromFileA g_pfnTTEmbedFontFromFileA;
