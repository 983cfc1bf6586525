// What the WOFF 1.0 decoder and the collection extraction share when they write an sfnt font:
// the order the tables are laid out in, the zero bytes behind each table and the
// checkSumAdjustment of the finished font. The engine's limits (kMaxSfntSize and the others)
// are in Limits.h, included here for the code that has always found them in this header.
#pragma once

#include "Limits.h"
#include "WOFF.h"

#include <algorithm>

// Tables are read and written in pieces of this size, so that memory stays near the size of the
// output alone; a multiple of 4, so that the checksums of the pieces add up to the table's.
inline constexpr DWORD kTablePiece = 1u << 20;

// Reads length bytes at offset in pieces into buffer (room for kTablePiece bytes, or length if
// less) and hands each to use(data, count, offsetInTable); false when the file holds fewer.
template <typename Use>
bool ForEachPiece(CFile* file, DWORD offset, DWORD length, BYTE* buffer, Use&& use)
{
    file->Seek(offset, CFile::begin);
    for (DWORD done = 0; done < length;) {
        const DWORD n = std::min(kTablePiece, length - done);
        if (file->Read(buffer, n) != n) return false;
        use(buffer, n, done);
        done += n;
    }
    return true;
}

// The order in which tables are laid out in a font that the engine writes: for each tag of
// list (ended by nullptr), the first entry of directory that carries it; then every entry not
// yet placed, in directory order. Each index occurs exactly once.
void MakeOutputOrder(const CSfntDirectory& directory, const char* const* list, CWordArray& order);

// The first entry of directory tagged "head", or -1.
INT_PTR FindHead(const CSfntDirectory& directory);

// Writes the 0 to 3 zero bytes that bring a table of length bytes to a multiple of 4.
void WriteTablePadding(CFile* out, DWORD length);

// Sets checkSumAdjustment in the first "head" table of a finished font: 0xB1B0AFBA minus the
// checksum of the offset table and directory as they stand in out, minus tableChecksums (the
// sum of the directory's checkSum values), written big-endian at the table's offset + 8.
void WriteChecksumAdjustment(CFile* out, const CSfntDirectory& directory, DWORD tableChecksums);
