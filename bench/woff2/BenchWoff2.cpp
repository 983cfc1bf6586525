// Measures the WOFF2 step against the reference encoder (woff2_compress) on large real fonts,
// in one run, with the runs interleaved so that both sides see the same machine:
//
//   bench_woff2 [repeats] [font...]
//
// For each font it prints, each comparison as the median of interleaved pairs with the spread
// of their ratios, and each target as a line met (✓) or not (✗):
// - the wall time of the whole step in the main window (from StartWOFF2Conversion to the
//   worker's notice arriving on the window's event loop) against one woff2_compress process;
// - the event loop's lateness while the worker runs: a 5 ms timer on the window's own loop,
//   the largest and the 99th-percentile delay of its ticks;
// - the peak memory the worker adds to its process, in a fresh process, against what
//   woff2_compress adds to its own (its peak less its peak on a file that does not exist).
//   The woff2 library itself takes about 110 MB on these fonts, so no bound on the font and
//   its output alone can hold; the worker is held to the reference encoder's own peak.
//
// Without fonts it takes IPA Mincho and the first member of the Noto Sans CJK collection,
// extracted with fontTools. The window runs on the offscreen platform; nothing is fetched.
#include "BenchSupport.h"
#include "FenwrapApp.h"
#include "FenwrapDlg.h"
#include "HtmlView.h"
#include "MessageBox.h"
#include "UiSession.h"
#include "Woff2Step.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;

constexpr const char* kReferenceEncoder = "/usr/bin/woff2_compress";
constexpr const char* kTimeTool = "/usr/bin/time";

long ReadNumber(const std::string& path)
{
    std::ifstream in(path);
    long n = 0;
    in >> n;
    return n;
}

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Child mode: the worker's procedure once, in this fresh process; writes the peak resident
// memory it added, in KB, to report.
int WorkerOnce(const char* font, const char* woff2, const char* report)
{
    static WOFF2ThreadParam param;
    param.strFontPath = CString::FromUtf8(font);
    param.strWOFF2Path = CString::FromUtf8(woff2);
    const long before = ResidentKb();
    WOFF2ConvertThreadProc(&param);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::ofstream(report) << usage.ru_maxrss - before << "\n";
    return 0;
}

struct WindowRun {
    double seconds = 0;
    double maxLateMs = 0;
    double p99LateMs = 0;
    bool succeeded = false;
};

// The step in the main window on screen: started from the window's event loop, timed until its
// notice arrives there, with a timer on the same loop measuring how late its ticks come.
WindowRun RunInWindow(const std::string& font, const std::string& woff2)
{
    WindowRun run;
    CFenwrapDlg dlg(nullptr);
    Clock::time_point start;
    std::vector<double> late;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QElapsedTimer sinceTick;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        late.push_back(std::max(0.0, double(sinceTick.nsecsElapsed()) / 1e6 - 5.0));
        sinceTick.restart();
    });
    const MessageBoxPresenter previous = SetMessageBoxPresenter([&](const CString& text, UINT, UINT) {
        run.seconds = Seconds(Clock::now() - start);
        ticker.stop();
        run.succeeded = text == CString(u"正常に変換しました。");
        QTimer::singleShot(0, [&] { dlg.EndDialog(IDCANCEL); });
        return IDOK;
    });
    QTimer::singleShot(200, [&] {
        start = Clock::now();
        dlg.StartWOFF2Conversion(CString::FromUtf8(font), CString::FromUtf8(woff2), nullptr);
        sinceTick.start();
        ticker.start();
    });
    dlg.DoModal();
    SetMessageBoxPresenter(previous);
    std::sort(late.begin(), late.end());
    if (!late.empty()) {
        run.maxLateMs = late.back();
        run.p99LateMs = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    }
    return run;
}

void Bench(const std::string& font, int repeats, const std::string& folder, const std::string& self)
{
    // The reference encoder writes beside its input: a copy in the bench's folder.
    const std::string copy = folder + "/font.ttf";
    std::filesystem::copy_file(font, copy, std::filesystem::copy_options::overwrite_existing);
    const std::string ours = folder + "/ours.woff2";

    Pairs step;
    double maxLate = 0, p99Late = 0;
    for (int i = 0; i < repeats; ++i) {
        const WindowRun run = RunInWindow(font, ours);
        if (!run.succeeded) Fail("the step failed on " + font);
        maxLate = std::max(maxLate, run.maxLateMs);
        p99Late = std::max(p99Late, run.p99LateMs);
        step.Add(run.seconds, bench::Spawn({kReferenceEncoder, copy}));
    }
    const std::string report = folder + "/report";
    Pairs memory;
    // Started from the small time process: a child spawned from this one would take this
    // process's peak as its own from the start.
    bench::Spawn({kTimeTool, "-o", "/dev/null", self, "--worker-once", font, folder + "/once.woff2", report});
    const long workerKb = ReadNumber(report);
    bench::Spawn({kTimeTool, "-f", "%M", "-o", report, kReferenceEncoder, copy});
    const long referencePeakKb = ReadNumber(report);
    // What the reference encoder's process takes before it reads anything: its run on a file
    // that does not exist.
    bench::Spawn({kTimeTool, "-f", "%M", "-o", report, kReferenceEncoder, folder + "/missing.ttf"}, {}, true);
    memory.Add(workerKb / 1024.0, (referencePeakKb - ReadNumber(report)) / 1024.0);

    std::printf("%s (%ju bytes; WOFF2 %ju bytes), %d pairs, interleaved; medians, [smallest–largest] ratio\n",
                font.c_str(), std::uintmax_t(std::filesystem::file_size(font)),
                std::uintmax_t(std::filesystem::file_size(ours)), repeats);
    step.Print("step in the window", "woff2_compress, fresh process");
    memory.Print("worker: memory added", "woff2_compress: memory added", "MB");
    std::printf("  event loop late: largest %.1f ms, 99th percentile %.1f ms\n", maxLate, p99Late);
    Target(step.Ratio().median <= 1.02, "step / woff2_compress " + Against(step.Ratio(), 1.02));
    Target(maxLate <= 50, "event loop never more than 50 ms late");
    Target(memory.Ratio().median <= 1.10, "worker's memory / woff2_compress's " + Against(memory.Ratio(), 1.10));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--worker-once") == 0) return WorkerOnce(argv[2], argv[3], argv[4]);

    std::string folder = (std::filesystem::temp_directory_path() / "bench_woff2-XXXXXX").string();
    if (!mkdtemp(folder.data())) return 1;
    // The window's settings go to a store of the bench's own, and its advertisement panel
    // fetches nothing.
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnableBrowserViews(false);
    SetNavigateObserver([](const CString&) {});

    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<std::string> fonts(argv + std::min(argc, 2), argv + argc);
    if (fonts.empty()) {
        fonts = bench::LargeFonts(folder);
    }
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    int qtArgc = 1;
    UiSession session(qtArgc, argv);
    CFenwrapApp app;
    for (const std::string& font : fonts) Bench(font, repeats, folder, self);
    std::filesystem::remove_all(folder);
    return 0;
}
