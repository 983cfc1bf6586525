// Collection member extraction: the picked member written as a font of its own, every table
// copied whole (shared tables included), every checksum computed afresh and the
// checkSumAdjustment set for the new file.
#include "DirectoryCheck.h"
#include "EngineMessages.h"
#include "FileIO.h"
#include "Layout.h"
#include "SfntWriter.h"
#include "WOFF.h"

namespace {

const char* const kTrueTypeOrder[] = {"head", "hhea", "maxp", "OS/2", "hmtx", "LTSH", "VDMX",
                                      "hdmx", "cmap", "fpgm", "prep", "cvt ", "loca", "glyf",
                                      "kern", "name", "post", "gasp", "PCLT", "DSIG", nullptr};
const char* const kCffOrder[] = {"head", "hhea", "maxp", "OS/2", "name", "cmap", "post", "CFF ", nullptr};

// Every table of the member is copied, "DSIG" and repeated tags included, each from its own
// bytes; a few tags may share one range of the file.
bool MemberIsSound(const CSfntDirectory& directory, DWORD start, WORD numTables, ULONGLONG fileLength)
{
    std::vector<TableSpan> tables;
    for (const sfnt_DirectoryEntry& entry : directory) tables.push_back(SpanOf(entry));
    const ULONGLONG directoryEnd = ULONGLONG(start) + kOffsetTableSize + kSfntEntrySize * ULONGLONG(numTables);
    return DirectoryIsSound(tables, {fileLength, directoryEnd, false, kMaxTableBytesPerFileByte});
}

DWORD LongestTable(const CSfntDirectory& directory)
{
    DWORD longest = 0;
    for (const sfnt_DirectoryEntry& entry : directory) longest = std::max(longest, entry.length);
    return longest;
}

// The table's checksum; the "head" table's leaves out its checkSumAdjustment (bytes 8 to 11, in
// the first piece), which the collection's own checksum may or may not have counted. A second
// "head" too short to hold one has nothing to leave out: its checksum is that of its bytes.
bool FreshChecksum(CFile* file, const sfnt_DirectoryEntry& entry, BYTE* buffer, DWORD& sum)
{
    sum = 0;
    const bool head = TagIs(entry.tag, "head");
    return ForEachPiece(file, entry.offset, entry.length, buffer, [&](const BYTE* data, DWORD n, DWORD at) {
        sum += CalcTableChecksum(data, n);
        if (head && at == 0 && n >= 12) sum -= GetBe32(data + 8);
    });
}

} // namespace

BOOL CWOFF::ExtractFont(CFile* out)
{
    // A member number outside the collection names no font: nothing is read for it.
    DWORD start;
    const BOOL member = GetFontStart(start);
    if (member) {
        ReadOffsetTable(m_pFile);
        ReadTableDirectory(m_pFile);
    }
    if (!member || !MemberIsSound(m_sfntDirectory, start, m_offsetTable.numTables, m_pFile->GetLength()))
        return Refuse(kMsgFontBroken);
    std::unique_ptr<BYTE[]> buffer = AllocBuffer(std::min(LongestTable(m_sfntDirectory), kTablePiece));

    for (sfnt_DirectoryEntry& entry : m_sfntDirectory)
        if (!FreshChecksum(m_pFile, entry, buffer.get(), entry.checkSum)) return Refuse(kMsgFontBroken);

    // The member's own offset table and directory order; the directory is written twice, the
    // second time with the offsets the tables got.
    WriteOffsetTable(out);
    WriteTableDirectory(out, &m_sfntDirectory, FALSE);
    CWordArray order;
    MakeOutputOrder(m_sfntDirectory, m_bTrueType ? kTrueTypeOrder : kCffOrder, order);
    CSfntDirectory copy;
    copy.Append(m_sfntDirectory);
    for (const WORD index : order) {
        const sfnt_DirectoryEntry& entry = m_sfntDirectory[index];
        copy[index].offset = static_cast<DWORD>(out->GetPosition());
        const bool whole = ForEachPiece(m_pFile, entry.offset, entry.length, buffer.get(),
                                        [out](const BYTE* data, DWORD n, DWORD) { out->Write(data, n); });
        if (!whole) return Refuse(kMsgFontBroken);
        WriteTablePadding(out, entry.length);
    }
    WriteTableDirectory(out, &copy, TRUE);
    WriteChecksumAdjustment(out, copy, SumTableChecksums());
    return TRUE;
}
