#include "EmbedHelpers.h"

#include "CodePage.h"
#include "String.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace embedtest {

using testfonts::Be16;
using testfonts::Be32;

namespace {

unsigned long Collect(void* stream, const void* buffer, const unsigned long size)
{
    auto* result = static_cast<EmbedResult*>(stream);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    result->eot.insert(result->eot.end(), bytes, bytes + size);
    ++result->calls;
    return size;
}

void PutBe16(Bytes& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}

void PutBe32(Bytes& b, std::uint32_t v)
{
    PutBe16(b, v >> 16);
    PutBe16(b, v);
}

} // namespace

PFN_TTEmbedFontFromFileA EntryPoint()
{
    static PFN_TTEmbedFontFromFileA entry = [] {
        HMODULE module = LoadLibraryW(u"T2embed.dll");
        if (!module) throw std::runtime_error("cannot load " + LibraryFilePath(u"T2embed.dll"));
        return reinterpret_cast<PFN_TTEmbedFontFromFileA>(GetProcAddress(module, "TTEmbedFontFromFileA"));
    }();
    return entry;
}

EmbedResult Embed(const std::string& path, USHORT index, ULONG flags, TTEMBEDINFO* info)
{
    const CString wide = CString::FromUtf8(path);
    std::string ansi(size_t(wide.GetLength()) * 2 + 1, '\0');
    WideCharToMultiByte(932, 0, wide, -1, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
    EmbedResult r;
    r.code = EntryPoint()(nullptr, ansi.c_str(), index, flags, CHARSET_UNICODE, &r.privStatus, &r.status, Collect, &r,
                          nullptr, 0, 0, info);
    return r;
}

std::uint32_t TagOf(const char* t)
{
    return std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
           std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint8_t(t[3]);
}

std::map<std::uint32_t, Bytes> ReadTables(const Bytes& sfnt, size_t at)
{
    std::map<std::uint32_t, Bytes> tables;
    const std::uint16_t n = Be16(sfnt, at + 4);
    for (std::uint16_t i = 0; i < n; ++i) {
        const size_t e = at + 12 + 16 * size_t(i);
        const std::uint32_t offset = Be32(sfnt, e + 8), length = Be32(sfnt, e + 12);
        tables[Be32(sfnt, e)] = Bytes(sfnt.begin() + offset, sfnt.begin() + offset + length);
    }
    return tables;
}

std::uint32_t SfntChecksum(const Bytes& data)
{
    std::uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); i += 4) {
        std::uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) word = word << 8 | (i + k < data.size() ? data[i + k] : 0);
        sum += word;
    }
    return sum;
}

Bytes BuildSfnt(const std::map<std::uint32_t, Bytes>& tables)
{
    Bytes out;
    const auto n = static_cast<std::uint32_t>(tables.size());
    std::uint32_t selector = 0;
    while ((2u << selector) <= n) ++selector;
    PutBe32(out, 0x00010000);
    PutBe16(out, n);
    PutBe16(out, 16u << selector);
    PutBe16(out, selector);
    PutBe16(out, n * 16 - (16u << selector));
    std::uint32_t offset = 12 + 16 * n;
    for (const auto& [tag, data] : tables) {
        PutBe32(out, tag);
        PutBe32(out, SfntChecksum(data));
        PutBe32(out, offset);
        PutBe32(out, std::uint32_t(data.size()));
        offset += (std::uint32_t(data.size()) + 3) & ~3u;
    }
    for (const auto& [tag, data] : tables) {
        out.insert(out.end(), data.begin(), data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

std::string CompareWithSource(const std::string& source, int index, const std::string& decoded, bool skip)
{
    const std::string cmd = "/usr/bin/python3 " + testfonts::Quote(FENWRAP_COMPARE_SCRIPT) + " " +
                            testfonts::Quote(source) + " " + std::to_string(index) + " " + testfonts::Quote(decoded) +
                            (skip ? " --skip-instructed-composites" : "");
    const testfonts::ToolResult r = testfonts::Run(cmd);
    return r.exitCode == 0 ? std::string() : "exit " + std::to_string(r.exitCode) + ": " + r.output;
}

bool OtsAccepts(const std::string& path, std::string* report)
{
    const testfonts::ToolResult r = testfonts::Run("ots-sanitize " + testfonts::Quote(path));
    if (report) *report = r.output;
    return r.exitCode == 0;
}

} // namespace embedtest
