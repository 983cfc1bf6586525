// The container of the compressed font data: a 10-byte header (block count, copy limit and the
// offsets of blocks 2 and 3, big-endian 24-bit), then the three compressed blocks.
#pragma once

#include "CtfFont.h"
#include "Lzcomp.h"

namespace t2e {

// Throws EmbedError{E_ERRORCOMPRESSINGFONTDATA} when a block or an offset is beyond 24 bits.
Bytes BuildMtx(const CtfBlocks& blocks, LzcompOptions options = {});

} // namespace t2e
