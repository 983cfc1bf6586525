// sfnt and collection structures: the collection header, the offset table and the table
// directory of the selected font, and table checksums.
#include "FileIO.h"
#include "Layout.h"
#include "Limits.h"
#include "ReadCache.h"
#include "WOFF.h"

#include <algorithm>

void CWOFF::ReadTTCHeader(CFile* file)
{
    file->Seek(0, CFile::begin);
    ReadFields(file, kTTCHeaderSize, [&](FieldReader& reader) {
        reader.U32(m_ttcHeader.ttcTag);
        reader.U32(m_ttcHeader.version);
        reader.U32(m_ttcHeader.numFonts);
    });

    delete[] m_ttcHeader.tableDirectoryOffsets;
    m_ttcHeader.tableDirectoryOffsets = nullptr;

    // A header may claim up to 2^32 fonts. Only the offsets the file really holds are kept
    // (one cut short by the end of the file counts, and stays zero), and numFonts is brought
    // down to them, so that no list, loop or member number goes beyond what the file holds.
    // What walking that many members may cost is bounded by CheckTableBounds.
    const size_t claimed = std::min<size_t>(m_ttcHeader.numFonts, kMaxCollectionFonts);
    const std::vector<BYTE> block = ReadBlock(file, size_t(4) * claimed);
    const size_t held = (block.size() + 3) / 4;
    const size_t kept = std::min(held, claimed);
    m_ttcHeader.numFonts = static_cast<DWORD>(kept);
    m_ttcHeader.tableDirectoryOffsets = EngineNew<DWORD>(kept);

    ParseFields(block, [&](FieldReader& reader) {
        for (size_t i = 0; i < kept; ++i) reader.U32(m_ttcHeader.tableDirectoryOffsets[i]);
    });
    m_nWalkBytes = 0;
}

BOOL CWOFF::GetFontStart(DWORD& start) const
{
    start = 0;
    if (!m_bTTC) return TRUE;
    if (!m_ttcHeader.tableDirectoryOffsets || m_nFontNumber < 0 ||
        static_cast<DWORD>(m_nFontNumber) >= m_ttcHeader.numFonts)
        return FALSE;
    start = m_ttcHeader.tableDirectoryOffsets[m_nFontNumber];
    return TRUE;
}

void CWOFF::ReadOffsetTable(CFile* file)
{
    DWORD start;
    if (!GetFontStart(start)) return;
    ParseFields(ReadAt(file, start, kOffsetTableSize),
                [&](FieldReader& reader) { ParseOffsetTable(reader, m_offsetTable); });
}

void CWOFF::WriteOffsetTable(CFile* file)
{
    BYTE bytes[kOffsetTableSize];
    PackOffsetTable(m_offsetTable, bytes);
    file->Seek(0, CFile::begin);
    file->Write(bytes, sizeof bytes);
}

void CWOFF::ReadTableDirectory(CFile* file)
{
    DWORD start;
    if (!GetFontStart(start)) return;
    m_nNameIndex = m_nHeadIndex = m_nOS2Index = m_nGlyfIndex = m_nCFFIndex = -1;

    // Entries that lie wholly past the end of the file are not made up: the directory holds
    // what the file holds, at most numTables entries. Within an entry cut short, the fields
    // the file lacks keep the previous entry's values.
    const ULONGLONG first = ULONGLONG(start) + kOffsetTableSize;
    const std::vector<BYTE>& bytes = ReadAt(file, first, kSfntEntrySize * m_offsetTable.numTables);
    // Parsed in place, into the room the directory kept from the member before: the font
    // picker's walk reads one directory per member.
    m_sfntDirectory.SetSize(static_cast<INT_PTR>((bytes.size() + kSfntEntrySize - 1) / kSfntEntrySize));
    ParseFields(bytes, [&](FieldReader& reader) {
        sfnt_DirectoryEntry* entries = m_sfntDirectory.GetData();
        for (int i = 0; i < m_sfntDirectory.GetSize(); ++i) {
            if (reader.Remaining() < kSfntEntrySize) entries[i] = i ? entries[i - 1] : sfnt_DirectoryEntry{};
            ParseSfntEntry(reader, entries[i]);
            NoteTableIndex(entries[i].tag, i);
        }
    });
}

void CWOFF::NoteTableIndex(const BYTE* tag, int index)
{
    if (TagIs(tag, "name")) m_nNameIndex = index;
    if (TagIs(tag, "head")) m_nHeadIndex = index;
    if (TagIs(tag, "OS/2")) m_nOS2Index = index;
    if (TagIs(tag, "glyf")) m_nGlyfIndex = index;
    if (TagIs(tag, "CFF ")) m_nCFFIndex = index;
}

void CWOFF::WriteTableDirectory(CFile* file, CSfntDirectory* pDirectory, BOOL bSeek)
{
    if (bSeek) file->Seek(kOffsetTableSize, CFile::begin);
    const size_t count = static_cast<size_t>(pDirectory->GetSize());
    if (count == 0) return;
    std::vector<BYTE> bytes(count * kSfntEntrySize);
    for (size_t i = 0; i < count; ++i) PackSfntEntry((*pDirectory)[INT_PTR(i)], &bytes[i * kSfntEntrySize]);
    file->Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

const std::vector<BYTE>& CWOFF::ReadAt(CFile* file, ULONGLONG offset, size_t n)
{
    if (file == m_pFile) {
        if (!m_pReadCache) m_pReadCache = std::make_unique<CReadCache>(file);
        m_pReadCache->Read(offset, n, m_structureBytes);
    } else {
        file->Seek(static_cast<LONGLONG>(offset), CFile::begin);
        m_structureBytes = ReadBlock(file, n);
    }
    m_nWalkBytes += m_structureBytes.size();
    return m_structureBytes;
}

ULONGLONG CWOFF::LengthOf(CFile* file)
{
    if (file != m_pFile) return file->GetLength();
    if (!m_pReadCache) m_pReadCache = std::make_unique<CReadCache>(file);
    return m_pReadCache->Length();
}

BOOL CWOFF::CheckTableBounds(CFile* file)
{
    const ULONGLONG fileLength = LengthOf(file);
    if (m_nWalkBytes > kMaxWalkBytesPerFileByte * fileLength + kWalkAllowance) return FALSE;
    const INT_PTR count = std::min<INT_PTR>(m_offsetTable.numTables, m_sfntDirectory.GetSize());
    for (INT_PTR i = 0; i < count; ++i) {
        const sfnt_DirectoryEntry& entry = m_sfntDirectory[i];
        if (ULONGLONG(entry.offset) + entry.length > fileLength) return FALSE;
    }
    return TRUE;
}

sfnt_DirectoryEntry CWOFF::FindSfntTableEntry(const BYTE* tag)
{
    for (const sfnt_DirectoryEntry& entry : m_sfntDirectory)
        if (std::memcmp(entry.tag, tag, 4) == 0) return entry;
    return sfnt_DirectoryEntry{};
}

DWORD CWOFF::SumTableChecksums()
{
    DWORD sum = 0;
    for (const sfnt_DirectoryEntry& entry : m_sfntDirectory) sum += entry.checkSum;
    return sum;
}

DWORD CalcTableChecksum(const BYTE* data, UINT length)
{
    DWORD sum = 0;
    const UINT whole = length & ~3u;
    for (UINT i = 0; i < whole; i += 4) sum += GetBe32(data + i);
    BYTE last[4] = {};
    std::memcpy(last, data + whole, length - whole);
    return sum + (length > whole ? GetBe32(last) : 0);
}
