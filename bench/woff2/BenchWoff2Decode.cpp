// Measures the memory of decoding a WOFF2 file, as the decoding run does it, for a sound file
// and for one whose header claims far more than its data rebuilds:
//
//   bench_woff2_decode [repeats] [font...]
//
// Each font (without any: IPA Mincho and the first member of the Noto Sans CJK collection,
// extracted with fontTools) is made into a WOFF2 by the reference encoder (woff2_compress). From
// it the bench makes a hostile twin: totalSfntSize raised to the largest claim the program
// accepts for a file of its size (1 GiB for a file of 1 MiB or more), and the end of its
// compressed stream scrambled, so that the decode fails after the claim was read. Each decode
// runs in a fresh process (this program in its child mode, under /usr/bin/time), the sound and
// the hostile file and the reference decoder (woff2_decompress) on the sound file interleaved;
// it prints the medians and spreads of their peak resident memory, beside the process's peak
// when it decodes nothing, and the targets met (✓) or not (✗): a sound decode peaks at most 1.5
// times the reference decoder, and the hostile claim fails under 100 MB.
#include "BenchSupport.h"
#include "Limits.h"
#include "MessageBox.h"
#include "WOFF.h"
#include "Woff2Step.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<char>;

constexpr const char* kReferenceEncoder = "/usr/bin/woff2_compress";
constexpr const char* kReferenceDecoder = "/usr/bin/woff2_decompress";
constexpr const char* kTimeTool = "/usr/bin/time";
// The child's exit codes.
constexpr int kDecoded = 0;
constexpr int kRefused = 3;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_woff2_decode: %s\n", what.c_str());
    std::exit(1);
}

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) Fail("cannot write " + path);
}

std::uint32_t Be32(const Bytes& d, size_t o)
{
    auto b = [&](size_t i) { return std::uint32_t(static_cast<unsigned char>(d[o + i])); };
    return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

void PutBe32(Bytes& d, size_t o, std::uint32_t v)
{
    for (size_t i = 0; i < 4; ++i) d[o + i] = static_cast<char>(v >> (24 - 8 * i));
}

// Runs argv in a fresh process under the time tool; returns its exit code, and its peak
// resident memory in KB in peakKb.
int RunMeasured(const std::vector<std::string>& command, const std::string& report, long& peakKb)
{
    std::vector<std::string> args = {kTimeTool, "-f", "%M", "-o", report};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 0;
    const bool ran = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                     waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    posix_spawn_file_actions_destroy(&actions);
    if (!ran) Fail(command[0] + " did not run");
    // The time tool notes a child's non-zero exit on a line of its own before the figure.
    std::ifstream in(report);
    std::string line;
    peakKb = 0;
    while (std::getline(in, line))
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) peakKb = std::atol(line.c_str());
    return WEXITSTATUS(status);
}

// Child mode: the decoding run's part on src, writing the font to dst, in this fresh process.
// With no src it only starts, for the process's own peak.
int DecodeOnce(const char* src, const char* dst)
{
    if (!src) return kDecoded;
    bool reported = false;
    SetMessageBoxPresenter([&](const CString&, UINT, UINT) {
        reported = true;
        return IDOK;
    });
    CFile file;
    if (!file.Open(CString::FromUtf8(src), CFile::modeRead)) return 1;
    CWOFF woff(&file, FALSE);
    if (!woff.CheckFileType() || !woff.m_bWOFF2) return 1;
    if (ConvertWOFF2ToFont(&woff, CString::FromUtf8(src), CString::FromUtf8(dst))) return kDecoded;
    return reported ? kRefused : 1;
}

