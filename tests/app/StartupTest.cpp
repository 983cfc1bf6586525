#include "WindowFixture.h"

#include "CodePage.h"
#include "MetaDataViewer.h"
#include "TestFonts.h"

#include <algorithm>

namespace {

class Startup : public WindowTest {
protected:
    // Starts the program with arguments and reports what its source field held.
    std::string SourceAfterStart(std::vector<CString> arguments)
    {
        m_app.m_arguments = std::move(arguments);
        std::string source = "(window not opened)";
        m_dialogs.Answer([&](CDialog& d) -> INT_PTR {
            source = Text(d, IDC_EDIT_SRC);
            EXPECT_EQ(m_app.m_pMainWnd, &d);
            d.PressEscape();
            return IDCANCEL;
        });
        EXPECT_FALSE(m_app.InitInstance());
        EXPECT_EQ(m_app.m_pMainWnd, nullptr) << "no pointer to the closed window is kept";
        EXPECT_EQ(m_app.ExitInstance(), 0);
        return source;
    }
};

TEST_F(Startup, TheFirstArgumentThatIsNoFlagFillsTheSourceField)
{
    EXPECT_EQ(SourceAfterStart({}), "");
    EXPECT_EQ(SourceAfterStart({u"/home/user/font.ttf"}), "/home/user/font.ttf");
    EXPECT_EQ(SourceAfterStart({u"/tmp/フォント ファイル.ttf", u"/tmp/second.ttf"}), "/tmp/フォント ファイル.ttf");
    EXPECT_EQ(SourceAfterStart({u"-x", u"--verbose"}), "");
    EXPECT_EQ(SourceAfterStart({u"-", u"relative/name.otf", u"/abs.ttf"}), "relative/name.otf");
    EXPECT_EQ(SourceAfterStart({u"", u"/after/an/empty/argument.ttf"}), "/after/an/empty/argument.ttf");
}

TEST_F(Startup, TheCommandLineFileIsPutInAfterTheOptionsAndNotChecked)
{
    EXPECT_EQ(SourceAfterStart({u"/no/such/file.xyz"}), "/no/such/file.xyz");
    EXPECT_TRUE(m_boxes.Boxes().empty()) << "no conversion starts by itself";
}

TEST_F(Startup, AFileErrorNoHandlerCatchesSpeaksWithTheCauseTexts)
{
    SetFileExceptionTextProvider(nullptr);
    std::string during;
    m_app.m_arguments.clear();
    m_dialogs.Answer([&](CDialog& d) -> INT_PTR {
        during = CFileException(CFileException::diskFull, 28, u"/out/a.woff").GetErrorText().ToUtf8();
        d.PressEscape();
        return IDCANCEL;
    });
    m_app.InitInstance();
    m_app.ExitInstance();
    EXPECT_EQ(during, "ファイル/out/a.woffでエラーが発生しました。\n原因：ディスクの空き容量が足りない");
}

TEST_F(Startup, TheEngineShowsMetadataInTheViewerInstalledAtStart)
{
    SetMetaDataViewer({});
    EXPECT_EQ(SourceAfterStart({}), "");
    const BYTE block[] = {'<', 'm', '/', '>'};
    m_dialogs.Clear();
    m_dialogs.Answer(IDCANCEL);
    EXPECT_EQ(RunMetaDataViewer(block, sizeof block), IDCANCEL);
    ASSERT_EQ(m_dialogs.Dialogs().size(), 1u);
    EXPECT_EQ(m_dialogs.Dialogs()[0].className, "CMetaDataDlg");
}

TEST_F(Startup, TheThreadIsJapaneseOnceTheWindowIsOpen)
{
    SetThreadLocale(1033);
    m_app.m_arguments.clear();
    LCID during = 0;
    m_dialogs.Answer([&](CDialog& d) -> INT_PTR {
        during = GetThreadLocale();
        d.PressEscape();
        return IDCANCEL;
    });
    m_app.InitInstance();
    m_app.ExitInstance();
    EXPECT_EQ(during, 1041u);
}

TEST_F(Startup, WithoutTheEmbeddingLibraryTheProgramStillStarts)
{
    // No embedding library lies beside the test program.
    EXPECT_EQ(SourceAfterStart({u"/a.ttf"}), "/a.ttf");
    EXPECT_EQ(g_hT2embed, nullptr);
    EXPECT_EQ(g_pfnTTEmbedFontFromFileA, nullptr);
}

TEST_F(Startup, TheHelpFileIsTheProgramsPathWithChm)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    ASSERT_NE(m_app.m_pszHelpFilePath, nullptr);
    EXPECT_EQ(CString(m_app.m_pszHelpFilePath).ToUtf8(), std::string(self, static_cast<size_t>(n)) + ".CHM");
    EXPECT_EQ(m_app.m_strAppName.ToUtf8(), "Fenwrap");
}

