// The WOFF 1.0 decoder: the metadata block shown first, then every table but "DSIG" written
// uncompressed behind a directory in ascending tag order, and the checkSumAdjustment set for
// the new font.
#include "DirectoryCheck.h"
#include "EngineMessages.h"
#include "FileIO.h"
#include "Layout.h"
#include "MessageBox.h"
#include "MetaDataViewer.h"
#include "SfntWriter.h"
#include "WOFF.h"

#include <algorithm>
#include <zlib.h>

namespace {

const char* const kTrueTypeOrder[] = {"head", "hhea", "maxp", "post", "OS/2", "name", "gasp", "cvt ", "fpgm",
                                      "prep", "cmap", "loca", "hmtx", "mort", "GSUB", "vhea", "vmtx", "glyf",
                                      "EBLC", "EBDT", "LTSH", "VDMX", "hdmx", "kern", "PCLT", "DSIG", nullptr};
const char* const kCffOrder[] = {"head", "hhea", "maxp", "post", "OS/2", "cmap", "hmtx",
                                 "GSUB", "vhea", "vmtx", "VORG", "BASE", "name", "CFF ", nullptr};

// The two pieces one table passes through: its stored bytes, and what zlib makes of them.
struct Pieces {
    std::unique_ptr<BYTE[]> stored = AllocBuffer(kTablePiece);
    std::unique_ptr<BYTE[]> inflated = AllocBuffer(kTablePiece);
};

// Fewer bytes at [offset, offset + length) than length: the block is not in the file.
bool InFile(CFile* file, DWORD offset, DWORD length)
{
    return ULONGLONG(offset) + length <= file->GetLength();
}

// The tables the decoder reads: every entry but "DSIG", which it neither reads nor writes. A
// WOFF's blocks may not share bytes: a table read from another's bytes, or from the header's,
// would give a font that no one accepts, and "success" for it.
bool WoffDirectoryIsSound(const CWOFFDirectory& directory, const WOFFHeader& header, ULONGLONG fileLength)
{
    std::vector<TableSpan> tables;
    for (const WOFFTableDirectoryEntry& entry : directory)
        if (!TagIs(entry.tag, "DSIG")) tables.push_back(SpanOf(entry));
    const ULONGLONG directoryEnd = kWOFFHeaderSize + kWOFFEntrySize * ULONGLONG(header.numTables);
    DirectoryRules rules{fileLength, directoryEnd, true, 1};
    rules.disjointTables = true;
    rules.reserved = {{0, directoryEnd}, {header.metaOffset, header.metaLength}, {header.privOffset, header.privLength}};
    return DirectoryIsSound(tables, rules);
}

void SetSearchFields(OffsetTable& table, WORD numTables)
{
    WORD selector = 0;
    while (numTables >> (selector + 1)) ++selector;
    table.numTables = numTables;
    table.entrySelector = selector;
    table.searchRange = static_cast<WORD>(16u << selector);
    table.rangeShift = static_cast<WORD>(16u * numTables - table.searchRange);
}

// Inflates a table of the WOFF into out, piece by piece, as uncompress would in one go: the
// stream must end, and give exactly origLength bytes.
bool InflateTable(CFile* woff, CFile* out, const WOFFTableDirectoryEntry& source, Pieces& pieces)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    ULONGLONG produced = 0;
    int result = Z_OK;
    const bool whole = ForEachPiece(woff, source.offset, source.compLength, pieces.stored.get(),
                                    [&](const BYTE* data, DWORD n, DWORD) {
        stream.next_in = const_cast<BYTE*>(data);
        stream.avail_in = n;
        // Until the piece is used up and zlib, given room, has nothing more to give.
        while (result == Z_OK) {
            stream.next_out = pieces.inflated.get();
            stream.avail_out = kTablePiece;
            result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_BUF_ERROR && stream.avail_in == 0) result = Z_OK;  // it wants the next piece
            const DWORD made = kTablePiece - stream.avail_out;
            produced += made;
            if (produced > source.origLength) result = Z_DATA_ERROR;
            if (result != Z_OK && result != Z_STREAM_END) break;
            out->Write(pieces.inflated.get(), made);
            if (stream.avail_in == 0 && stream.avail_out != 0) break;
        }
    });
    inflateEnd(&stream);
    return whole && result == Z_STREAM_END && produced == source.origLength;
}

