#include "BenchSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Time(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return Seconds(Clock::now() - start);
}

void Fail(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
    std::exit(1);
}

double Spawn(std::vector<std::string> args, const std::string& outPath, bool mayFail)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.empty() ? "/dev/null" : outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // What a child says on its own (the woff2 library's line per file) would break the tables.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    const bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                    waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double seconds = Seconds(Clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    if (!ok && !mayFail) Fail(args[0] + " failed");
    return seconds;
}

long PeakKb(std::vector<std::string> args, const std::string& folder, const std::string& outPath, bool mayFail)
{
    const std::string report = folder + "/peak-kb";
    args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", report});
    Spawn(args, outPath, mayFail);
    std::ifstream in(report);
    long kb = 0;
    in >> kb;
    return kb;
}

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

void Pairs::Add(double a, double b)
{
    m_a.push_back(a);
    m_b.push_back(b);
}

Spread Pairs::Ratio() const
{
    std::vector<double> ratios;
    for (size_t i = 0; i < m_a.size(); ++i) ratios.push_back(m_b[i] > 0 ? m_a[i] / m_b[i] : 0);
    return SpreadOf(ratios);
}

void Pairs::Print(const char* a, const char* b, const char* unit) const
{
    const Spread r = Ratio();
    const int decimals = std::string(unit) == "s" ? 4 : 1;
    std::printf("  %-38s %9.*f %-2s  over %-34s %9.*f %-2s  ratio %.3f [%.3f–%.3f]  (%zu pairs)\n", a, decimals,
                A().median, unit, b, decimals, B().median, unit, r.median, r.min, r.max, Count());
}

bool Target(bool met, const std::string& text)
{
    std::printf("  %s target: %s\n", met ? "✓" : "✗", text.c_str());
    return met;
}

std::string Against(const Spread& ratio, double ceiling)
{
    char text[128];
    std::snprintf(text, sizeof text, "median %.3f [%.3f–%.3f] <= %.2f", ratio.median, ratio.min, ratio.max, ceiling);
    return text;
}

std::string TemporaryFolder(const char* bench)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(bench) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) Fail("cannot make a temporary folder");
    return pattern;
}

std::string SelfPath() { return std::filesystem::canonical("/proc/self/exe").string(); }

std::vector<std::string> LargeFonts(const std::string& folder)
{
    constexpr const char* kMincho = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
    constexpr const char* kNotoCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
    const std::string member = folder + "/NotoSansCJK-member0.otf";
    const std::string extract = "/usr/bin/python3 -c 'import sys; from fontTools.ttLib import TTCollection; "
                                "TTCollection(sys.argv[1]).fonts[0].save(sys.argv[2])' " +
                                std::string(kNotoCjk) + " " + member;
    if (std::system(extract.c_str()) != 0) Fail("cannot extract a member of " + std::string(kNotoCjk));
    return {kMincho, member};
}

} // namespace bench
