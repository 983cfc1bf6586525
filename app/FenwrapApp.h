// The application object: sets the process up for a Japanese user interface, binds the
// font-embedding library, reads the command line and runs the main window until it closes.
#pragma once

#include "AppSupport.h"
#include "WinApp.h"

#include "T2embed.h"

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
