#include "Layout.h"

void PackOffsetTable(const OffsetTable& table, BYTE* out)
{
    PutBe32(out, table.sfntVersion);
    PutBe16(out + 4, table.numTables);
    PutBe16(out + 6, table.searchRange);
    PutBe16(out + 8, table.entrySelector);
    PutBe16(out + 10, table.rangeShift);
}

void PackSfntEntry(const sfnt_DirectoryEntry& entry, BYTE* out)
{
    std::memcpy(out, entry.tag, 4);
    PutBe32(out + 4, entry.checkSum);
    PutBe32(out + 8, entry.offset);
    PutBe32(out + 12, entry.length);
}

void PackWOFFHeader(const WOFFHeader& header, BYTE* out)
{
    std::memcpy(out, header.signature, 4);
    PutBe32(out + 4, header.flavor);
    PutBe32(out + 8, header.length);
    PutBe16(out + 12, header.numTables);
    PutBe16(out + 14, header.reserved);
    PutBe32(out + 16, header.totalSfntSize);
    PutBe16(out + 20, header.majorVersion);
    PutBe16(out + 22, header.minorVersion);
    PutBe32(out + 24, header.metaOffset);
    PutBe32(out + 28, header.metaLength);
    PutBe32(out + 32, header.metaOrigLength);
    PutBe32(out + 36, header.privOffset);
    PutBe32(out + 40, header.privLength);
}

void PackWOFFEntry(const WOFFTableDirectoryEntry& entry, BYTE* out)
{
    std::memcpy(out, entry.tag, 4);
    PutBe32(out + 4, entry.offset);
    PutBe32(out + 8, entry.compLength);
    PutBe32(out + 12, entry.origLength);
    PutBe32(out + 16, entry.origChecksum);
}

void ParseOffsetTable(FieldReader& reader, OffsetTable& table)
{
    reader.U32(table.sfntVersion);
    reader.U16(table.numTables);
    reader.U16(table.searchRange);
    reader.U16(table.entrySelector);
    reader.U16(table.rangeShift);
}

void ParseWOFFHeader(FieldReader& reader, WOFFHeader& header)
{
    reader.Raw(header.signature, 4);
    reader.U32(header.flavor);
    reader.U32(header.length);
    reader.U16(header.numTables);
    reader.U16(header.reserved);
    reader.U32(header.totalSfntSize);
    reader.U16(header.majorVersion);
    reader.U16(header.minorVersion);
    reader.U32(header.metaOffset);
    reader.U32(header.metaLength);
    reader.U32(header.metaOrigLength);
    reader.U32(header.privOffset);
    reader.U32(header.privLength);
}

void ParseWOFF2Header(FieldReader& reader, WOFFHeader& header, DWORD& totalCompressedSize)
{
    reader.Raw(header.signature, 4);
    reader.U32(header.flavor);
    reader.U32(header.length);
    reader.U16(header.numTables);
    reader.U16(header.reserved);
    reader.U32(header.totalSfntSize);
    reader.U32(totalCompressedSize);
    reader.U16(header.majorVersion);
    reader.U16(header.minorVersion);
    reader.U32(header.metaOffset);
    reader.U32(header.metaLength);
    reader.U32(header.metaOrigLength);
    reader.U32(header.privOffset);
    reader.U32(header.privLength);
}

void ParseWOFFEntry(FieldReader& reader, WOFFTableDirectoryEntry& entry)
{
    reader.Raw(entry.tag, 4);
    reader.U32(entry.offset);
    reader.U32(entry.compLength);
    reader.U32(entry.origLength);
    reader.U32(entry.origChecksum);
}
