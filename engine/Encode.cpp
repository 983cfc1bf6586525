// The WOFF 1.0 encoder: every table of the selected font but "DSIG", each compressed with zlib
// at level 9 when that makes it shorter, and an optional compressed metadata block.
#include "DirectoryCheck.h"
#include "EngineMessages.h"
#include "FileIO.h"
#include "Layout.h"
#include "Limits.h"
#include "WOFF.h"

#include <algorithm>
#include <typeinfo>
#include <zlib.h>

namespace {

// The entries of the font's directory that the file holds whole. A directory cut short by the
// end of the file is encoded from these; an entry that the file ends inside was completed by the
// reader with the fields of the entry before it, and is no table of the font.
INT_PTR WholeEntries(const CSfntDirectory& directory, DWORD start, ULONGLONG fileLength)
{
    const ULONGLONG first = ULONGLONG(start) + kOffsetTableSize;
    const ULONGLONG room = fileLength > first ? (fileLength - first) / kSfntEntrySize : 0;
    return static_cast<INT_PTR>(std::min<ULONGLONG>(ULONGLONG(directory.GetSize()), room));
}

// Fills the WOFF directory from the first count entries of the font's directory, leaving
// "DSIG" out, and returns the tables it will read, in the same order.
std::vector<TableSpan> PlanTables(const CSfntDirectory& font, INT_PTR count, CWOFFDirectory& woff)
{
    woff.RemoveAll();
    std::vector<TableSpan> tables;
    for (INT_PTR i = 0; i < count; ++i) {
        const sfnt_DirectoryEntry& entry = font[i];
        if (TagIs(entry.tag, "DSIG")) continue;
        tables.push_back(SpanOf(entry));
        WOFFTableDirectoryEntry woffEntry{};
        std::memcpy(woffEntry.tag, entry.tag, 4);
        woffEntry.origLength = entry.length;
        woffEntry.origChecksum = entry.checkSum;
        woff.Add(woffEntry);
    }
    return tables;
}

DWORD TotalSfntSize(const CWOFFDirectory& woff)
{
    ULONGLONG total = kOffsetTableSize + kSfntEntrySize * ULONGLONG(woff.GetSize());
    for (const WOFFTableDirectoryEntry& entry : woff) total += PaddedLength(entry.origLength);
    return static_cast<DWORD>(total);
}

void WriteZeros(CFile* out, size_t count)
{
    static const BYTE zeros[4] = {};
    if (count) out->Write(zeros, static_cast<UINT>(count));
}

// Compresses n bytes with zlib at level 9 into room of compressBound(n) bytes and appends the
// result to out when keep(length) holds; otherwise out stays as it was. FALSE when zlib fails.
// A memory file written at its end lends the room itself: the same bytes as a buffer of their
// own, without that buffer held beside the output, and the part of the room zlib does not
// fill costs no memory. Only a plain one: a class made on it may want to see every write.
template <typename Keep>
BOOL AppendCompressed(CFile* out, const BYTE* data, size_t n, Keep&& keep, uLongf& packedLength)
{
    packedLength = compressBound(n);
    CMemFile* memory = typeid(*out) == typeid(CMemFile) ? static_cast<CMemFile*>(out) : nullptr;
    if (memory && memory->GetPosition() == memory->GetLength()) {
        BYTE* room = memory->RoomAtEnd(packedLength);
        if (compress2(room, &packedLength, data, n, Z_BEST_COMPRESSION) != Z_OK) return FALSE;
        if (keep(packedLength)) memory->CommitRoom(packedLength);
        return TRUE;
    }
    std::unique_ptr<BYTE[]> buffer = AllocBuffer(packedLength);
    if (compress2(buffer.get(), &packedLength, data, n, Z_BEST_COMPRESSION) != Z_OK) return FALSE;
    if (keep(packedLength)) out->Write(buffer.get(), static_cast<UINT>(packedLength));
    return TRUE;
}

// Reads one table from the font and writes it, compressed when that is strictly shorter,
// with its padding; fills the entry's offset and compLength.
BOOL EncodeTable(CFile* font, CFile* out, const TableSpan& source, WOFFTableDirectoryEntry& entry)
{
    std::unique_ptr<BYTE[]> table = AllocBuffer(source.length);
    font->Seek(source.offset, CFile::begin);
    if (font->Read(table.get(), source.length) != source.length) return Refuse(kMsgFontBroken);
    entry.offset = static_cast<DWORD>(out->GetPosition());
    entry.compLength = source.length;
    if (source.length > 0) {
        // An empty table would come out of zlib longer than itself: it is stored as it is.
        uLongf packedLength = 0;
        const auto shorter = [&](uLongf length) { return length < source.length; };
        if (!AppendCompressed(out, table.get(), source.length, shorter, packedLength)) return Refuse(kMsgCompressFailed);
        if (shorter(packedLength))
            entry.compLength = static_cast<DWORD>(packedLength);
        else
            out->Write(table.get(), source.length);
    }
    WriteZeros(out, (4 - entry.compLength % 4) % 4);
    return TRUE;
}

// Appends the metadata, always compressed, at a multiple of 4; fills the metadata fields.
BOOL AppendMetaData(CFile* out, const BYTE* metaData, UINT length, WOFFHeader& header)
{
    const ULONGLONG end = out->GetLength();
    WriteZeros(out, static_cast<size_t>(PaddedLength(end) - end));
    header.metaOffset = static_cast<DWORD>(out->GetLength());
    uLongf packedLength = 0;
    if (!AppendCompressed(out, metaData, length, [](uLongf) { return true; }, packedLength))
        return Refuse(kMsgCompressFailed);
    header.metaLength = static_cast<DWORD>(packedLength);
    header.metaOrigLength = length;
    return TRUE;
}

} // namespace

