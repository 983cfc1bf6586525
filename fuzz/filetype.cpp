// Input detection in both modes, then what the conversion does with a font before encoding
// it: for a collection the collection header, a walk over every member with the engine's
// readers (offset table, table directory, bounds test, name table), the program's own font
// picker over the same collection, answered by picking its last entry, and the outline test of
// the picked font; for a single font the same readers once. The input is the file itself.
//
// The picker must list every member of a sound collection under a name its record holds, and
// refuse a collection with a member whose tables leave the file, with its message.
#include "CodePage.h"
#include "Dialog.h"
#include "FontNumberDlg.h"
#include "FuzzSupport.h"
#include "Limits.h"
#include "WOFF.h"

#include <cstring>
#include <vector>

namespace {

using fuzz::Be16;

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

// The string of the record the picker lists a member under: its Japanese full name on the
// Windows platform, else its first Windows full name; null without either.
const BYTE* ListedString(const CWOFF& font, WORD& length)
{
    const NameTable& table = font.m_nameTable;
    if (font.m_nNameIndex == -1 || table.count == 0) return nullptr;
    fuzz::Check(table.pNameRecords && table.ppStrings, "name table with records but no arrays");
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < table.count; ++i) {
            const NameRecord& r = table.pNameRecords[i];
            if (r.platformID != 3 || r.nameID != 4 || (pass == 0 && r.languageID != 0x411)) continue;
            fuzz::Check(r.length <= 512, "a name longer than its buffer");
            length = r.length;
            return table.ppStrings[i];
        }
    }
    return nullptr;
}

// What the list may show for a member: "????" without a name, else characters of the name
// in their order (those without a Shift-JIS form dropped, the name ended at a NUL), no more
// than fit 511 bytes of Shift-JIS.
void CheckEntry(const std::u16string& entry, const std::u16string& name, bool named)
{
    if (!named) return fuzz::Check(entry == u"????", "a member without a name not listed as ????");
    size_t at = 0;
    for (const char16_t c : entry) {
        while (at < name.size() && name[at] != c) ++at;
        fuzz::Check(at < name.size(), "an entry shows what its name does not hold");
        ++at;
    }
    const int bytes = WideCharToMultiByte(932, 0, entry.data(), static_cast<int>(entry.size()), nullptr, 0, nullptr, nullptr);
    fuzz::Check(bytes <= 511, "an entry longer than a listed name may be");
}

// The picker's list as the presenter found it, and the run's result.
struct PickerRun {
    INT_PTR result = -1;
    int chosen = -1;
    std::vector<std::u16string> entries;
};

