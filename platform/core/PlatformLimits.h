// Every cap the platform layer applies to what it reads: files, the settings store, version
// blocks and chains of symbolic links that another user may have planted. The engine keeps its
// own caps in engine/Limits.h; the platform includes nothing of the engine, so the two headers
// stand apart and each cap is applied by the layer that reads the input it bounds. Format limits
// (a field's width) and tuning (how hard a compressor looks) stay beside their code.
#pragma once

#include "Types.h"

// A settings store has no business being larger; anything bigger is treated as damage rather
// than read into memory.
inline constexpr size_t kMaxRegistryStoreBytes = 16 * 1024 * 1024;

// The embedding library reads the whole font into memory before it looks at it. No font comes
// near this (the engine holds the fonts it writes to the same 1 GiB), so a larger file is
// refused unread rather than allocated.
inline constexpr ULONGLONG kMaxEmbedFontFileBytes = ULONGLONG(1) << 30;

// A version block nests three deep (the root, StringFileInfo, its table, a string); the check
// of a block recurses once per level, so a block whose children nest deeper than this is
// damaged and is refused before the recursion costs more than a few frames.
inline constexpr int kMaxVersionBlockDepth = 8;

// How many symbolic links a save follows from the name it was given before it gives up with
// ELOOP, as the kernel's own limit on a chain: a loop planted by another user ends here.
inline constexpr int kMaxLinks = 40;
