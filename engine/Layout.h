// The byte layouts of the sfnt, collection and WOFF structures: packing a record into its file
// bytes and decoding it from them with FieldReader. Byte-level only, no files.
#pragma once

#include "ByteIO.h"
#include "WOFF.h"

inline constexpr size_t kTTCHeaderSize = 12;      // before the offset list
inline constexpr size_t kOffsetTableSize = 12;
inline constexpr size_t kSfntEntrySize = 16;
inline constexpr size_t kWOFFHeaderSize = 44;
inline constexpr size_t kWOFF2HeaderSize = 48;
inline constexpr size_t kWOFFEntrySize = 20;

void PackOffsetTable(const OffsetTable& table, BYTE* out);
void PackSfntEntry(const sfnt_DirectoryEntry& entry, BYTE* out);
void PackWOFFHeader(const WOFFHeader& header, BYTE* out);
void PackWOFFEntry(const WOFFTableDirectoryEntry& entry, BYTE* out);

void ParseOffsetTable(FieldReader& reader, OffsetTable& table);
void ParseWOFFHeader(FieldReader& reader, WOFFHeader& header);
void ParseWOFF2Header(FieldReader& reader, WOFFHeader& header, DWORD& totalCompressedSize);
void ParseWOFFEntry(FieldReader& reader, WOFFTableDirectoryEntry& entry);

// Inline: a directory of 65,535 entries is parsed once for every member the font picker lists.
inline void ParseSfntEntry(FieldReader& reader, sfnt_DirectoryEntry& entry)
{
    reader.Raw(entry.tag, 4);
    reader.U32(entry.checkSum);
    reader.U32(entry.offset);
    reader.U32(entry.length);
}

// A table length raised to the next multiple of 4, in 64 bits so that nothing wraps.
inline ULONGLONG PaddedLength(ULONGLONG length)
{
    return (length + 3) & ~ULONGLONG(3);
}
