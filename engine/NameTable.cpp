// The 'name' table of the selected font, as the collection font picker lists it, and the
// conversion of its big-endian UTF-16 strings to Shift-JIS.
#include "CodePage.h"
#include "FileIO.h"
#include "Limits.h"
#include "WOFF.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t kNameHeaderSize = 6;
constexpr size_t kNameRecordSize = 12;
constexpr WORD kStringBufferSize = kMaxNameStringBytes;

void ParseNameRecord(FieldReader& reader, NameRecord& record)
{
    reader.U16(record.platformID);
    reader.U16(record.encodingID);
    reader.U16(record.languageID);
    reader.U16(record.nameID);
    reader.U16(record.length);
    reader.U16(record.offset);
}

// The part of the string storage that the records name: record offsets are 16-bit and strings
// are kept to 512 bytes, so it is never longer than 64 KiB and 512 bytes.
void StringSpan(const NameRecord* records, WORD count, size_t& first, size_t& end)
{
    first = SIZE_MAX;
    end = 0;
    for (WORD i = 0; i < count; ++i) {
        if (records[i].length == 0) continue;
        first = std::min<size_t>(first, records[i].offset);
        end = std::max<size_t>(end, size_t(records[i].offset) + records[i].length);
    }
    if (end == 0) first = 0;
}

} // namespace

void CWOFF::ReadNameTable(CFile* file)
{
    // Without a 'name' table the table read for an earlier font stays, as the picker expects.
    if (m_nNameIndex < 0 || m_nNameIndex >= m_sfntDirectory.GetSize()) return;
    const DWORD tableOffset = m_sfntDirectory[m_nNameIndex].offset;
    // Members that share their font share this table: the one held is what a read would give.
    if (file == m_pFile && m_nameTableOffset == tableOffset) {
        m_nWalkBytes += ULONGLONG(m_nameTable.count) * kSharedNameRecordCost;
        return;
    }
    FreeNameTable();

    ParseFields(ReadAt(file, tableOffset, kNameHeaderSize), [&](FieldReader& reader) {
        reader.U16(m_nameTable.format);
        reader.U16(m_nameTable.count);
        reader.U16(m_nameTable.stringOffset);
    });

    // Records wholly past the end of the file are not made up: count comes down to the records
    // the file holds (one cut short counts, with the fields it lacks left zero), so a count the
    // file only claims costs no string buffers.
    const std::vector<BYTE>& block =
        ReadAt(file, ULONGLONG(tableOffset) + kNameHeaderSize, kNameRecordSize * m_nameTable.count);
    const WORD held = static_cast<WORD>(
        std::min<size_t>((block.size() + kNameRecordSize - 1) / kNameRecordSize, m_nameTable.count));
    m_nameTable.count = 0;
    m_nameTable.pNameRecords = EngineNew<NameRecord>(held);
    m_nameTable.ppStrings = EngineNew<BYTE*>(held);
    // Zeroed, so that whatever the file does not supply reads as zeros.
    for (WORD i = 0; i < held; ++i) m_nameTable.ppStrings[i] = EngineNew<BYTE>(kStringBufferSize);
    m_nameTable.count = held;
    m_nWalkBytes += ULONGLONG(held) * kStringBufferSize;  // filling them is the walk's work too
    ParseFields(block, [&](FieldReader& reader) {
        for (WORD i = 0; i < held; ++i) ParseNameRecord(reader, m_nameTable.pNameRecords[i]);
    });
    for (WORD i = 0; i < held; ++i)
        m_nameTable.pNameRecords[i].length = std::min(m_nameTable.pNameRecords[i].length, kStringBufferSize);

    // One read of the storage serves every string, however many records name the same bytes; it
    // takes the place of the records' bytes, which are parsed by now.
    size_t first, end;
    StringSpan(m_nameTable.pNameRecords, held, first, end);
    const ULONGLONG storage = ULONGLONG(tableOffset) + m_nameTable.stringOffset;
    const std::vector<BYTE>& strings = ReadAt(file, storage + first, end - first);
    for (WORD i = 0; i < held; ++i) {
        const NameRecord& record = m_nameTable.pNameRecords[i];
        const size_t at = record.offset - first;
        if (record.length == 0 || at >= strings.size()) continue;
        const size_t n = std::min<size_t>(record.length, strings.size() - at);
        std::memcpy(m_nameTable.ppStrings[i], strings.data() + at, n);
    }
    if (file == m_pFile) m_nameTableOffset = tableOffset;
}

int ConvertUTF16BEToShiftJIS(const BYTE* src, BYTE* dst, int nChars)
{
    int written = 0;
    for (int i = 0; i < nChars; ++i) {
        // One unit at a time: a surrogate pair is never combined, and each half is dropped.
        const WCHAR unit = static_cast<WCHAR>((src[2 * i] << 8) | src[2 * i + 1]);
        char bytes[2];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr, &usedDefault);
        if (n <= 0 || usedDefault) continue;
        std::copy(bytes, bytes + n, dst + written);
        written += n;
    }
    return written;
}
