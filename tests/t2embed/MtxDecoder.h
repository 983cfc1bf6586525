// An independent decoder of compressed EOT files, written for the tests from the published
// format: the header, the block container, the block decompressor and the compact font. It
// rebuilds a complete sfnt (glyf, loca and cvt included) that the checking tools can read.
// It handles what the library's output uses and reports anything else as a failure.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace mtxtest {

using Bytes = std::vector<std::uint8_t>;

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One compressed block back to its bytes.
Bytes LzcompDecompress(const Bytes& stream);

struct EotFile {
    std::uint32_t eotSize, fontDataSize, version, flags;
    std::uint8_t panose[10];
    std::uint8_t charset, italic;
    std::uint32_t weight;
    std::uint16_t fsType, magic;
    std::uint32_t unicodeRange[4], codePageRange[2], checkSumAdjustment;
    std::u16string familyName, styleName, versionName, fullName;
    Bytes rootString;
    std::uint32_t rootStringCheckSum, eudcCodePage;
    std::uint16_t signatureSize;
    std::uint32_t eudcFlags, eudcFontSize;
    Bytes fontData;  // as stored (still XOR-ed if the flag says so)
};

EotFile ParseEot(const Bytes& file);

// The three blocks of the container, decompressed.
struct Blocks {
    Bytes font, pushes, code;
};
Blocks UnpackMtx(const Bytes& fontData);

// The sfnt the compact font stands for.
Bytes RebuildSfnt(const Blocks& blocks);

// The whole way from an EOT file to the sfnt.
Bytes DecodeEot(const Bytes& eotFile);

} // namespace mtxtest
