// The block compressor of the compressed EOT: LZ77 over a 7168-byte preset history, coded with
// three adaptive Huffman coders (symbols, lengths, distances).
//
// Stream: one bit "run-length pre-pass used" (always 0 here), 24 bits of length, then the
// coded items until that many bytes are produced.
#pragma once

#include "ByteIo.h"

#include <cstddef>

namespace t2e {

// The largest block one stream can carry (its length field has 24 bits).
inline constexpr size_t kLzcompMaxLength = 0xFFFFFF;
// Bytes of preset history every decoder holds before the data.
inline constexpr size_t kLzcompHistory = 7168;

struct LzcompOptions {
    bool copies = true;  // false: literals and single-byte repeats only
};

// A block longer than kLzcompMaxLength throws EmbedError{E_ERRORCOMPRESSINGFONTDATA}.
Bytes LzcompCompress(Span data, LzcompOptions options = {});

} // namespace t2e
