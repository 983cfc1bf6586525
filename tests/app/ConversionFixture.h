// Runs whole conversions through the real main window, offscreen: the fields are filled as a
// user fills them, "変換開始" is pressed, message boxes and dialogs are answered by responders,
// and a WOFF2 step is waited for until its notice has been handled.
#pragma once

#include "CodePage.h"
#include "EmbedHelpers.h"
#include "WindowFixture.h"

#include <chrono>
#include <functional>
#include <string>

struct ConversionOptions {
    bool woff2 = false;
    bool eot = false;
    bool meta = false;
    bool page = false;
    bool addSrc = false;
    std::string metaPath;
    std::string sample;
};

class ConversionTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        SetThreadLocale(1041);
        m_savedEntry = g_pfnTTEmbedFontFromFileA;
        g_pfnTTEmbedFontFromFileA = embedtest::EntryPoint();
    }
    void TearDown() override
    {
        g_pfnTTEmbedFontFromFileA = m_savedEntry;
        WindowTest::TearDown();
    }

    // Fills the window, presses the start button and waits for a WOFF2 step it started; then
    // runs after (if any) on the window before it is left.
    void Convert(const std::string& src, const std::string& dst = "", const ConversionOptions& o = {},
                 const std::function<void(CFenwrapDlg&)>& after = {})
    {
        RunMainWindow([&](CFenwrapDlg& d) {
            for (auto& answer : m_nested) m_dialogs.Answer(std::move(answer));
            m_nested.clear();
            d.SetDlgItemText(IDC_EDIT_SRC, CString::FromUtf8(src));
            d.SetDlgItemText(IDC_EDIT_DST, CString::FromUtf8(dst));
            d.SetDlgItemText(IDC_EDIT_METADATA_FILE, CString::FromUtf8(o.metaPath));
            d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, CString::FromUtf8(o.sample));
            const std::pair<int, bool> checks[] = {{IDC_CHECK_WOFF2, o.woff2}, {IDC_CHECK_EOT, o.eot},
                                                   {IDC_CHECK_METADATA, o.meta}, {IDC_CHECK_SAMPLE_HTML, o.page},
                                                   {IDC_CHECK_ADD_SRC_FONT, o.addSrc}};
            for (const auto& [id, on] : checks) d.SendDlgItemMessage(id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED);
            d.ClickButton(IDOK);
            WaitForWOFF2Step(d);
            if (after) after(d);
        });
    }

    // Answers for the dialogs the next conversion opens (the picker, the metadata viewer), in
    // their order; a dialog without one is answered with "OK".
    void AnswerDuringRun(INT_PTR button)
    {
        m_nested.push_back([button](CDialog& d) { return PressButton(d, button); });
    }
    void AnswerDuringRun(ScriptedDialogResponder::Action action) { m_nested.push_back(std::move(action)); }

    // The WOFF2 step keeps "変換開始" disabled until its notice has been handled.
    static void WaitForWOFF2Step(CFenwrapDlg& d)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!d.GetDlgItem(IDOK)->IsWindowEnabled() && std::chrono::steady_clock::now() < deadline)
            d.PumpPostedMessages(100);
        ASSERT_TRUE(d.GetDlgItem(IDOK)->IsWindowEnabled()) << "the WOFF2 step never ended";
    }

    // A copy of a real font under a name of the test's choosing.
    std::string Place(const std::string& font, const std::string& name)
    {
        const std::string path = m_work.File(name);
        testfonts::WriteFile(path, testfonts::ReadFile(font));
        return path;
    }
    // A collection of the two fonts, as fontTools writes it, at path.
    static void MakeCollection(const char* first, const char* second, const std::string& path)
    {
        const auto made = testfonts::Run(
            "/usr/bin/python3 -c 'import sys; from fontTools.ttLib import TTFont, TTCollection; c = TTCollection(); "
            "c.fonts = [TTFont(sys.argv[1]), TTFont(sys.argv[2])]; c.save(sys.argv[3])' " +
            testfonts::Quote(first) + " " + testfonts::Quote(second) + " " + testfonts::Quote(path));
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    std::string File(const std::string& name) const { return m_work.File(name); }
    bool Exists(const std::string& name) const { return testfonts::Exists(m_work.File(name)); }
    static bool OtsAccepts(const std::string& path) { return testfonts::Run("ots-sanitize " + testfonts::Quote(path)).exitCode == 0; }

    testfonts::TempDir m_work;
    std::vector<ScriptedDialogResponder::Action> m_nested;
    PFN_TTEmbedFontFromFileA m_savedEntry = nullptr;
};
