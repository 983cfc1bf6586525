// Builds, at compile time, the version block that an executable carries in its section
// kVersionSection. The layout is the usual tree of version nodes, each node being
//   WORD length (of the node with its children), WORD value length, WORD type,
//   the key as a NUL-terminated UTF-16 string, padding to 4 bytes, the value, padding to 4
//   bytes, then the child nodes;
// the root, "VS_VERSION_INFO", holds the VS_FIXEDFILEINFO and the child "VarFileInfo" with
// its "Translation" (language and code page).
#pragma once

#include "Types.h"

#include <array>

inline constexpr const char* kVersionSection = ".fenwrap_version";
inline constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr size_t kVersionBlockCapacity = 256;

using VersionBlockBytes = std::array<BYTE, kVersionBlockCapacity>;

namespace versionblock {

struct Writer {
    VersionBlockBytes bytes{};
    size_t size = 0;

    constexpr void Word(WORD w)
    {
        bytes[size++] = static_cast<BYTE>(w & 0xFF);
        bytes[size++] = static_cast<BYTE>(w >> 8);
    }
    constexpr void Dword(DWORD d)
    {
        Word(static_cast<WORD>(d & 0xFFFF));
        Word(static_cast<WORD>(d >> 16));
    }
    constexpr void Align() { while (size % 4) bytes[size++] = 0; }
    constexpr void PatchWord(size_t at, WORD w)
    {
        bytes[at] = static_cast<BYTE>(w & 0xFF);
        bytes[at + 1] = static_cast<BYTE>(w >> 8);
    }
    // Writes a node's header and key; returns where its length goes, patched by End.
    constexpr size_t Begin(const char* key, WORD valueLength)
    {
        const size_t start = size;
        Word(0);
        Word(valueLength);
        Word(0);  // binary value
        for (const char* p = key; *p; ++p) Word(static_cast<WORD>(*p));
        Word(0);
        Align();
        return start;
    }
    constexpr void End(size_t start) { PatchWord(start, static_cast<WORD>(size - start)); }
};

} // namespace versionblock

constexpr VersionBlockBytes MakeVersionBlock(WORD major, WORD minor, WORD patch, WORD build,
                                             WORD language = 0x0411, WORD codePage = 1200)
{
    versionblock::Writer w;
    const size_t root = w.Begin("VS_VERSION_INFO", 13 * 4);
    const DWORD ms = static_cast<DWORD>(major) << 16 | minor;
    const DWORD ls = static_cast<DWORD>(patch) << 16 | build;
    w.Dword(kFixedFileInfoSignature);
    w.Dword(0x00010000);  // structure version 1.0
    w.Dword(ms);
    w.Dword(ls);
    w.Dword(ms);
    w.Dword(ls);
    w.Dword(0x3F);        // flags mask
    w.Dword(0);           // flags
    w.Dword(0x00040004);  // the operating-system field as a 32-bit program has it
    w.Dword(1);           // an application
    w.Dword(0);
    w.Dword(0);
    w.Dword(0);
    const size_t varFileInfo = w.Begin("VarFileInfo", 0);
    const size_t translation = w.Begin("Translation", 4);
    w.Word(language);
    w.Word(codePage);
    w.End(translation);
    w.End(varFileInfo);
    w.End(root);
    return w.bytes;
}
