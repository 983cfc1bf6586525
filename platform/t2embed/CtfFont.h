// The compact font: the sfnt the compressed EOT carries in its first block, with glyf, loca
// and cvt in their compact forms, and the instruction stream for the third block.
#pragma once

#include "ByteIo.h"
#include "Sfnt.h"

namespace t2e {

struct CtfBlocks {
    Bytes font;    // block 1: the compact sfnt
    Bytes pushes;  // block 2: push values
    Bytes code;    // block 3: instruction bytes
};

// hdmx and VDMX are left out (optional tables whose compact forms no decoder at hand can
// confirm), and DSIG too (a signature is void once the font is re-encoded). A damaged
// table throws EmbedError{E_ERRORREADINGFONTDATA}.
CtfBlocks BuildCtf(const SfntFont& font);

} // namespace t2e
