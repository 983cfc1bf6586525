// Collection member extraction: the picked member written as a font of its own, every table
// copied whole (shared tables included), every checksum computed afresh and the
// checkSumAdjustment set for the new file.
#include "EngineMessages.h"
#include "FileIO.h"
#include "Layout.h"
#include "MessageBox.h"
#include "SfntWriter.h"
#include "WOFF.h"

namespace {

const char* const kTrueTypeOrder[] = {"head", "hhea", "maxp", "OS/2", "hmtx", "LTSH", "VDMX",
                                      "hdmx", "cmap", "fpgm", "prep", "cvt ", "loca", "glyf",
                                      "kern", "name", "post", "gasp", "PCLT", "DSIG", nullptr};
const char* const kCffOrder[] = {"head", "hhea", "maxp", "OS/2", "name", "cmap", "post", "CFF ", nullptr};

// How many times over the tables of one member may name the bytes of the file. Tables normally
// do not overlap; a few fonts let two tags share one range (bitmap data kept for two platforms),
// but a directory naming its file many times over is damaged or hostile.
constexpr ULONGLONG kMaxTableBytesPerFileByte = 4;

// What is checked before anything is read or written: the directory is whole (every entry's 16
// bytes are in the file: the reader keeps an entry that the file ends inside, with the missing
// fields of the entry before, which would make up a table), it has a "head"
// table that holds a checkSumAdjustment, every table lies within the file, and the tables
// together name the file's bytes only a few times over, so that a directory pointing many
// entries at one large range cannot make the output or the work grow out of proportion to the
// file. Also returns the longest table, for the one buffer the copy needs.
bool MemberIsSound(const CSfntDirectory& directory, DWORD start, WORD numTables, ULONGLONG fileLength,
                   DWORD& longest)
{
    if (directory.GetSize() != numTables) return false;
    if (ULONGLONG(start) + kOffsetTableSize + kSfntEntrySize * ULONGLONG(numTables) > fileLength) return false;
    const INT_PTR head = FindHead(directory);
    if (head < 0 || directory[head].length < 12) return false;
    ULONGLONG total = 0, padded = 0;
    longest = 0;
    for (const sfnt_DirectoryEntry& entry : directory) {
        if (ULONGLONG(entry.offset) + entry.length > fileLength) return false;
        total += entry.length;
        padded += PaddedLength(entry.length);
        longest = std::max(longest, entry.length);
    }
    return total <= kMaxTableBytesPerFileByte * fileLength && padded <= kMaxSfntSize;
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
    DWORD longest = 0;
    if (!member || !MemberIsSound(m_sfntDirectory, start, m_offsetTable.numTables, m_pFile->GetLength(), longest)) {
        AfxMessageBox(kMsgFontBroken);
        return FALSE;
    }
    std::unique_ptr<BYTE[]> buffer = AllocBuffer(std::min(longest, kTablePiece));

    for (sfnt_DirectoryEntry& entry : m_sfntDirectory) {
        if (!FreshChecksum(m_pFile, entry, buffer.get(), entry.checkSum)) {
            AfxMessageBox(kMsgFontBroken);
            return FALSE;
        }
    }

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
        if (!whole) {
            AfxMessageBox(kMsgFontBroken);
            return FALSE;
        }
        WriteTablePadding(out, entry.length);
    }
    WriteTableDirectory(out, &copy, TRUE);
    WriteChecksumAdjustment(out, copy, SumTableChecksums());
    return TRUE;
}
