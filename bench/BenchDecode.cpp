// Measures the WOFF 1.0 decoder and the collection member extraction against their physical
// floors and against the reference WOFF decoder (woff2sfnt), in one run, the runs interleaved
// so that every side sees the same machine.
//
//   bench_decode [font] [collection] [repeats]
//
// Decoding: the font is first made into a WOFF by the engine's encoder; the floor is zlib's
// uncompress of its tables alone, into buffers allocated beforehand. woff2sfnt runs in a fresh
// process writing its font to a file; the engine's whole decoding, as the program runs it
// (open, check, decode, write the font file), runs in the same way (bench_decode_child, beside
// this program) for the comparison and for peak memory. Extraction: the largest member of the
// collection; the floor is reading its tables twice, in the pieces the extraction reads them
// in, into one buffer.
#include "WOFF.h"

#include <algorithm>
#include <chrono>
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
#include <zlib.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
constexpr const char* kDefaultCollection = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
constexpr const char* kReferenceDecoder = "/usr/bin/woff2sfnt";
constexpr const char* kTimeTool = "/usr/bin/time";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::uint32_t Be32(const Bytes& d, size_t o)
{
    return (std::uint32_t(d[o]) << 24) | (std::uint32_t(d[o + 1]) << 16) | (std::uint32_t(d[o + 2]) << 8) | d[o + 3];
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_decode: %s\n", what.c_str());
    std::exit(1);
}

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The WOFF the benchmark decodes, made by the engine's own encoder.
Bytes MakeWoff(const std::string& font)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(font), CFile::modeRead)) Fail("cannot open " + font);
    CWOFF woff(&file, TRUE);
    CMemFile out;
    if (!woff.CheckFileType() || !woff.EncodeWOFF(&out, nullptr, 0)) Fail("cannot encode " + font);
    return Bytes(out.Data(), out.Data() + out.GetLength());
}

struct Packed {
    Bytes data;
    uLongf origLength;
};

// The compressed tables of a WOFF, cut out beforehand (stored tables need no zlib).
std::vector<Packed> PackedTables(const Bytes& woff)
{
    std::vector<Packed> tables;
    const size_t n = (woff[12] << 8) | woff[13];
    for (size_t i = 0; i < n; ++i) {
        const size_t r = 44 + 20 * i;
        const size_t offset = Be32(woff, r + 4), comp = Be32(woff, r + 8), orig = Be32(woff, r + 12);
        if (comp < orig) tables.push_back({Bytes(woff.begin() + long(offset), woff.begin() + long(offset + comp)), orig});
    }
    return tables;
}

double TimeUncompressOnly(const std::vector<Packed>& tables)
{
    std::vector<Bytes> out;
    for (const Packed& t : tables) out.emplace_back(t.origLength);
    const auto start = Clock::now();
    for (size_t i = 0; i < tables.size(); ++i) {
        uLongf length = tables[i].origLength;
        if (uncompress(out[i].data(), &length, tables[i].data.data(), tables[i].data.size()) != Z_OK) Fail("zlib failed");
    }
    return Seconds(Clock::now() - start);
}

// One decoding in this process, into memory.
bool DecodeOnce(const std::string& path, size_t* outLength = nullptr)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) return false;
    CWOFF woff(&file, FALSE);
    if (!woff.CheckFileType()) return false;
    CMemFile out;
    if (!woff.DecodeWOFF(&out)) return false;
    if (outLength) *outLength = out.GetLength();
    return true;
}

double TimeDecode(const std::string& path)
{
    const auto start = Clock::now();
    if (!DecodeOnce(path)) Fail("the decoder failed on " + path);
    return Seconds(Clock::now() - start);
}

// Runs argv in a fresh process, standard output into outPath when given; returns its wall time.
double RunChild(std::vector<std::string> args, const std::string& outPath = {})
{
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outPath.empty()) posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    const bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                    waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double seconds = Seconds(Clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    if (!ok) Fail(args[0] + " failed");
    return seconds;
}

// Peak resident memory of one run of argv, in KB, measured by GNU time.
long PeakMemoryKb(const std::string& folder, std::vector<std::string> args, const std::string& outPath = {})
{
    const std::string report = folder + "/rss";
    args.insert(args.begin(), {kTimeTool, "-f", "%M", "-o", report});
    RunChild(args, outPath);
    std::ifstream in(report);
    long kb = 0;
    in >> kb;
    return kb;
}

struct Range {
    std::uint32_t offset, length;
};

// The member of the collection whose tables hold the most bytes, and those tables.
int LargestMember(const Bytes& ttc, std::vector<Range>& tables)
{
    const std::uint32_t count = Be32(ttc, 8);
    int best = -1;
    std::uint64_t bestSize = 0;
    for (std::uint32_t m = 0; m < count; ++m) {
        const size_t start = Be32(ttc, 12 + 4 * m);
        const size_t n = (ttc[start + 4] << 8) | ttc[start + 5];
        std::vector<Range> ranges;
        std::uint64_t size = 0;
        for (size_t i = 0; i < n; ++i) {
            const size_t r = start + 12 + 16 * i;
            ranges.push_back({Be32(ttc, r + 8), Be32(ttc, r + 12)});
            size += ranges.back().length;
        }
        if (size > bestSize) {
            best = int(m);
            bestSize = size;
            tables = ranges;
        }
    }
    return best;
}

