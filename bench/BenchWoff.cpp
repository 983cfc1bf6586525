// Measures the WOFF 1.0 encoder against its physical floor (zlib level 9 over the same tables,
// nothing else) and against the reference WOFF encoder (sfnt2woff), like with like: the encoder
// and zlib alone in this process; a whole encode in a fresh process (open, check, encode, write
// the file) against a whole sfnt2woff process, for time and for peak memory.
//
//   bench_woff [font [repeats]]
//
// Without a font it takes IPA Mincho and the first member of the Noto Sans CJK collection,
// written as a font of its own by the engine's extraction, as the program writes a picked member.
#include "BenchSupport.h"
#include "WOFF.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using namespace bench;
using Bytes = std::vector<unsigned char>;

constexpr const char* kMincho = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
constexpr const char* kNotoCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
constexpr const char* kReferenceEncoder = "/usr/bin/sfnt2woff";

std::uint32_t Be32(const Bytes& d, size_t o) { return (d[o] << 24u) | (d[o + 1] << 16u) | (d[o + 2] << 8u) | d[o + 3]; }

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

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
    return Time([&] {
        for (size_t i = 0; i < tables.size(); ++i) {
            uLongf length = out[i].size();
            compress2(out[i].data(), &length, tables[i].data(), tables[i].size(), Z_BEST_COMPRESSION);
        }
    });
}

// One whole encode as the program does it: open the font, check it, encode into a memory file.
bool EncodeOnce(const std::string& path, CMemFile& out)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(path), CFile::modeRead)) return false;
    CWOFF woff(&file, TRUE);
    return woff.CheckFileType() && woff.EncodeWOFF(&out, nullptr, 0);
}

double TimeEncode(const std::string& path)
{
    return Time([&] {
        CMemFile out;
        if (!EncodeOnce(path, out)) Fail("the encoder failed on " + path);
    });
}

// Child mode: one encode, its file written plainly, as sfnt2woff writes its own.
int EncodeToFile(const char* font, const char* woffPath)
{
    CMemFile out;
    if (!EncodeOnce(font, out)) return 1;
    std::ofstream(woffPath, std::ios::binary).write(reinterpret_cast<const char*>(out.Data()), std::streamsize(out.GetLength()));
    return 0;
}

// Child mode: the first member of a collection as a font of its own, as the program writes it.
int ExtractFirstMember(const char* collection, const char* fontPath)
{
    CFile file;
    if (!file.Open(CString::FromUtf8(collection), CFile::modeRead)) return 1;
    CWOFF woff(&file, TRUE);
    if (!woff.CheckFileType() || !woff.m_bTTC) return 1;
    woff.ReadTTCHeader(&file);
    woff.ReadFontHeader();
    CMemFile out;
    if (!woff.ExtractFont(&out)) return 1;
    std::ofstream(fontPath, std::ios::binary).write(reinterpret_cast<const char*>(out.Data()), std::streamsize(out.GetLength()));
    return 0;
}

void Bench(const std::string& font, int repeats, const std::string& folder)
{
    const Bytes bytes = ReadAll(font);
    const std::vector<Bytes> tables = TablesOf(bytes);
    // The reference encoder writes beside its input: it gets a copy in the bench's folder.
    const std::string copy = folder + "/font.ttf", ours = folder + "/ours.woff";
    std::filesystem::copy_file(font, copy, std::filesystem::copy_options::overwrite_existing);
    const std::string self = SelfPath();

    Pairs inProcess, process, memory;
    TimeEncode(font);  // warms the page cache and the allocator
    for (int i = 0; i < repeats; ++i) {
        inProcess.Add(TimeEncode(font), TimeCompressOnly(tables));
        process.Add(Spawn({self, "--encode", font, ours}), Spawn({kReferenceEncoder, copy}));
    }
    for (int i = 0; i < 3; ++i)
        memory.Add(PeakKb({self, "--encode", font, ours}, folder) / 1024.0, PeakKb({kReferenceEncoder, copy}, folder) / 1024.0);

    std::printf("%s (%zu bytes, %zu tables; WOFF %ju bytes, sfnt2woff's %ju)\n", font.c_str(), bytes.size(),
                tables.size(), std::uintmax_t(std::filesystem::file_size(ours)),
                std::uintmax_t(std::filesystem::file_size(folder + "/font.woff")));
    inProcess.Print("encode, in this process", "zlib level 9 alone");
    process.Print("encode, fresh process", "sfnt2woff, fresh process");
    memory.Print("encode, fresh process: peak", "sfnt2woff: peak", "MB");
    Target(inProcess.Ratio().median <= 1.05, "encode / zlib " + Against(inProcess.Ratio(), 1.05));
    // Both processes spend nearly all their time in the same level-9 deflate of the same tables,
    // so neither can be much faster than the other: the encoder's own work must stay within a
    // few per cent of the floor, which is what this holds it to.
    Target(process.Ratio().median <= 1.05, "encode process / sfnt2woff " + Against(process.Ratio(), 1.05));
    Target(memory.Ratio().median <= 1.10, "peak memory / sfnt2woff's " + Against(memory.Ratio(), 1.10));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--encode") == 0) return EncodeToFile(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--extract") == 0) return ExtractFirstMember(argv[2], argv[3]);

    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const std::string folder = TemporaryFolder("bench_woff");
    std::vector<std::string> fonts;
    if (argc > 1) {
        fonts.push_back(argv[1]);
    } else {
        const std::string member = folder + "/NotoSansCJK-member0.otf";
        Spawn({SelfPath(), "--extract", kNotoCjk, member});
        fonts = {kMincho, member};
    }
    std::printf("runs: %d pairs, interleaved; medians, [smallest–largest] ratio\n\n", repeats);
    for (const std::string& font : fonts) Bench(font, repeats, folder);
    std::filesystem::remove_all(folder);
    return 0;
}
