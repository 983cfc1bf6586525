// The compact form of the outline tables: glyf and loca become a glyph stream plus an
// instruction stream, cvt becomes a delta-coded list. The glyph stream is what the decoder
// rebuilds glyf and loca from; loca itself is not stored.
#pragma once

#include "ByteIo.h"

#include <cstdint>

namespace t2e {

struct GlyphStreams {
    Bytes glyphs;        // one record per glyph id
    Bytes pushes;        // push values of the instructions (not split off: always empty)
    Bytes code;          // instruction bytes, glyph after glyph
    std::uint64_t decodedBound = 0;  // upper bound of the glyf size a decoder rebuilds
};

// glyf/loca of a font with numGlyphs glyphs and the given loca format (head.indexToLocFormat).
// A damaged glyph or loca throws EmbedError{E_ERRORREADINGFONTDATA}; a stream beyond what one
// compressed block holds throws EmbedError{E_ERRORCOMPRESSINGFONTDATA}.
GlyphStreams EncodeGlyphs(Span glyf, Span loca, std::int16_t indexToLocFormat, std::uint16_t numGlyphs);

// cvt as a count of values and the deltas between neighbours.
Bytes EncodeCvt(Span cvt);

// The variable-length unsigned number of the compact form (1 to 3 bytes).
void Write255UShort(Writer& w, std::uint32_t value);

} // namespace t2e
