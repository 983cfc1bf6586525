// Compressed EOT made by the embedding library, measured against the same font as WOFF 1.0
// (made by sfnt2woff) and against zlib level 9 over every table (the floor of a WOFF encode).
//
// Prints per font: source bytes, EOT bytes, EOT / source, EOT / WOFF, and the EOT encode time
// over the zlib time, as the median of interleaved pairs with the spread of their ratios (after
// one run of each that warms the cache). The figures are for reading: EOT has no target here.
// Usage: bench_eot [font [index]]...
#include "BenchSupport.h"
#include "Library.h"
#include "T2embed.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<unsigned char>;

struct Font {
    std::string path;
    int index;
};

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Be(const Bytes& b, size_t at, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | b.at(at + size_t(i));
    return v;
}

void Put(Bytes& b, std::uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::map<std::uint32_t, Bytes> Tables(const Bytes& file, int index)
{
    size_t at = 0;
    if (Be(file, 0, 4) == 0x74746366) at = Be(file, 12 + 4 * size_t(index), 4);
    std::map<std::uint32_t, Bytes> tables;
    for (std::uint32_t i = 0; i < Be(file, at + 4, 2); ++i) {
        const size_t e = at + 12 + 16 * i;
        const std::uint32_t off = Be(file, e + 8, 4), len = Be(file, e + 12, 4);
        tables[Be(file, e, 4)] = Bytes(file.begin() + off, file.begin() + off + len);
    }
    return tables;
}

// The member as a font of its own, for sfnt2woff and as the size to compare with.
Bytes Standalone(const std::map<std::uint32_t, Bytes>& tables)
{
    Bytes out;
    Put(out, 0x00010000, 4);
    Put(out, std::uint32_t(tables.size()), 2);
    std::uint32_t sel = 0;
    while ((2u << sel) <= tables.size()) ++sel;
    Put(out, 16u << sel, 2);
    Put(out, sel, 2);
    Put(out, std::uint32_t(tables.size()) * 16 - (16u << sel), 2);
    std::uint32_t offset = 12 + 16 * std::uint32_t(tables.size());
    for (const auto& [tag, data] : tables) {
        std::uint32_t sum = 0;
        for (size_t i = 0; i < data.size(); i += 4) {
            std::uint32_t w = 0;
            for (size_t k = 0; k < 4; ++k) w = w << 8 | (i + k < data.size() ? data[i + k] : 0);
            sum += w;
        }
        Put(out, tag, 4);
        Put(out, sum, 4);
        Put(out, offset, 4);
        Put(out, std::uint32_t(data.size()), 4);
        offset += (std::uint32_t(data.size()) + 3) & ~3u;
    }
    for (const auto& [tag, data] : tables) {
        out.insert(out.end(), data.begin(), data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

unsigned long Collect(void* stream, const void* buffer, const unsigned long size)
{
    auto* out = static_cast<Bytes*>(stream);
    out->insert(out->end(), static_cast<const unsigned char*>(buffer), static_cast<const unsigned char*>(buffer) + size);
    return size;
}

constexpr int kPairs = 5;

size_t ZlibAllTables(const std::map<std::uint32_t, Bytes>& tables)
{
    size_t total = 0;
    for (const auto& [tag, data] : tables) {
        uLongf size = compressBound(data.size());
        Bytes out(size);
        compress2(out.data(), &size, data.data(), data.size(), 9);
        total += size;
    }
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Font> fonts;
    for (int i = 1; i < argc; ++i) {
        const bool hasIndex = i + 1 < argc && std::isdigit(static_cast<unsigned char>(argv[i + 1][0]));
        fonts.push_back({argv[i], hasIndex ? std::atoi(argv[i + 1]) : 0});
        if (hasIndex) ++i;
    }
    if (fonts.empty()) {
        fonts = {{"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0},
                 {"/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", 0},
                 {"/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf", 0},
                 {"/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf", 0},
                 {"/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", 0}};
    }
    HMODULE module = LoadLibraryW(u"T2embed.dll");
    auto embed = module ? reinterpret_cast<PFN_TTEmbedFontFromFileA>(GetProcAddress(module, "TTEmbedFontFromFileA")) : nullptr;
    if (!embed) {
        std::fprintf(stderr, "cannot load %s\n", LibraryFilePath(u"T2embed.dll").c_str());
        return 1;
    }
    const std::string temp = (std::filesystem::temp_directory_path() / "bench_eot.ttf").string();
    std::printf("%-28s %10s %10s %10s %8s %8s  %s\n", "font", "source", "WOFF 1.0", "EOT", "EOT/src", "EOT/WOFF",
                "time / zlib 9, median [smallest–largest] of 5 interleaved pairs");
    int status = 0;
    for (const Font& f : fonts) {
        const auto tables = Tables(ReadAll(f.path), f.index);
        const Bytes source = Standalone(tables);
        std::ofstream(temp, std::ios::binary).write(reinterpret_cast<const char*>(source.data()), std::streamsize(source.size()));
        const std::string woffPath = temp.substr(0, temp.size() - 4) + ".woff";
        std::filesystem::remove(woffPath);
        if (std::system(("/usr/bin/sfnt2woff '" + temp + "' >/dev/null 2>&1").c_str()) != 0) status = 1;
        const size_t woff = ReadAll(woffPath).size();

        Bytes eot;
        LONG result = 0;
        const auto encode = [&] {
            eot.clear();
            ULONG priv = 0, st = 0;
            result = embed(nullptr, f.path.c_str(), static_cast<USHORT>(f.index), TTEMBED_TTCOMPRESSED, CHARSET_UNICODE,
                           &priv, &st, Collect, &eot, nullptr, 0, 0, nullptr);
        };
        const auto zlib = [&] { ZlibAllTables(tables); };
        encode();
        zlib();
        bench::Pairs times;
        for (int i = 0; i < kPairs; ++i) times.Add(bench::Time(encode), bench::Time(zlib));
        if (result != E_NONE) {
            std::printf("%s: error %d\n", f.path.c_str(), result);
            status = 1;
            continue;
        }
        std::string name = std::filesystem::path(f.path).filename().string();
        if (f.index) name.append(1, '#').append(std::to_string(f.index));
        const bench::Spread ratio = times.Ratio();
        std::printf("%-28s %10zu %10zu %10zu %8.3f %8.3f  %.2f [%.2f–%.2f]\n", name.c_str(), source.size(), woff,
                    eot.size(), double(eot.size()) / double(source.size()), woff ? double(eot.size()) / double(woff) : 0.0,
                    ratio.median, ratio.min, ratio.max);
    }
    std::filesystem::remove(temp);
    std::filesystem::remove(temp.substr(0, temp.size() - 4) + ".woff");
    FreeLibrary(module);
    return status;
}
