// Calling the embedding library as the program does (loaded by name at run time), and
// building small variations of real fonts for the tests.
#pragma once

#include "Library.h"
#include "T2embed.h"
#include "TestFonts.h"

#include <cstdint>
#include <map>
#include <string>

namespace embedtest {

using testfonts::Bytes;

// The library's entry point, loaded once through LoadLibraryW("T2embed.dll").
PFN_TTEmbedFontFromFileA EntryPoint();

struct EmbedResult {
    LONG code = -1;
    ULONG privStatus = 0xDEAD;
    ULONG status = 0xDEAD;
    Bytes eot;
    int calls = 0;  // callback calls
};

// Embeds the font file at a UTF-8 path, passed to the library in code page 932.
EmbedResult Embed(const std::string& path, USHORT index = 0, ULONG flags = TTEMBED_TTCOMPRESSED,
                  TTEMBEDINFO* info = nullptr);

// An sfnt's tables by tag, and an sfnt assembled from such a map.
std::map<std::uint32_t, Bytes> ReadTables(const Bytes& sfnt, size_t offsetTable = 0);
// Tables in tag order, with real checksums; head is taken as it is.
Bytes BuildSfnt(const std::map<std::uint32_t, Bytes>& tables);
std::uint32_t SfntChecksum(const Bytes& data);
std::uint32_t TagOf(const char* text);

// Runs the fontTools comparison of a decoded font with its source; "" when they agree,
// otherwise the script's report.
std::string CompareWithSource(const std::string& source, int index, const std::string& decoded,
                              bool skipInstructedComposites = false);
// ots-sanitize's verdict on a font file: true when accepted.
bool OtsAccepts(const std::string& path, std::string* report = nullptr);

} // namespace embedtest