struct Figures {
    std::vector<long> kb;
    void Add(long v) { kb.push_back(v); }
    long Median() const
    {
        std::vector<long> s = kb;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    long Spread() const
    {
        const auto [lo, hi] = std::minmax_element(kb.begin(), kb.end());
        return *hi - *lo;
    }
};

double Mb(long kb) { return double(kb) / 1024; }

// The hostile twin of the sound WOFF2: the largest claim the program takes for a file this
// size, and the last quarter of its compressed stream scrambled.
Bytes Hostile(const Bytes& sound)
{
    Bytes hostile = sound;
    const unsigned long long largest = std::min<unsigned long long>(kMaxSfntSize, hostile.size() * kMaxWOFF2Expansion);
    PutBe32(hostile, 16, static_cast<std::uint32_t>(largest));
    for (size_t i = hostile.size() * 3 / 4; i < hostile.size(); ++i) hostile[i] = static_cast<char>(hostile[i] ^ 0x5A);
    return hostile;
}

// Returns whether both targets were met.
bool Bench(const std::string& font, int repeats, const std::string& folder, const std::string& self)
{
    const std::string copy = folder + "/font" + std::filesystem::path(font).extension().string();
    std::filesystem::copy_file(font, copy, std::filesystem::copy_options::overwrite_existing);
    long ignored = 0;
    if (RunMeasured({kReferenceEncoder, copy}, folder + "/report", ignored) != 0) Fail("woff2_compress failed");
    const std::string sound = folder + "/font.woff2";
    const Bytes soundBytes = ReadAll(sound);
    const std::string hostile = folder + "/hostile.woff2";
    const Bytes hostileBytes = Hostile(soundBytes);
    WriteAll(hostile, hostileBytes);
    const std::string report = folder + "/report";
    const std::string out = folder + "/out.ttf";

    Figures idle, refused;
    bench::Pairs decoded;  // the decoding run over the reference decoder, in MB
    for (int i = 0; i < repeats; ++i) {
        long kb = 0;
        RunMeasured({self, "--decode-once"}, report, kb);
        idle.Add(kb);
        long ours = 0, reference = 0;
        if (RunMeasured({self, "--decode-once", sound, out}, report, ours) != kDecoded) Fail("the sound file failed");
        std::filesystem::remove(out);
        if (RunMeasured({self, "--decode-once", hostile, out}, report, kb) != kRefused)
            Fail("the hostile file was not refused with the decoding message");
        refused.Add(kb);
        if (std::filesystem::exists(out)) Fail("the hostile file left a font behind");
        if (RunMeasured({kReferenceDecoder, sound}, report, reference) != 0) Fail("woff2_decompress failed");
        decoded.Add(Mb(ours), Mb(reference));
    }

    std::printf("font                 %s\n", font.c_str());
    std::printf("WOFF2                %zu bytes, totalSfntSize %u; hostile twin claims %u bytes\n", soundBytes.size(),
                Be32(soundBytes, 16), Be32(hostileBytes, 16));
    std::printf("runs                 %d, each in a fresh process; peak resident memory, median (spread)\n", repeats);
    std::printf("process, no decode   %8.1f MB (%.1f)\n", Mb(idle.Median()), Mb(idle.Spread()));
    std::printf("hostile claim fails  %8.1f MB (%.1f)\n", Mb(refused.Median()), Mb(refused.Spread()));
    std::printf("hostile peak / claim %8.3f\n", double(refused.Median()) * 1024 / double(Be32(hostileBytes, 16)));
    decoded.Print("sound file decoded", "woff2_decompress on it", "MB");
    const bool bounded = bench::Target(decoded.Ratio().median <= 1.5,
                                       "a sound decode peaks at most 1.5 times woff2_decompress: " +
                                           bench::Against(decoded.Ratio(), 1.5));
    char text[96];
    std::snprintf(text, sizeof text, "the hostile claim fails under 100 MB: %.1f MB", Mb(refused.Median()));
    const bool claim = bench::Target(Mb(refused.Median()) < 100, text);
    std::printf("\n");
    return bounded && claim;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--decode-once") == 0)
        return DecodeOnce(argc > 3 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr);

    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string folder = bench::TemporaryFolder("bench_woff2_decode");
    std::vector<std::string> fonts(argv + std::min(argc, 2), argv + argc);
    if (fonts.empty()) {
        fonts = bench::LargeFonts(folder);
    }
    const std::string self = bench::SelfPath();
    bool met = true;
    for (const std::string& font : fonts) met = Bench(font, repeats, folder, self) && met;
    std::filesystem::remove_all(folder);
    return met ? 0 : 2;
}