// The floor of an extraction: every table read from the file twice.
double TimeReadTwice(const std::string& path, const std::vector<Range>& tables)
{
    std::uint32_t longest = 0;
    for (const Range& t : tables) longest = std::max(longest, t.length);
    constexpr std::uint32_t kPiece = 1u << 20;
    Bytes buffer(std::min(longest, kPiece));
    const auto start = Clock::now();
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) Fail("cannot open " + path);
    for (int pass = 0; pass < 2; ++pass)
        for (const Range& t : tables) {
            file.Seek(t.offset, CFile::begin);
            for (std::uint32_t done = 0; done < t.length;) {
                const std::uint32_t n = std::min(kPiece, t.length - done);
                if (file.Read(buffer.data(), n) != n) Fail("short read");
                done += n;
            }
        }
    return Seconds(Clock::now() - start);
}

double TimeExtract(const std::string& path, int member, size_t* outLength = nullptr)
{
    const auto start = Clock::now();
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) Fail("cannot open " + path);
    CWOFF woff(&file, TRUE);
    if (!woff.CheckFileType()) Fail("not a collection: " + path);
    woff.ReadTTCHeader(&file);
    woff.m_nFontNumber = member;
    woff.ReadFontHeader();
    CMemFile out;
    if (!woff.ExtractFont(&out)) Fail("the extraction failed");
    if (outLength) *outLength = out.GetLength();
    return Seconds(Clock::now() - start);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv)
{
    const std::string font = argc > 1 ? argv[1] : kDefaultFont;
    const std::string collection = argc > 2 ? argv[2] : kDefaultCollection;
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;

    const std::string folder = (std::filesystem::temp_directory_path() / "bench_decode-XXXXXX").string();
    std::vector<char> pattern(folder.begin(), folder.end());
    pattern.push_back('\0');
    if (!mkdtemp(pattern.data())) Fail("cannot make a temporary folder");
    const std::string dir = pattern.data();
    const std::string woffPath = dir + "/font.woff";
    const Bytes woff = MakeWoff(font);
    {
        std::ofstream out(woffPath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(woff.data()), std::streamsize(woff.size()));
    }
    const std::vector<Packed> packed = PackedTables(woff);
    const std::string child =
        (std::filesystem::canonical("/proc/self/exe").parent_path() / "bench_decode_child").string();
    const std::string mine = dir + "/mine.ttf", theirs = dir + "/theirs.ttf";

    std::vector<Range> memberTables;
    const int member = LargestMember(ReadAll(collection), memberTables);

    std::vector<double> floor, decode, decodeChild, reference, readTwice, extract;
    TimeDecode(woffPath);  // warm the page cache and the allocator
    TimeExtract(collection, member);
    for (int i = 0; i < repeats; ++i) {
        floor.push_back(TimeUncompressOnly(packed));
        decode.push_back(TimeDecode(woffPath));
        decodeChild.push_back(RunChild({child, woffPath, mine}));
        reference.push_back(RunChild({kReferenceDecoder, woffPath}, theirs));
        readTwice.push_back(TimeReadTwice(collection, memberTables));
        extract.push_back(TimeExtract(collection, member));
    }
    long decodeRss = 0, referenceRss = 0;
    for (int i = 0; i < 3; ++i) {
        referenceRss = std::max(referenceRss, PeakMemoryKb(dir, {kReferenceDecoder, woffPath}, theirs));
        decodeRss = std::max(decodeRss, PeakMemoryKb(dir, {child, woffPath, mine}));
    }
    size_t fontLength = 0, memberLength = 0;
    DecodeOnce(woffPath, &fontLength);
    TimeExtract(collection, member, &memberLength);
    std::filesystem::remove_all(dir);

    std::printf("font              %s (WOFF %zu bytes, %zu compressed tables, decoded %zu bytes)\n", font.c_str(),
                woff.size(), packed.size(), fontLength);
    std::printf("collection        %s, member %d (%zu tables, extracted %zu bytes)\n", collection.c_str(), member,
                memberTables.size(), memberLength);
    std::printf("runs              %d, best (median) seconds\n", repeats);
    std::printf("zlib uncompress   %.4f (%.4f)\n", Best(floor), Median(floor));
    std::printf("decode            %.4f (%.4f)\n", Best(decode), Median(decode));
    std::printf("decode, process   %.4f (%.4f)  open, decode, write the font, in a fresh process\n", Best(decodeChild),
                Median(decodeChild));
    std::printf("woff2sfnt         %.4f (%.4f)\n", Best(reference), Median(reference));
    std::printf("read tables twice %.4f (%.4f)\n", Best(readTwice), Median(readTwice));
    std::printf("extract           %.4f (%.4f)\n", Best(extract), Median(extract));
    std::printf("decode / uncompress          %.3f  (target <= 1.10)\n", Best(decode) / Best(floor));
    std::printf("decode / woff2sfnt           %.3f  (target <= 0.95; decoding in this process, woff2sfnt in its own)\n",
                Best(decode) / Best(reference));
    std::printf("decode process / woff2sfnt   %.3f  (both in a fresh process, each writing the font file)\n",
                Best(decodeChild) / Best(reference));
    std::printf("peak memory  decode %ld KB, woff2sfnt %ld KB, ratio %.3f  (target <= 1.5)\n", decodeRss, referenceRss,
                double(decodeRss) / double(referenceRss));
    std::printf("extract / read twice         %.3f  (target <= 1.5)\n", Best(extract) / Best(readTwice));
    return 0;
}
