// Reading one TrueType font out of a font file: a single sfnt, or one member of a collection.
//
// What Open has checked when it returns: the offset table and directory lie inside the file,
// every table lies inside the file, no tag occurs twice, the font has TrueType outlines
// (glyf, loca, head, maxp, hmtx present, no CFF), and it has an OS/2 table. Each failure is an
// EmbedError with the library's code for it. The spans point into the caller's file bytes.
#pragma once

#include "ByteIo.h"

#include <cstdint>
#include <vector>

namespace t2e {

constexpr std::uint32_t Tag(const char (&t)[5])
{
    return (std::uint32_t(std::uint8_t(t[0])) << 24) | (std::uint32_t(std::uint8_t(t[1])) << 16) |
           (std::uint32_t(std::uint8_t(t[2])) << 8) | std::uint8_t(t[3]);
}

struct Table {
    std::uint32_t tag;
    Span data;
};

class SfntFont {
public:
    static SfntFont Open(Span file, std::uint16_t index);

    // NULL when the font has no such table.
    const Span* Find(std::uint32_t tag) const;
    const std::vector<Table>& Tables() const { return m_tables; }
    std::uint32_t Version() const { return m_version; }
    bool FromCollection() const { return m_fromCollection; }

private:
    std::vector<Table> m_tables;  // sorted by tag
    std::uint32_t m_version = 0;
    bool m_fromCollection = false;
};

// The sfnt table checksum: the sum of big-endian 32-bit words, the last one zero-padded.
std::uint32_t TableChecksum(Span data);

// head.checkSumAdjustment of the standalone font these tables make when laid out in tag
// order, each on a 4-byte boundary, under an offset table with the given version.
std::uint32_t StandaloneChecksumAdjustment(const std::vector<Table>& tables, std::uint32_t version);

// The offset table's binary-search fields for n tables.
struct SearchFields {
    std::uint16_t searchRange, entrySelector, rangeShift;
};
SearchFields SearchFieldsFor(std::uint16_t numTables);

} // namespace t2e