std::vector<std::u16string> ListEntries(CDialog& dialog)
{
    CWnd* list = dialog.GetDlgItem(IDC_LIST_FONTS);
    fuzz::Check(list != nullptr, "the picker has no list");
    std::vector<std::u16string> entries;
    const int count = static_cast<int>(list->SendMessage(LB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
        std::vector<WCHAR> text(static_cast<size_t>(list->SendMessage(LB_GETTEXTLEN, i)) + 1);
        list->SendMessage(LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        entries.emplace_back(text.data());
    }
    return entries;
}

// The program's own picker over the collection, on an engine of its own, answered by picking
// the last entry.
PickerRun RunPicker(CFile& file)
{
    static std::vector<std::u16string>* listed = nullptr;
    static const bool installed = [] {
        SetDialogPresenter([](CDialog& dialog) -> INT_PTR {
            fuzz::Check(dynamic_cast<CFontNumberDlg*>(&dialog) != nullptr, "a dialog other than the picker was opened");
            *listed = ListEntries(dialog);
            if (!listed->empty()) dialog.GetDlgItem(IDC_LIST_FONTS)->SendMessage(LB_SETCURSEL, listed->size() - 1);
            dialog.ClickButton(IDOK);
            return IDOK;
        });
        return true;
    }();
    (void)installed;
    PickerRun run;
    listed = &run.entries;
    CWOFF font(&file, TRUE);
    fuzz::Check(font.CheckFileType() && font.m_bTTC, "a collection read twice reads otherwise");
    font.ReadTTCHeader(&file);
    CFontNumberDlg picker(nullptr);
    picker.m_pWOFF = &font;
    run.result = picker.DoModal();
    run.chosen = picker.m_nFontIndex;
    listed = nullptr;
    return run;
}

void WalkMember(CWOFF& font, CFile& file, size_t size, WalkCost& cost)
{
    font.ReadOffsetTable(&file);
    font.ReadTableDirectory(&file);
    cost.Member(font);
    CheckDirectory(font, size);
    CheckBounds(font, file, size, cost);
}

enum class Walk { Sound, Broken, TooCostly };

// The names the picker should list, from a walk of the harness's own over the members with
// the engine's readers; stops at a member that fails the bounds test, as the picker's walk
// must too, or once the walk has cost more than a harness lets an input claim.
Walk WalkCollection(CWOFF& font, CFile& file, size_t size, std::vector<std::u16string>& names, std::vector<bool>& named)
{
    WalkCost cost;
    const DWORD numFonts = font.m_ttcHeader.numFonts;
    for (font.m_nFontNumber = 0; static_cast<DWORD>(font.m_nFontNumber) < numFonts; ++font.m_nFontNumber) {
        WalkMember(font, file, size, cost);
        if (!font.CheckTableBounds(&file)) return Walk::Broken;
        font.ReadNameTable(&file);
        cost.Names(font);
        WORD length = 0;
        const BYTE* string = ListedString(font, length);
        std::u16string name(length / 2, u'\0');
        for (size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(Be16(string + 2 * i));
        names.push_back(std::move(name));
        named.push_back(string != nullptr);
        if (!fuzz::WithinClaimBound(cost.most)) return Walk::TooCostly;
    }
    return Walk::Sound;
}

void CheckPicker(CFile& file, Walk walk, const std::vector<std::u16string>& names, const std::vector<bool>& named)
{
    if (walk == Walk::TooCostly) return;
    const size_t boxesBefore = fuzz::BoxesShown();
    const PickerRun run = RunPicker(file);
    if (walk == Walk::Broken) {
        // The readers may have said what they found cut short before the picker's own message.
        fuzz::Check(run.result == IDCANCEL && fuzz::BoxesShown() > boxesBefore &&
                        fuzz::LastMessage() == u"ファイルが壊れている可能性があります。",
                    "the picker listed a collection with a member outside the file");
        return;
    }
    fuzz::Check(run.result == IDOK, "the picker refused a collection whose members are all sound");
    fuzz::Check(run.entries.size() == names.size(), "the picker lists other than one entry per member");
    fuzz::Check(run.chosen == static_cast<int>(names.size()) - 1, "the picker hands back another member than chosen");
    for (size_t i = 0; i < names.size(); ++i) CheckEntry(run.entries[i], names[i], named[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::AllowMessage(u"ファイルが壊れている可能性があります。");
    fuzz::InputFile input(data, size);
    CFile& file = input.File();
    fuzz::Guarded([&] {
        CheckWOFFMode(file, data, size);

        CWOFF font(&file, TRUE);
        if (!font.CheckFileType()) return;
        fuzz::Check(font.m_bTTC + font.m_bTrueType + font.m_bCFF == 1, "accepted font without exactly one kind flag");
        if (!font.m_bTTC) {
            WalkCost cost;
            WalkMember(font, file, size, cost);
            font.ReadNameTable(&file);
            font.ReadFontHeader();
            return;
        }
        font.ReadTTCHeader(&file);
        const DWORD numFonts = font.m_ttcHeader.numFonts;
        fuzz::Check(numFonts <= (size > 12 ? (size - 12 + 3) / 4 : 0), "more members than the file has offsets for");
        std::vector<std::u16string> names;
        std::vector<bool> named;
        const Walk walk = WalkCollection(font, file, size, names, named);
        // The user picks the last member, or names one that does not exist.
        font.m_nFontNumber = numFonts ? static_cast<int>(numFonts - 1) : 0;
        font.ReadFontHeader();
        font.m_nFontNumber = static_cast<int>(numFonts);
        font.ReadFontHeader();
        font.m_nFontNumber = -1;
        font.ReadFontHeader();
        CheckPicker(file, walk, names, named);
    });
    return 0;
}