TEST(CommandLine, TheToolkitTakesNoneOfItsOptionsFromIt)
{
    const auto started = testfonts::Run("QT_QPA_PLATFORM=offscreen " + testfonts::Quote(STARTUP_PROBE) +
                                        " -reverse -style windows /fonts/a.ttf -platform xcb 2>/dev/null");
    EXPECT_EQ(started.exitCode, 0);
    EXPECT_NE(started.output.find("arguments: -reverse|-style|windows|/fonts/a.ttf|-platform|xcb\n"), std::string::npos)
        << started.output;
    EXPECT_NE(started.output.find("mirrored: no\n"), std::string::npos) << started.output;
    EXPECT_EQ(started.output.find("style: windows"), std::string::npos) << started.output;
}

TEST(CommandLine, AnExceptionLeavingStartUpIsReportedAndTheProgramStillCleansUp)
{
    const auto started =
        testfonts::Run("QT_QPA_PLATFORM=offscreen " + testfonts::Quote(STARTUP_PROBE) + " --fail 2>/dev/null");
    EXPECT_EQ(started.exitCode, 0) << started.output;
    EXPECT_NE(started.output.find("box 0x10: 予期しないエラーが発生しました。\nstart-up failed\nexit instance\n"),
              std::string::npos)
        << started.output;
}

TEST(CommandLine, ADisplayThatCannotBeOpenedGetsOneLine)
{
    struct Case {
        const char* environment;
        const char* says;
    };
    for (const Case& c : {Case{"-u WAYLAND_DISPLAY DISPLAY=:9876", "display DISPLAY=\":9876\" cannot be opened"},
                          Case{"-u DISPLAY -u WAYLAND_DISPLAY", "no display is set in DISPLAY or WAYLAND_DISPLAY"},
                          Case{"-u WAYLAND_DISPLAY DISPLAY=", "no display is set in DISPLAY or WAYLAND_DISPLAY"}}) {
        const auto started = testfonts::Run(std::string("env -u QT_QPA_PLATFORM ") + c.environment + " " +
                                            testfonts::Quote(FENWRAP_PROGRAM) + " /fonts/a.ttf");
        EXPECT_EQ(started.exitCode, 1) << "an exit, not an abort";
        EXPECT_EQ(std::count(started.output.begin(), started.output.end(), '\n'), 1) << started.output;
        EXPECT_NE(started.output.find(c.says), std::string::npos) << started.output;
        EXPECT_EQ(started.output.find("=\"\""), std::string::npos) << "an empty variable names no display";
    }
}

TEST(ModuleFileName, TruncatesToTheBufferAndSaysSo)
{
    WCHAR full[4096];
    const DWORD length = GetModuleFileNameW(nullptr, full, 4096);
    ASSERT_GT(length, 4u);
    WCHAR small[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
    EXPECT_EQ(std::u16string(small), std::u16string(full, 3));
}

} // namespace
