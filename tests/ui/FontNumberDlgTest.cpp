// The collection font picker, run without a display: the name each member is listed under,
// how the dialog ends, and what a damaged collection does to it. Collections are built in
// memory, and the real ones are compared with the names fontTools reads from them.
#include "Builders.h"
#include "CodePage.h"
#include "DialogResponder.h"
#include "FontNumberDlg.h"
#include "Responder.h"
#include "TestFonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

using namespace enginetest;

namespace {

struct Name {
    std::uint16_t platformID, encodingID, languageID, nameID;
    Bytes string;  // as stored; length is its size unless given
    int length = -1;
};

Bytes Utf16Be(const std::u16string& text)
{
    Bytes out;
    for (char16_t unit : text) Put16(out, unit);
    return out;
}

// A Windows full name in language.
Name FullName(std::uint16_t language, const std::u16string& text)
{
    return {3, 1, language, 4, Utf16Be(text)};
}

// A 'name' table holding the records in the given order, their strings one after another.
Table NameTable(const std::vector<Name>& names)
{
    Bytes records, storage;
    for (const Name& n : names) {
        for (std::uint16_t v : {n.platformID, n.encodingID, n.languageID, n.nameID}) Put16(records, v);
        Put16(records, static_cast<std::uint16_t>(n.length >= 0 ? n.length : int(n.string.size())));
        Put16(records, static_cast<std::uint16_t>(storage.size()));
        storage.insert(storage.end(), n.string.begin(), n.string.end());
    }
    Bytes table;
    Put16(table, 0);
    Put16(table, static_cast<std::uint16_t>(names.size()));
    Put16(table, static_cast<std::uint16_t>(6 + records.size()));
    table.insert(table.end(), records.begin(), records.end());
    table.insert(table.end(), storage.begin(), storage.end());
    return {"name", table};
}

// A member with a head table and the given names.
std::vector<Table> Member(const std::vector<Name>& names)
{
    return {{"head", Repeated(54, 1)}, NameTable(names)};
}

// What the picker showed and how it ended.
struct Picked {
    INT_PTR result = -1;
    bool shown = false;          // reached the user at all
    std::vector<std::u16string> entries;
    int selectedAtOpen = -2;
    int fontIndex = -2;
    int fontNumberAfter = -2;
    std::vector<std::string> messages;
    std::vector<UINT> styles;
};

using Action = std::function<void(CDialog&)>;

// Opens the picker on the collection in file, as the conversion does, and lets user act on it.
Picked Pick(CFile& file, const Action& user)
{
    ScriptedResponder boxes;
    ScriptedDialogResponder dialogs;
    Picked picked;
    CWOFF woff(&file, TRUE);
    EXPECT_TRUE(woff.CheckFileType());
    EXPECT_TRUE(woff.m_bTTC);
    woff.ReadTTCHeader(&file);

    dialogs.Answer([&](CDialog& d) -> INT_PTR {
        picked.shown = true;
        const auto* list = dynamic_cast<CListBox*>(d.GetDlgItem(IDC_LIST_FONTS));
        EXPECT_NE(list, nullptr);
        if (!list) return IDCANCEL;
        for (int i = 0; i < list->GetCount(); ++i) {
            CString item;
            list->GetText(i, item);
            picked.entries.push_back(item.Str());
        }
        picked.selectedAtOpen = list->GetCurSel();
        user(d);
        EXPECT_TRUE(d.IsEnded());
        return -2;
    });
    CFontNumberDlg dlg;
    dlg.m_pWOFF = &woff;
    picked.result = dlg.DoModal();
    picked.fontIndex = dlg.m_nFontIndex;
    picked.fontNumberAfter = woff.m_nFontNumber;
    for (const auto& box : boxes.Boxes()) {
        picked.messages.push_back(box.text);
        picked.styles.push_back(box.style);
    }
    return picked;
}

Picked Pick(const Bytes& collection, const Action& user = [](CDialog& d) { d.ClickButton(IDOK); })
{
    auto file = MemFile(collection);
    return Pick(*file, user);
}

std::u16string Times(const std::u16string& text, int n)
{
    std::u16string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

} // namespace

TEST(FontNumberDlg, ListsEachMemberUnderItsFullName)
{
    struct Case {
        const char* name;
        std::vector<std::vector<Table>> members;
        std::vector<std::u16string> entries;
    };
    const Case cases[] = {
        {"members in file order",
         {Member({FullName(0x409, u"Alpha")}), Member({FullName(0x409, u"Beta")}), Member({FullName(0x411, u"ガンマ")})},
         {u"Alpha", u"Beta", u"ガンマ"}},
        {"the Japanese name even after an English one",
         {Member({FullName(0x409, u"Gothic"), FullName(0x411, u"ゴシック"), FullName(0x411, u"later")})},
         {u"ゴシック"}},
        {"else the first Windows full name in any language",
         {Member({FullName(0x804, u"文泉"), FullName(0x409, u"WenQuanYi")})},
         {u"文泉"}},
        {"the encoding is not looked at",
         {Member({{3, 10, 0x409, 4, Utf16Be(u"English")}, {3, 0, 0x411, 4, Utf16Be(u"記号")}})},
         {u"記号"}},
        {"a Macintosh full name is never used",
         {Member({{1, 0, 0, 4, {'M', 'a', 'c'}}, {0, 3, 0, 4, Utf16Be(u"Unicode")}})},
         {u"????"}},
        {"other Windows names are not full names",
         {Member({{3, 1, 0x411, 1, Utf16Be(u"Family")}, {3, 1, 0x409, 6, Utf16Be(u"PostScript")}})},
         {u"????"}},
        {"an empty name table",
         {Member({})},
         {u"????"}},
        {"a member without a name table does not take the one before it",
         {Member({FullName(0x409, u"First")}), {{"head", Repeated(54, 1)}}, Member({FullName(0x409, u"Third")})},
         {u"First", u"????", u"Third"}},
        {"a record of length 0 is an empty name, not the placeholder",
         {Member({FullName(0x411, u"")})},
         {u""}},
        {"characters without a Shift-JIS form are left out",
         {Member({FullName(0x409, u"Café ☃ 文泉驿正黑")})},
         {u"Caf  文泉正黑"}},
        {"only the characters up to a zero unit show",
         {Member({FullName(0x409, std::u16string(u"AB\0CD", 5))})},
         {u"AB"}},
        {"a record of odd length loses its last byte",
         {Member({{3, 1, 0x409, 4, {0, 'A', 0, 'B', 0, 'C', 0}}})},
         {u"ABC"}},
        {"256 double-byte characters: the 256th would pass 511 bytes",
         {Member({FullName(0x411, Times(u"あ", 256))})},
         {Times(u"あ", 255)}},
        {"one byte less fits exactly",
         {Member({FullName(0x411, std::u16string(u"A") + Times(u"あ", 255))})},
         {std::u16string(u"A") + Times(u"あ", 255)}},
        {"a record longer than 512 bytes gives its first 256 units",
         {Member({FullName(0x409, Times(u"Z", 300))})},
         {Times(u"Z", 256)}},
        {"a string past the end of the file reads as zeros: an empty name",
         {Member({{3, 1, 0x409, 4, {}, 40}})},
         {u""}},
    };
    for (const Case& c : cases) {
        const Picked picked = Pick(BuildCollection(c.members));
        EXPECT_EQ(picked.entries, c.entries) << c.name;
        EXPECT_EQ(picked.selectedAtOpen, 0) << c.name;
        EXPECT_EQ(picked.result, IDOK) << c.name;
        EXPECT_EQ(picked.fontIndex, 0) << c.name;
        EXPECT_EQ(picked.fontNumberAfter, int(c.members.size())) << c.name << ": the walk leaves it past the last member";
        EXPECT_TRUE(picked.messages.empty()) << c.name;
    }
}

TEST(FontNumberDlg, EndsWithTheChosenEntryOnlyForOk)
{
    struct Case {
        const char* name;
        Action user;
        INT_PTR result;
        int fontIndex;
    };
    const Case cases[] = {
        {"OK", [](CDialog& d) { d.ClickButton(IDOK); }, IDOK, 0},
        {"Enter", [](CDialog& d) { d.PressEnter(); }, IDOK, 0},
        {"the third entry, then OK",
         [](CDialog& d) {
             dynamic_cast<CListBox&>(*d.GetDlgItem(IDC_LIST_FONTS)).SetCurSel(2);
             d.ClickButton(IDOK);
         },
         IDOK, 2},
        {"a double click on the third entry", [](CDialog& d) { d.DoubleClickListEntry(IDC_LIST_FONTS, 2); }, IDOK, 2},
        {"no entry selected, then OK",
         [](CDialog& d) {
             dynamic_cast<CListBox&>(*d.GetDlgItem(IDC_LIST_FONTS)).SetCurSel(-1);
             d.ClickButton(IDOK);
         },
         IDOK, -1},
        {"キャンセル", [](CDialog& d) { d.ClickButton(IDCANCEL); }, IDCANCEL, -1},
        {"Esc", [](CDialog& d) { d.PressEscape(); }, IDCANCEL, -1},
        {"the close box", [](CDialog& d) { d.PressCloseBox(); }, IDCANCEL, -1},
    };
    const Bytes collection = BuildCollection({Member({FullName(0x409, u"One")}), Member({FullName(0x409, u"Two")}),
                                              Member({FullName(0x409, u"Three")})});
    for (const Case& c : cases) {
        const Picked picked = Pick(collection, c.user);
        EXPECT_EQ(picked.result, c.result) << c.name;
        EXPECT_EQ(picked.fontIndex, c.fontIndex) << c.name;
    }
}

TEST(FontNumberDlg, EmptyCollectionListsNothingAndOkNamesNoFont)
{
    const Picked picked = Pick(BuildCollection({}));
    EXPECT_TRUE(picked.entries.empty());
    EXPECT_EQ(picked.selectedAtOpen, LB_ERR);
    EXPECT_EQ(picked.result, IDOK);
    EXPECT_EQ(picked.fontIndex, -1);
    EXPECT_TRUE(picked.messages.empty());

    const Picked clicked = Pick(BuildCollection({}), [](CDialog& d) { d.DoubleClickListEntry(IDC_LIST_FONTS, 0); d.PressEscape(); });
    EXPECT_EQ(clicked.result, IDCANCEL) << "a double click where there is no entry does nothing";
}

TEST(FontNumberDlg, MemberWithTablesPastTheEndClosesItBeforeTheUserCanChoose)
{
    const std::vector<Table> good = Member({FullName(0x409, u"Good")});
    Bytes collection = BuildCollection({good, good, good});
    // The second member's 'name' table now runs one byte past the end of the file.
    const std::uint32_t second = testfonts::Be32(collection, 16);
    const size_t nameRecord = second + 12 + 16;
    const std::uint32_t nameOffset = testfonts::Be32(collection, nameRecord + 8);
    const std::uint32_t pastEnd = static_cast<std::uint32_t>(collection.size()) - nameOffset + 1;
    for (int i = 0; i < 4; ++i) collection[nameRecord + 12 + i] = static_cast<std::uint8_t>(pastEnd >> (24 - 8 * i));

    const Picked picked = Pick(collection);
    EXPECT_FALSE(picked.shown) << "the dialog ends before it is shown";
    EXPECT_EQ(picked.result, IDCANCEL);
    EXPECT_EQ(picked.fontIndex, -1);
    EXPECT_EQ(picked.fontNumberAfter, 1) << "the walk stops at the damaged member";
    EXPECT_EQ(picked.messages, std::vector<std::string>{"ファイルが壊れている可能性があります。"});
    EXPECT_EQ(picked.styles, std::vector<UINT>{MB_OK});

    // A table that ends exactly at the end of the file is whole.
    for (int i = 0; i < 4; ++i) collection[nameRecord + 12 + i] = static_cast<std::uint8_t>((pastEnd - 1) >> (24 - 8 * i));
    const Picked whole = Pick(collection);
    EXPECT_TRUE(whole.shown);
    EXPECT_EQ(whole.entries.size(), 3u);
    EXPECT_TRUE(whole.messages.empty());
}

// The names fontTools reads from every member, chosen as the picker chooses, converted to code
// page 932 one unit at a time and back.
const char* const kPickerNamesScript = R"(
import sys
from fontTools.ttLib import TTFont
from fontTools.ttLib.sfnt import readTTCHeader
path = sys.argv[1]
with open(path, 'rb') as f:
    count = readTTCHeader(f).numFonts
for i in range(count):
    names = [r for r in TTFont(path, fontNumber=i, lazy=True)['name'].names if r.platformID == 3 and r.nameID == 4]
    chosen = ([r for r in names if r.langID == 0x411] + names)[:1]
    text = chosen[0].string.decode('utf-16-be')[:256] if chosen else '????'
    kept = b''.join(c.encode('cp932', 'ignore') for c in text).decode('cp932')
    print(kept.encode('utf-8').hex() or '-')
)";

