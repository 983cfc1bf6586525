// Runs the main window without a display: a fresh settings store, the application object,
// message boxes and dialogs answered by responders, and the advertisement panel's addresses
// recorded instead of fetched.
#pragma once

#include "DialogResponder.h"
#include "FenwrapApp.h"
#include "FenwrapDlg.h"
#include "HtmlView.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "StoreFixture.h"
#include "resource.h"

#include <functional>
#include <string>
#include <vector>

class WindowTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        // The program installs the viewer at start, which a window opened here goes without.
        InstallMetaDataViewer();
        EnableBrowserViews(false);
        SetNavigateObserver([this](const CString& url) { m_addresses.push_back(url.ToUtf8()); });
    }
    void TearDown() override
    {
        SetNavigateObserver({});
        StoreTest::TearDown();
    }

    // Opens the main window (with file on the command line), runs action on it and returns
    // how it ended; action ends it, or the window is left with Esc.
    INT_PTR RunMainWindow(const std::function<void(CFenwrapDlg&)>& action, const CString& file = CString())
    {
        CFenwrapDlg dlg(nullptr);
        dlg.m_strInitialFile = file;
        m_app.m_pMainWnd = &dlg;
        m_dialogs.Answer([&](CDialog& d) -> INT_PTR {
            action(static_cast<CFenwrapDlg&>(d));
            if (!d.IsEnded()) d.PressEscape();
            return IDCANCEL;
        });
        const INT_PTR result = dlg.DoModal();
        m_app.m_pMainWnd = nullptr;
        return result;
    }

    static std::string Text(CDialog& d, int id)
    {
        CString text;
        d.GetDlgItemText(id, text);
        return text.ToUtf8();
    }
    static int Check(CDialog& d, int id) { return static_cast<int>(d.SendDlgItemMessage(id, BM_GETCHECK)); }

    CFenwrapApp m_app;
    ScriptedResponder m_boxes;
    ScriptedDialogResponder m_dialogs;
    std::vector<std::string> m_addresses;
};