BOOL CWOFF::EncodeWOFF(CFile* out, BYTE* pMetaData, UINT nMetaDataLength)
{
    if (!m_bFontInput) return FALSE;
    // A member number outside the collection names no font: there is nothing to read.
    DWORD start;
    if (!GetFontStart(start)) return Refuse(kMsgFontBroken);
    ReadOffsetTable(m_pFile);
    ReadTableDirectory(m_pFile);

    // Checked before anything is written, so that a refused font leaves out untouched; a WOFF
    // that this check lets through is one the decoder takes.
    const ULONGLONG fileLength = m_pFile->GetLength();
    const INT_PTR whole = WholeEntries(m_sfntDirectory, start, fileLength);
    const std::vector<TableSpan> tables = PlanTables(m_sfntDirectory, whole, m_woffDirectory);
    const DirectoryRules rules{fileLength, ULONGLONG(start) + kOffsetTableSize + kSfntEntrySize * ULONGLONG(whole),
                              true, kMaxTableBytesPerFileByte};
    if (!IsFontFlavor(m_offsetTable.sfntVersion) || !DirectoryIsSound(tables, rules)) return Refuse(kMsgFontBroken);

    m_woffHeader = WOFFHeader{};
    std::memcpy(m_woffHeader.signature, "wOFF", 4);
    m_woffHeader.flavor = m_offsetTable.sfntVersion;
    m_woffHeader.majorVersion = 1;
    m_woffHeader.numTables = static_cast<WORD>(m_woffDirectory.GetSize());
    m_woffHeader.totalSfntSize = TotalSfntSize(m_woffDirectory);

    // Placeholders, rewritten once every offset and length is known.
    WriteWOFFHeader(out);
    WriteWOFFTableDirectory(out);
    for (size_t i = 0; i < tables.size(); ++i)
        if (!EncodeTable(m_pFile, out, tables[i], m_woffDirectory[INT_PTR(i)])) return FALSE;
    if (nMetaDataLength != 0 && !AppendMetaData(out, pMetaData, nMetaDataLength, m_woffHeader)) return FALSE;

    m_woffHeader.length = static_cast<DWORD>(out->GetLength());
    WriteWOFFHeader(out);
    WriteWOFFTableDirectory(out);
    return TRUE;
}
