// The embedded-font structure's header (version 0x00020002, little-endian), filled from the
// font's OS/2, head and name tables.
#pragma once

#include "ByteIo.h"
#include "Sfnt.h"

#include <cstdint>

namespace t2e {

inline constexpr std::uint32_t kEotVersion = 0x00020002;
inline constexpr std::uint16_t kEotMagic = 0x504C;

// rootString: the root strings as UTF-16 units (already in the caller's order), may be empty.
// fontDataSize: the length of the font data that follows the header. Throws
// EmbedError{E_ERRORREADINGFONTDATA} for an OS/2 or head table too short to hold its fields.
Bytes BuildEotHeader(const SfntFont& font, std::uint32_t flags, std::uint32_t fontDataSize,
                     const std::uint16_t* rootString, size_t rootStringUnits);

// The English name with this id from the Windows-platform records, as UTF-16LE bytes;
// empty when the font has none.
Bytes WindowsName(const SfntFont& font, std::uint16_t nameId);

} // namespace t2e