class RealCollectionPicker : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCollectionPicker, ListsEveryMemberAsFontToolsNamesIt)
{
    const std::string path = GetParam();
    if (!testfonts::Exists(path)) GTEST_SKIP() << path << " is not installed";
    testfonts::TempDir dir;
    testfonts::WriteFile(dir.File("names.py"), Bytes(kPickerNamesScript, kPickerNamesScript + std::strlen(kPickerNamesScript)));
    const auto tool = testfonts::Run("/usr/bin/python3 " + testfonts::Quote(dir.File("names.py")) + " " + testfonts::Quote(path) +
                                     " 2>/dev/null");
    ASSERT_EQ(tool.exitCode, 0);
    std::vector<std::u16string> expected;
    std::istringstream lines(tool.output);
    for (std::string hex; lines >> hex;) {
        std::string utf8;
        for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2) utf8 += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        expected.push_back(CString::FromUtf8(utf8).Str());
    }
    ASSERT_GT(expected.size(), 1u);

    CFile file;
    ASSERT_TRUE(file.Open(CString::FromUtf8(path), CFile::modeRead));
    const int last = int(expected.size()) - 1;
    const Picked picked = Pick(file, [last](CDialog& d) { d.DoubleClickListEntry(IDC_LIST_FONTS, last); });
    EXPECT_EQ(picked.entries, expected);
    EXPECT_EQ(picked.selectedAtOpen, 0);
    EXPECT_EQ(picked.result, IDOK);
    EXPECT_EQ(picked.fontIndex, last);
    EXPECT_TRUE(picked.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Collections, RealCollectionPicker,
                         ::testing::Values(testfonts::kTrueTypeCollection, testfonts::kCffCollection),
                         [](const auto& info) { return info.index == 0 ? "TrueType" : "Cff"; });
