// The WOFF 1.0 encoder: every table of the selected font but "DSIG", each compressed with zlib
// at level 9 when that makes it shorter, and an optional compressed metadata block.
#include "EngineMessages.h"
#include "FileIO.h"
#include "Layout.h"
#include "MessageBox.h"
#include "WOFF.h"

#include <unordered_map>
#include <zlib.h>

namespace {

// Where the bytes of one WOFF entry come from in the font file.
struct TableSource {
    DWORD offset;
    DWORD length;
};

// Fills the WOFF directory from the font's directory, leaving "DSIG" out, and returns for each
// entry the font directory's first entry of that tag, whose bytes the entry carries.
std::vector<TableSource> PlanTables(const CSfntDirectory& font, CWOFFDirectory& woff)
{
    woff.RemoveAll();
    std::unordered_map<DWORD, TableSource> firstOfTag;
    std::vector<TableSource> sources;
    for (const sfnt_DirectoryEntry& entry : font) {
        firstOfTag.try_emplace(GetBe32(entry.tag), TableSource{entry.offset, entry.length});
        if (TagIs(entry.tag, "DSIG")) continue;
        WOFFTableDirectoryEntry woffEntry{};
        std::memcpy(woffEntry.tag, entry.tag, 4);
        woffEntry.origLength = entry.length;
        woffEntry.origChecksum = entry.checkSum;
        woff.Add(woffEntry);
    }
    sources.reserve(static_cast<size_t>(woff.GetSize()));
    for (const WOFFTableDirectoryEntry& entry : woff) sources.push_back(firstOfTag.at(GetBe32(entry.tag)));
    return sources;
}

// How many times over the tables of one font may name the bytes of its file. Tables normally
// do not overlap (once over); a few fonts let two tags share one range, such as bitmap data
// kept for two platforms. A directory naming its file many times over is damaged or hostile,
// and encoding it as it asks would cost work out of all proportion to the file.
constexpr ULONGLONG kMaxTableBytesPerFileByte = 4;

// Every table must lie within the file, and together they may name its bytes only a few
// times over.
bool SourcesFitFile(const std::vector<TableSource>& sources, ULONGLONG fileLength)
{
    ULONGLONG total = 0;
    for (const TableSource& source : sources) {
        if (ULONGLONG(source.offset) + source.length > fileLength) return false;
        total += source.length;
    }
    return total <= kMaxTableBytesPerFileByte * fileLength;
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

// Compresses n bytes with zlib at level 9 into a new buffer; FALSE when zlib fails.
BOOL CompressBest(const BYTE* data, size_t n, std::unique_ptr<BYTE[]>& packed, uLongf& packedLength)
{
    packedLength = compressBound(n);
    packed = AllocBuffer(packedLength);
    return compress2(packed.get(), &packedLength, data, n, Z_BEST_COMPRESSION) == Z_OK;
}

// Reads one table from the font and writes it, compressed when that is strictly shorter,
// with its padding; fills the entry's offset and compLength.
BOOL EncodeTable(CFile* font, CFile* out, const TableSource& source, WOFFTableDirectoryEntry& entry)
{
    std::unique_ptr<BYTE[]> table = AllocBuffer(source.length);
    font->Seek(source.offset, CFile::begin);
    if (font->Read(table.get(), source.length) != source.length) {
        AfxMessageBox(kMsgFontBroken);
        return FALSE;
    }
    entry.offset = static_cast<DWORD>(out->GetPosition());
    entry.compLength = source.length;
    if (source.length > 0) {
        // An empty table would come out of zlib longer than itself: it is stored as it is.
        std::unique_ptr<BYTE[]> packed;
        uLongf packedLength = 0;
        if (!CompressBest(table.get(), source.length, packed, packedLength)) {
            AfxMessageBox(kMsgCompressFailed);
            return FALSE;
        }
        if (packedLength < source.length) {
            entry.compLength = static_cast<DWORD>(packedLength);
            out->Write(packed.get(), entry.compLength);
        } else {
            out->Write(table.get(), source.length);
        }
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
    std::unique_ptr<BYTE[]> packed;
    uLongf packedLength = 0;
    if (!CompressBest(metaData, length, packed, packedLength)) {
        AfxMessageBox(kMsgCompressFailed);
        return FALSE;
    }
    out->Write(packed.get(), static_cast<UINT>(packedLength));
    header.metaLength = static_cast<DWORD>(packedLength);
    header.metaOrigLength = length;
    return TRUE;
}

} // namespace

BOOL CWOFF::EncodeWOFF(CFile* out, BYTE* pMetaData, UINT nMetaDataLength)
{
    if (!m_bFontInput) return FALSE;
    DWORD start;
    if (!GetFontStart(start)) {
        // No member of the collection has that number: there is no font to read.
        AfxMessageBox(kMsgFontBroken);
        return FALSE;
    }
    ReadOffsetTable(m_pFile);
    ReadTableDirectory(m_pFile);

    m_woffHeader = WOFFHeader{};
    std::memcpy(m_woffHeader.signature, "wOFF", 4);
    m_woffHeader.flavor = m_offsetTable.sfntVersion;
    m_woffHeader.majorVersion = 1;
    const std::vector<TableSource> sources = PlanTables(m_sfntDirectory, m_woffDirectory);
    m_woffHeader.numTables = static_cast<WORD>(m_woffDirectory.GetSize());
    m_woffHeader.totalSfntSize = TotalSfntSize(m_woffDirectory);

    if (!SourcesFitFile(sources, m_pFile->GetLength())) {
        AfxMessageBox(kMsgFontBroken);
        return FALSE;
    }

    // Placeholders, rewritten once every offset and length is known.
    WriteWOFFHeader(out);
    WriteWOFFTableDirectory(out);
    for (size_t i = 0; i < sources.size(); ++i)
        if (!EncodeTable(m_pFile, out, sources[i], m_woffDirectory[INT_PTR(i)])) return FALSE;
    if (nMetaDataLength != 0 && !AppendMetaData(out, pMetaData, nMetaDataLength, m_woffHeader)) return FALSE;

    m_woffHeader.length = static_cast<DWORD>(out->GetLength());
    WriteWOFFHeader(out);
    WriteWOFFTableDirectory(out);
    return TRUE;
}
