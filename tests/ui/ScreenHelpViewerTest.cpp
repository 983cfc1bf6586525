// The help viewer: one window for as long as it is open, however often help is asked for.
#include "Shell.h"
#include "TestFonts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

int CountLines(const std::string& path)
{
    if (!testfonts::Exists(path)) return 0;
    const testfonts::Bytes bytes = testfonts::ReadFile(path);
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// Waits up to two seconds for the log to reach lines, and says how many it holds.
int WaitForLines(const std::string& path, int lines)
{
    QElapsedTimer timer;
    timer.start();
    while (CountLines(path) < lines && timer.elapsed() < 2000) QThread::msleep(20);
    return CountLines(path);
}

TEST(HelpViewer, ASecondRequestShowsInTheViewerThatIsOpen)
{
    // A stand-in for the desktop's viewer, found first on the search path: it notes each start
    // and stays open until told to close.
    testfonts::TempDir dir;
    const std::string viewer = dir.File("xchm");
    const std::string log = dir.File("starts.log");
    const std::string script = "#!/bin/sh\necho \"$1\" >> " + testfonts::Quote(log) + "\nwhile [ ! -e " +
                               testfonts::Quote(dir.File("close")) + " ]; do sleep 0.05; done\n";
    testfonts::WriteFile(viewer, testfonts::Bytes(script.begin(), script.end()));
    ::chmod(viewer.c_str(), 0755);
    testfonts::WriteFile(dir.File("fenwrap.CHM"), {'I', 'T', 'S', 'F'});
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.Path() + ":" + oldPath).c_str(), 1);
    const CString help = CString::FromUtf8(dir.File("fenwrap.CHM"));
    const HelpLauncher previous = SetHelpLauncher({});

    EXPECT_NE(AfxHtmlHelp(nullptr, help, HH_HELP_CONTEXT, 0), nullptr);
    EXPECT_EQ(WaitForLines(log, 1), 1);
    EXPECT_NE(AfxHtmlHelp(nullptr, help, HH_HELP_CONTEXT, 0), nullptr);
    EXPECT_NE(AfxHtmlHelp(nullptr, help, HH_DISPLAY_TOPIC, 0), nullptr);
    QThread::msleep(300);
    EXPECT_EQ(CountLines(log), 1) << "no second window";

    // Once the user has closed it, help opens a new one.
    testfonts::WriteFile(dir.File("close"), {});
    QThread::msleep(300);
    ::unlink(dir.File("close").c_str());
    EXPECT_NE(AfxHtmlHelp(nullptr, help, HH_HELP_CONTEXT, 0), nullptr);
    EXPECT_EQ(WaitForLines(log, 2), 2);
    EXPECT_EQ(testfonts::Run("head -1 " + testfonts::Quote(log)).output, dir.File("fenwrap.CHM") + "\n");

    testfonts::WriteFile(dir.File("close"), {});
    SetHelpLauncher(previous);
    ::setenv("PATH", oldPath.c_str(), 1);
    QThread::msleep(150);
}

} // namespace
