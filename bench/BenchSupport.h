// What the benchmarks share: fresh processes to time and to measure, and the one way every bench
// reports a comparison. The machine is shared, so no single run says much: each comparison is
// measured as pairs, the two sides run one after the other and the pairs interleaved, and what
// is reported is the median of the pairs' ratios with their spread (smallest to largest), the
// median time of each side beside it. A target is a stated line, met (✓) or not (✗) by the
// median ratio.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);
double Time(const std::function<void()>& work);

// Runs args in a fresh process (posix_spawn: it copies no page table of this process), its
// standard output into outPath when one is given, else thrown away, its standard error thrown
// away; returns its wall time.
// A failure ends the bench with a message, unless mayFail.
double Spawn(std::vector<std::string> args, const std::string& outPath = {}, bool mayFail = false);

// The peak resident memory of one run of args in a fresh process, in KB. GNU time measures
// it, from its own small process: a process spawned from this one would count this one's peak
// as its own, which the kernel carries through exec.
long PeakKb(std::vector<std::string> args, const std::string& folder, const std::string& outPath = {},
            bool mayFail = false);

struct Spread {
    double median = 0, min = 0, max = 0;
};
Spread SpreadOf(std::vector<double> values);

// Measurements of two sides taken in pairs: a over b.
class Pairs {
public:
    void Add(double a, double b);
    Spread A() const { return SpreadOf(m_a); }
    Spread B() const { return SpreadOf(m_b); }
    Spread Ratio() const;
    size_t Count() const { return m_a.size(); }
    // One row: what a is, its median, what b is, its median, the ratio's median and spread.
    void Print(const char* a, const char* b, const char* unit = "s") const;

private:
    std::vector<double> m_a, m_b;
};

// A target line: "✓" or "✗", then the text; returns met.
bool Target(bool met, const std::string& text);
// "median 1.023 [1.010–1.041] <= 1.05" for a ratio against its ceiling.
std::string Against(const Spread& ratio, double ceiling);

// A fresh folder under the temporary folder, named after the bench; removed by the caller.
std::string TemporaryFolder(const char* bench);
std::string SelfPath();
// The WOFF2 benches' default fonts: IPA Mincho, the largest TrueType font, and the first member
// of Noto Sans CJK, extracted into folder by fontTools.
std::vector<std::string> LargeFonts(const std::string& folder);
[[noreturn]] void Fail(const std::string& what);

} // namespace bench
