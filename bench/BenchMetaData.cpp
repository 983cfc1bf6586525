// Peak memory of a WOFF decoding whose metadata block claims the most the readers accept
// (kMaxMetaDataSize), against the same decoding of the same font without metadata, each run in
// a fresh process of its own (spawned, not forked, so that no page of this one is counted), the
// runs interleaved. The decoding is the program's: the engine with the application's metadata
// viewer installed, the viewer answered "変換開始" without a display once its field is filled.
//
//   bench_metadata [font] [rounds]
//
// Three WOFFs of the font, made by the engine's encoder:
//   plain    no metadata block;
//   claimed  a block of a few bytes whose header claims the cap: it fails to decompress, and the
//            viewer is shown the cap's worth of zeros after what did decompress;
//   zeros    a real block that decompresses to the cap: a short text, then zeros to the end.
// The target: both metadata runs peak under 100 MB. The decompressed block is the one allocation
// of its size the design asks for: zeros may cost up to the cap over plain, claimed, whose block
// nothing fills, next to nothing.
#include "Dialog.h"
#include "Limits.h"
#include "MessageBox.h"
#include "MetaDataDlg.h"
#include "WOFF.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf";
constexpr double kTargetMb = 100;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_metadata: %s\n", what.c_str());
    std::exit(1);
}

// The peak resident size of this process, from the kernel's own count.
long PeakKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// The child: one decoding as the program runs it, then its peak on standard output.
int RunChild(const char* path)
{
    SetMessageBoxPresenter([](const CString&, UINT, UINT) { return IDOK; });
    InstallMetaDataViewer();
    size_t shown = 0;
    SetDialogPresenter([&shown](CDialog& dialog) -> INT_PTR {
        CString text;
        dialog.GetDlgItem(IDC_EDIT_METADATA)->GetWindowText(text);
        shown = static_cast<size_t>(text.GetLength());
        dialog.ClickButton(IDOK);
        return IDOK;
    });
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) return 1;
    CWOFF woff(&file, FALSE);
    CMemFile out;
    if (!woff.CheckFileType() || !woff.DecodeWOFF(&out)) return 1;
    std::printf("%ld %zu %llu\n", PeakKb(), shown, static_cast<unsigned long long>(out.GetLength()));
    return 0;
}

Bytes Encode(const std::string& font, const Bytes& metadata)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(font), CFile::modeRead)) Fail("cannot open " + font);
    CWOFF woff(&file, TRUE);
    CMemFile out;
    if (!woff.CheckFileType() || !woff.EncodeWOFF(&out, const_cast<BYTE*>(metadata.data()), UINT(metadata.size())))
        Fail("cannot encode " + font);
    return Bytes(out.Data(), out.Data() + out.GetLength());
}

void Put32(Bytes& data, size_t offset, DWORD value)
{
    for (int i = 0; i < 4; ++i) data[offset + i] = BYTE(value >> (24 - 8 * i));
}

void WriteAll(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!out) Fail("cannot write " + path);
}

struct Result {
    long peakKb;
    size_t shownUnits;
};

// Runs the child on woff in a fresh process and reads what it reports.
Result Spawn(const std::string& self, const std::string& woff, const std::string& report)
{
    std::vector<std::string> args = {self, "--child", woff};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int status = 0;
    const bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                    waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!ok) Fail("the decoding of " + woff + " failed");
    std::ifstream in(report);
    Result result{};
    in >> result.peakKb >> result.shownUnits;
    return result;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--child") return RunChild(argv[2]);
    const std::string font = argc > 1 ? argv[1] : kDefaultFont;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string folder = std::filesystem::temp_directory_path() / ("bench_metadata." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);

    const size_t cap = size_t(kMaxMetaDataSize);
    Bytes claimed = Encode(font, {'<', 'm', '/', '>'});
    Put32(claimed, 32, DWORD(cap));
    Bytes zeros(cap, 0);
    std::copy_n("<m/>", 4, zeros.begin());
    const std::map<std::string, Bytes> woffs = {{"plain", Encode(font, {})}, {"claimed", claimed}, {"zeros", Encode(font, zeros)}};
    zeros = Bytes();
    for (const auto& [name, data] : woffs) WriteAll(folder + "/" + name + ".woff", data);

    std::map<std::string, std::vector<double>> peaksMb;
    for (int round = 0; round < rounds; ++round)
        for (const auto& [name, data] : woffs) {
            const Result r = Spawn(self, folder + "/" + name + ".woff", folder + "/report");
            if (name != "plain" && r.shownUnits != 4) Fail("the viewer's field did not show the block's text");
            peaksMb[name].push_back(double(r.peakKb) * 1024 / 1e6);
        }
    std::filesystem::remove_all(folder);

    std::printf("font %s, metadata cap %zu MiB, %d rounds, peak resident memory per decoding run:\n", font.c_str(),
                cap >> 20, rounds);
    const double plain = Median(peaksMb["plain"]);
    for (const char* name : {"plain", "claimed", "zeros"}) {
        const auto& v = peaksMb[name];
        const double median = Median(v);
        std::printf("  %-8s median %7.1f MB (%.1f to %.1f)  over plain %6.1f MB = %.2f x the cap  %s\n", name, median,
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), median - plain,
                    (median - plain) / (double(cap) / 1e6), median < kTargetMb ? "under 100 MB" : "OVER 100 MB");
    }
    return 0;
}
