// Measures the settings store at its size cap: a file of about 800,000 values, the most the
// cap lets a store hold, read through the registry calls as the program reads its options.
//
//   bench_registry [repetitions]
//
// In interleaved pairs, the floor (reading the file into memory) and a load through
// RegOpenKeyExW and RegQueryValueExW that cannot use what an earlier call read (two copies of
// the store are read in turn); then the reader alone on the bytes; then the program's start
// (seven options, each through its own open and query) and its exit (seven options written).
// Prints medians and the spread of the ratios; the target is a load under 1 s.
#include "Registry.h"
#include "RegistryText.h"
#include "String.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char16_t* kKey = u"SOFTWARE\\Orvisto\\Fenwrap\\3.2.0\\Settings";
constexpr const char16_t* kOptions[] = {u"bMakeWOFF2", u"bMakeEOT", u"bMetaData", u"bSampleHtml",
                                        u"bAddSrcFont", u"strMetaDataFile", u"strSampleString"};

double Seconds(const std::function<void()>& body)
{
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The fullest store the cap allows: the seven options, then short values up to the cap.
std::string CapStore(size_t& values)
{
    std::string text = "Fenwrap registry 1\n[SOFTWARE\\Orvisto\\Fenwrap\\3.2.0\\Settings]\n";
    for (const char16_t* option : kOptions) text += CString(option).ToUtf8() + "\t4\t01000000\n";
    values = std::size(kOptions);
    for (;; ++values) {
        std::string line = "v";
        line += std::to_string(values);
        line += "\t4\t01000000\n";
        if (text.size() + line.size() > kMaxRegistryStoreBytes) return text;
        text += line;
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool QueryOption(const char16_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    BYTE data[64];
    DWORD size = sizeof data;
    const bool ok = RegQueryValueExW(key, name, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool SetOption(const char16_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    const BYTE zero[4] = {};
    const bool ok = RegSetValueExW(key, name, 0, REG_DWORD, zero, sizeof zero) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    const auto root = std::filesystem::temp_directory_path() / ("fenwrap-bench-registry-" + std::to_string(::getpid()));
    size_t values = 0;
    const std::string text = CapStore(values);
    std::string stores[2];
    for (int i = 0; i < 2; ++i) {
        const auto folder = root / std::to_string(i);
        std::filesystem::create_directories(folder / "fenwrap");
        std::ofstream(folder / "fenwrap" / "registry", std::ios::binary) << text;
        stores[i] = folder.string();
    }
    ::usleep(100000);  // older than the file system's clock tick: unchanged since, for certain

    std::vector<double> plain, loads, ratios, parses;
    bool ok = true;
    for (int i = 0; i < repetitions; ++i) {
        const std::string& folder = stores[i % 2];
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        plain.push_back(Seconds([&] { ok &= ReadFile(folder + "/fenwrap/registry").size() == text.size(); }));
        loads.push_back(Seconds([&] { ok &= QueryOption(u"bMakeWOFF2"); }));
        ratios.push_back(loads.back() / plain.back());
    }
    for (int i = 0; i < repetitions; ++i) {
        std::vector<RegistryKeyValues> keys;
        parses.push_back(Seconds([&] { ok &= ParseRegistryText(text, keys); }));
    }
    // The start, on the copy not read last: one load, then what it read serves the rest.
    ::setenv("XDG_CONFIG_HOME", stores[repetitions % 2].c_str(), 1);
    const double start = Seconds([&] {
        for (const char16_t* option : kOptions) ok &= QueryOption(option);
    });
    // The exit: each option written, each time the whole store.
    const double exit = Seconds([&] {
        for (const char16_t* option : kOptions) ok &= SetOption(option);
    });
    std::filesystem::remove_all(root);
    if (!ok) {
        std::fprintf(stderr, "bench_registry: a read failed\n");
        return 1;
    }

    const double load = Median(loads);
    std::printf("store at the cap: %.1f MB, %zu values, %d repetitions\n", text.size() / 1048576.0, values, repetitions);
    std::printf("plain read of the file     %8.1f ms\n", Median(plain) * 1e3);
    std::printf("load through the registry  %8.1f ms   ratio to the plain read %.1f (spread %.1f to %.1f)\n",
                load * 1e3, Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("reader alone on the bytes  %8.1f ms\n", Median(parses) * 1e3);
    std::printf("seven options at start-up  %8.1f ms   (%.2f loads)\n", start * 1e3, start / load);
    std::printf("seven options at exit      %8.1f ms   (%.2f loads; each writes the whole store)\n", exit * 1e3,
                exit / load);
    std::printf("target: a load under 1 s: %s\n", load < 1.0 ? "met" : "NOT MET");
    return load < 1.0 ? 0 : 1;
}
