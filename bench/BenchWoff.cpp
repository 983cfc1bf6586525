// Measures the WOFF 1.0 encoder on a large font against its physical floor (zlib level 9 over
// the same tables, nothing else) and against the reference WOFF encoder (sfnt2woff), in one
// run, with the runs interleaved so that both sides see the same machine.
//
//   bench_woff [font] [repeats]
//
// Prints the best time of each side, the ratios, and the peak memory of one encode and of one
// sfnt2woff run, each measured in a fresh child process.
#include "WOFF.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
constexpr const char* kReferenceEncoder = "/usr/bin/sfnt2woff";
constexpr const char* kTimeTool = "/usr/bin/time";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::uint32_t Be32(const Bytes& d, size_t o) { return (d[o] << 24u) | (d[o + 1] << 16u) | (d[o + 2] << 8u) | d[o + 3]; }

// The tables the encoder compresses (all but "DSIG"), cut out of the font beforehand.
std::vector<Bytes> TablesOf(const Bytes& font)
{
    std::vector<Bytes> tables;
    const size_t n = (font[4] << 8) | font[5];
    for (size_t i = 0; i < n; ++i) {
        const size_t r = 12 + 16 * i;
        if (std::memcmp(&font[r], "DSIG", 4) == 0) continue;
        const size_t offset = Be32(font, r + 8), length = Be32(font, r + 12);
        tables.emplace_back(font.begin() + long(offset), font.begin() + long(offset + length));
    }
    return tables;
}

// The floor: level 9 over every table, into buffers allocated beforehand.
double TimeCompressOnly(const std::vector<Bytes>& tables)
{
    std::vector<Bytes> out;
    for (const Bytes& t : tables) out.emplace_back(compressBound(t.size()));
    const auto start = Clock::now();
    for (size_t i = 0; i < tables.size(); ++i) {
        uLongf length = out[i].size();
        compress2(out[i].data(), &length, tables[i].data(), tables[i].size(), Z_BEST_COMPRESSION);
    }
    return Seconds(Clock::now() - start);
}

// One whole encode as the program does it: open the font, check it, encode into a memory file.
bool EncodeOnce(const std::string& path, size_t* outLength)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) return false;
    CWOFF woff(&file, TRUE);
    if (!woff.CheckFileType()) return false;
    CMemFile out;
    if (!woff.EncodeWOFF(&out, nullptr, 0)) return false;
    if (outLength) *outLength = out.GetLength();
    return true;
}

double TimeEncode(const std::string& path)
{
    const auto start = Clock::now();
    if (!EncodeOnce(path, nullptr)) {
        std::fprintf(stderr, "bench_woff: the encoder failed on %s\n", path.c_str());
        std::exit(1);
    }
    return Seconds(Clock::now() - start);
}

// Runs argv in a fresh process and returns its wall time. posix_spawn does not copy this
// process's page tables, so a large benchmark process does not slow the child's start.
double RunChild(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_woff: %s failed\n", args[0].c_str());
        std::exit(1);
    }
    return Seconds(Clock::now() - start);
}

// Peak resident memory of one run of argv, in KB. GNU time measures it: its child starts from
// the small time process, not from this one, whose pages a forked child would count as its own.
long PeakMemoryKb(const std::string& folder, std::vector<std::string> args)
{
    const std::string report = folder + "/rss";
    args.insert(args.begin(), {kTimeTool, "-f", "%M", "-o", report});
    RunChild(args);
    std::ifstream in(report);
    long kb = 0;
    in >> kb;
    return kb;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    // Child mode: one encode, for the memory measurement.
    if (argc == 3 && std::strcmp(argv[1], "--encode-once") == 0) return EncodeOnce(argv[2], nullptr) ? 0 : 1;

    const std::string font = argc > 1 ? argv[1] : kDefaultFont;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    std::ifstream in(font, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "bench_woff: cannot read %s\n", font.c_str());
        return 1;
    }
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<Bytes> tables = TablesOf(bytes);

    // The reference encoder writes beside its input: give it a copy in a folder of its own.
    std::string folder = (std::filesystem::temp_directory_path() / "bench_woff-XXXXXX").string();
    if (!mkdtemp(folder.data())) return 1;
    const std::string copy = folder + "/font.ttf";
    std::filesystem::copy_file(font, copy);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    std::vector<double> floor, encode, reference;
    long encodeRss = 0, referenceRss = 0;
    TimeEncode(font);  // warm the page cache and the allocator
    for (int i = 0; i < repeats; ++i) {
        floor.push_back(TimeCompressOnly(tables));
        encode.push_back(TimeEncode(font));
        reference.push_back(RunChild({kReferenceEncoder, copy}));
    }
    for (int i = 0; i < 3; ++i) {
        referenceRss = std::max(referenceRss, PeakMemoryKb(folder, {kReferenceEncoder, copy}));
        encodeRss = std::max(encodeRss, PeakMemoryKb(folder, {self, "--encode-once", font}));
    }
    std::filesystem::remove_all(folder);

    size_t woffLength = 0;
    EncodeOnce(font, &woffLength);
    const double f = *std::min_element(floor.begin(), floor.end());
    const double e = *std::min_element(encode.begin(), encode.end());
    const double r = *std::min_element(reference.begin(), reference.end());
    std::printf("font            %s (%zu bytes, %zu tables; WOFF %zu bytes)\n", font.c_str(), bytes.size(), tables.size(), woffLength);
    std::printf("runs            %d, best (median) seconds\n", repeats);
    std::printf("zlib level 9    %.4f (%.4f)\n", f, Median(floor));
    std::printf("encode          %.4f (%.4f)\n", e, Median(encode));
    std::printf("sfnt2woff       %.4f (%.4f)\n", r, Median(reference));
    std::printf("encode / zlib       %.3f  (target <= 1.05)\n", e / f);
    std::printf("encode / sfnt2woff  %.3f  (target <= 0.95)\n", e / r);
    std::printf("peak memory     encode %ld KB, sfnt2woff %ld KB, ratio %.3f  (target <= 1.5)\n", encodeRss, referenceRss,
                double(encodeRss) / double(referenceRss));
    return 0;
}