// Writes one table's data, inflating it when it is stored compressed. FALSE after a message.
// A stream that cannot give origLength bytes (one claiming more than deflate can expand its
// bytes to, or none at all) fails in zlib like any other that does not inflate.
BOOL DecodeTable(CFile* woff, CFile* out, const WOFFTableDirectoryEntry& source, Pieces& pieces)
{
    if (source.compLength >= source.origLength) {
        // Stored: its first origLength bytes.
        const bool whole = ForEachPiece(woff, source.offset, source.origLength, pieces.stored.get(),
                                        [out](const BYTE* data, DWORD n, DWORD) { out->Write(data, n); });
        return whole ? TRUE : Refuse(kMsgWOFFBroken);
    }
    return InflateTable(woff, out, source, pieces) ? TRUE : Refuse(kMsgUncompressFailed);
}

// Shows the metadata block, when the file has one, and returns whether the decoding goes on.
// Only a block beyond the file or beyond the cap is refused; below the cap, one that does not
// decompress to what it claims gets its message and is shown all the same.
BOOL ShowWOFFMetaData(CFile* file, const WOFFHeader& header)
{
    if (header.metaLength == 0) return TRUE;
    if (!InFile(file, header.metaOffset, header.metaLength) || header.metaOrigLength > kMaxMetaDataSize)
        return Refuse(kMsgWOFFBroken);
    std::unique_ptr<BYTE[]> packed = AllocBuffer(header.metaLength);
    file->Seek(header.metaOffset, CFile::begin);
    if (file->Read(packed.get(), header.metaLength) != header.metaLength) return Refuse(kMsgWOFFBroken);
    // Zeroed: what a failed decompression leaves unwritten is shown as zeros, and costs nothing
    // when a few bytes claim the cap.
    const ZeroedBytes text = AllocZeroed(header.metaOrigLength);
    uLongf length = header.metaOrigLength;
    if (uncompress(text.get(), &length, packed.get(), header.metaLength) != Z_OK || length != header.metaOrigLength)
        AfxMessageBox(kMsgMetaDataExpandFailed);
    packed.reset();
    return RunMetaDataViewer(text.get(), header.metaOrigLength) == IDOK;
}

} // namespace

BOOL CWOFF::DecodeWOFF(CFile* out)
{
    if (m_bFontInput) return FALSE;
    ReadWOFFHeader(m_pFile);
    m_woffDirectory.RemoveAll();
    ReadWOFFTableDirectory(m_pFile);
    if (!ShowWOFFMetaData(m_pFile, m_woffHeader)) return FALSE;
    if (!WoffDirectoryIsSound(m_woffDirectory, m_woffHeader, m_pFile->GetLength()))
        return Refuse(kMsgWOFFBroken);

    // The font's directory: every table but "DSIG", with the WOFF's checksums taken over, each
    // entry kept beside the WOFF entry its bytes come from. Tags are unique by now, so this is
    // the entry a lookup by tag would find, without a scan of the directory per table.
    struct Planned {
        sfnt_DirectoryEntry entry;
        WOFFTableDirectoryEntry source;
    };
    std::vector<Planned> plan;
    for (const WOFFTableDirectoryEntry& source : m_woffDirectory) {
        if (TagIs(source.tag, "DSIG")) continue;
        sfnt_DirectoryEntry entry{};
        std::memcpy(entry.tag, source.tag, 4);
        entry.checkSum = source.origChecksum;
        entry.length = source.origLength;
        plan.push_back({entry, source});
    }
    std::stable_sort(plan.begin(), plan.end(), [](const Planned& a, const Planned& b) {
        return GetBe32(a.entry.tag) < GetBe32(b.entry.tag);
    });
    m_sfntDirectory.RemoveAll();
    for (Planned& p : plan) m_sfntDirectory.Add(p.entry);
    m_offsetTable.sfntVersion = m_woffHeader.flavor;
    SetSearchFields(m_offsetTable, static_cast<WORD>(m_sfntDirectory.GetSize()));

    // The directory is written twice, the second time with the offsets the tables got.
    WriteOffsetTable(out);
    WriteTableDirectory(out, &m_sfntDirectory, FALSE);
    CWordArray order;
    MakeOutputOrder(m_sfntDirectory, m_bTrueType ? kTrueTypeOrder : kCffOrder, order);
    Pieces pieces;
    for (const WORD index : order) {
        const WOFFTableDirectoryEntry& source = plan[index].source;
        m_sfntDirectory[index].offset = static_cast<DWORD>(out->GetPosition());
        if (!DecodeTable(m_pFile, out, source, pieces)) return FALSE;
        WriteTablePadding(out, source.origLength);
    }
    WriteTableDirectory(out, &m_sfntDirectory, TRUE);
    WriteChecksumAdjustment(out, m_sfntDirectory, SumTableChecksums());
    return TRUE;
}
