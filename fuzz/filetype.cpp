// Input detection in both modes, then what the conversion does with a font before encoding
// it: for a collection the collection header and the font picker's walk over every member
// (offset table, table directory, bounds test, name table, the full name chosen and converted
// to Shift-JIS and back), for a single font the same readers once, and last the outline test
// of the picked font. The input is the file itself.
#include "CodePage.h"
#include "FuzzSupport.h"
#include "Limits.h"
#include "WOFF.h"

#include <cstring>
#include <vector>

namespace {

bool StartsWith(const uint8_t* data, size_t size, const char* magic)
{
    return size >= 4 && std::memcmp(data, magic, 4) == 0;
}

void CheckWOFFMode(CFile& file, const uint8_t* data, size_t size)
{
    CWOFF woff(&file, FALSE);
    const BOOL accepted = woff.CheckFileType();
    fuzz::Check(woff.m_bWOFF2 == StartsWith(data, size, "wOF2"), "WOFF2 flag disagrees with the signature");
    if (accepted) {
        fuzz::Check(StartsWith(data, size, "wOFF") || StartsWith(data, size, "wOF2"), "accepted without a WOFF signature");
        fuzz::Check(woff.m_bTrueType + woff.m_bCFF == 1 && !woff.m_bTTC, "accepted WOFF without exactly one outline flag");
    }
}

// What the engine's directory holds must be what the file holds: never more entries than the
// offset table names or the file has room for, and indices that name the right tags.
void CheckDirectory(const CWOFF& font, size_t size)
{
    const INT_PTR entries = font.m_sfntDirectory.GetSize();
    fuzz::Check(entries <= font.m_offsetTable.numTables, "directory longer than numTables");
    fuzz::Check(static_cast<size_t>(entries) <= size / 16 + 1, "directory longer than the file can hold");
    const struct { int index; const char* tag; } named[] = {
        {font.m_nNameIndex, "name"}, {font.m_nHeadIndex, "head"}, {font.m_nOS2Index, "OS/2"},
        {font.m_nGlyfIndex, "glyf"}, {font.m_nCFFIndex, "CFF "},
    };
    for (const auto& n : named) {
        fuzz::Check(n.index >= -1 && n.index < entries, "table index outside the directory");
        if (n.index >= 0) fuzz::Check(std::memcmp(font.m_sfntDirectory[n.index].tag, n.tag, 4) == 0, "table index names another tag");
    }
}

// The most the readers may have counted against the walk so far: each member's offset table and
// directory entries, and each name table's header, records with their 512-byte buffers and the
// part of the string storage they name.
struct WalkCost {
    uint64_t most = 0;
    void Member(const CWOFF& font) { most += 12 + 16 * uint64_t(font.m_sfntDirectory.GetSize()); }
    void Names(const CWOFF& font) { most += 6 + (12 + 512) * uint64_t(font.m_nameTable.count) + 0x10000 + 512; }
};

// The bounds test passes only for a member whose tables lie in the file, and fails for one whose
// tables do only once the walk has cost more than the file justifies.
void CheckBounds(CWOFF& font, CFile& file, size_t size, const WalkCost& cost)
{
    bool inside = true;
    for (const sfnt_DirectoryEntry& entry : font.m_sfntDirectory)
        if (uint64_t(entry.offset) + entry.length > size) inside = false;
    const BOOL bounds = font.CheckTableBounds(&file);
    if (bounds) fuzz::Check(inside, "bounds test passed a table outside the file");
    if (!bounds && inside)
        fuzz::Check(cost.most > kMaxWalkBytesPerFileByte * size + kWalkAllowance, "bounds test failed a sound member early");
}

// The list entry the font picker makes of a member: its Japanese full name on the Windows
// platform, else any Windows full name, converted to Shift-JIS (at most 511 bytes) and then
// to the list's text. The buffers are exactly as large as promised, so any overrun shows.
void ListName(CWOFF& font)
{
    const NameTable& table = font.m_nameTable;
    if (font.m_nNameIndex == -1 || table.count == 0) return;
    fuzz::Check(table.pNameRecords && table.ppStrings, "name table with records but no arrays");
    int chosen = -1;
    for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
        for (int i = 0; i < table.count && chosen < 0; ++i) {
            const NameRecord& r = table.pNameRecords[i];
            if (r.platformID == 3 && r.nameID == 4 && (pass == 1 || r.languageID == 0x411)) chosen = i;
        }
    }
    if (chosen < 0) return;
    const NameRecord& record = table.pNameRecords[chosen];
    fuzz::Check(record.length <= 512, "a name longer than its buffer");
    const std::vector<BYTE> utf16(table.ppStrings[chosen], table.ppStrings[chosen] + record.length);
    const int units = record.length / 2;
    std::vector<BYTE> sjis(2 * static_cast<size_t>(units));
    const int written = ConvertUTF16BEToShiftJIS(utf16.data(), sjis.data(), units);
    fuzz::Check(written >= 0 && written <= 2 * units, "conversion wrote past its room");
    std::vector<char> name(sjis.begin(), sjis.begin() + std::min(written, 511));
    name.push_back('\0');
    const int wide = MultiByteToWideChar(CP_THREAD_ACP, 0, name.data(), -1, nullptr, 0);
    std::vector<char16_t> text(static_cast<size_t>(std::max(wide, 1)));
    MultiByteToWideChar(CP_THREAD_ACP, 0, name.data(), -1, text.data(), wide);
}

void WalkMember(CWOFF& font, CFile& file, size_t size, WalkCost& cost)
{
    font.ReadOffsetTable(&file);
    font.ReadTableDirectory(&file);
    cost.Member(font);
    CheckDirectory(font, size);
    CheckBounds(font, file, size, cost);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::InputFile input(data, size);
    CFile& file = input.File();
    fuzz::Guarded([&] {
        CheckWOFFMode(file, data, size);

        CWOFF font(&file, TRUE);
        if (!font.CheckFileType()) return;
        fuzz::Check(font.m_bTTC + font.m_bTrueType + font.m_bCFF == 1, "accepted font without exactly one kind flag");
        WalkCost cost;
        if (!font.m_bTTC) {
            WalkMember(font, file, size, cost);
            font.ReadNameTable(&file);
            ListName(font);
            font.ReadFontHeader();
            return;
        }
        font.ReadTTCHeader(&file);
        const DWORD numFonts = font.m_ttcHeader.numFonts;
        fuzz::Check(numFonts <= (size > 12 ? (size - 12 + 3) / 4 : 0), "more members than the file has offsets for");
        // The picker stops at the first member whose tables leave the file.
        for (font.m_nFontNumber = 0; static_cast<DWORD>(font.m_nFontNumber) < numFonts; ++font.m_nFontNumber) {
            WalkMember(font, file, size, cost);
            if (!font.CheckTableBounds(&file)) break;
            font.ReadNameTable(&file);
            cost.Names(font);
            ListName(font);
        }
        // The user picks the last member, or names one that does not exist.
        font.m_nFontNumber = numFonts ? static_cast<int>(numFonts - 1) : 0;
        font.ReadFontHeader();
        font.m_nFontNumber = static_cast<int>(numFonts);
        font.ReadFontHeader();
        font.m_nFontNumber = -1;
        font.ReadFontHeader();
    });
    return 0;
}
