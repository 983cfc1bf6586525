// The 'name' table reader and the Shift-JIS conversion of its strings: on tables built in
// memory, and on every member of the real collections against fontTools and Python's cp932.
#include "Builders.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace enginetest;

namespace {

struct Record {
    std::uint16_t platformID, encodingID, languageID, nameID, length, offset;
};

// A 'name' table: header, the records as given, then storage (stringOffset points at it,
// optionally after gap bytes).
Bytes NameTableBytes(const std::vector<Record>& records, const Bytes& storage, std::uint16_t gap = 0)
{
    Bytes out;
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(records.size()));
    Put16(out, static_cast<std::uint16_t>(6 + 12 * records.size() + gap));
    for (const Record& r : records)
        for (std::uint16_t v : {r.platformID, r.encodingID, r.languageID, r.nameID, r.length, r.offset}) Put16(out, v);
    out.insert(out.end(), gap, 0xEE);
    out.insert(out.end(), storage.begin(), storage.end());
    return out;
}

std::string Text(const BYTE* p, size_t n)
{
    return std::string(reinterpret_cast<const char*>(p), n);
}

// An engine over a font in memory, its directory read as the picker reads it.
struct Loaded {
    std::unique_ptr<CMemFile> file;
    std::unique_ptr<CWOFF> woff;
};

Loaded Load(const Bytes& font)
{
    Loaded l{MemFile(font), nullptr};
    l.woff = std::make_unique<CWOFF>(l.file.get(), TRUE);
    EXPECT_TRUE(l.woff->CheckFileType());
    l.woff->ReadOffsetTable(l.file.get());
    l.woff->ReadTableDirectory(l.file.get());
    return l;
}

TEST(ReadNameTable, RecordsAndStringsComeFromTheStorageTheTableNames)
{
    ScriptedResponder responder;
    Bytes storage = Repeated(700, 'x');
    const std::string family = "Family", full = "Full Name";
    std::copy(family.begin(), family.end(), storage.begin() + 10);
    std::copy(full.begin(), full.end(), storage.begin() + 40);
    const std::vector<Record> records = {{3, 1, 0x411, 1, 6, 10}, {1, 0, 0, 4, 9, 40}, {3, 1, 0x409, 5, 600, 0}};
    Loaded l = Load(BuildSfnt(0x00010000, {{"head", Repeated(54, 1)}, {"name", NameTableBytes(records, storage, 8)}}));
    l.woff->ReadNameTable(l.file.get());

    const NameTable& table = l.woff->m_nameTable;
    ASSERT_EQ(table.count, 3);
    EXPECT_EQ(table.stringOffset, 6 + 36 + 8);
    EXPECT_EQ(table.pNameRecords[0].languageID, 0x411);
    EXPECT_EQ(table.pNameRecords[1].platformID, 1);
    EXPECT_EQ(table.pNameRecords[1].nameID, 4);
    EXPECT_EQ(Text(table.ppStrings[0], 6), family);
    EXPECT_EQ(table.ppStrings[0][6], 0) << "beyond the string the buffer is zeros";
    EXPECT_EQ(Text(table.ppStrings[1], 9), full);
    // A string longer than the buffer is kept to its first 512 bytes.
    EXPECT_EQ(table.pNameRecords[2].length, 512);
    EXPECT_EQ(Text(table.ppStrings[2], 512), Text(storage.data(), 512));
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(ReadNameTable, FontWithoutNameTableKeepsTheTableReadBefore)
{
    ScriptedResponder responder;
    const Bytes named = BuildSfnt(0x00010000, {{"name", NameTableBytes({{3, 1, 0x409, 1, 2, 0}}, {'A', 'B'})}});
    const Bytes unnamed = BuildSfnt(0x00010000, {{"head", Repeated(54, 1)}});
    const Bytes collection = BuildCollection({{{"name", NameTableBytes({{3, 1, 0x409, 1, 2, 0}}, {0, 'A'})}},
                                              {{"head", Repeated(54, 1)}}});
    auto file = MemFile(collection);
    CWOFF woff(file.get(), TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(file.get());
    woff.m_nFontNumber = 1;
    woff.ReadFontHeader();
    woff.ReadNameTable(file.get());
    EXPECT_EQ(woff.m_nameTable.count, 0) << "nothing read since the type check";
    woff.m_nFontNumber = 0;
    woff.ReadFontHeader();
    woff.ReadNameTable(file.get());
    ASSERT_EQ(woff.m_nameTable.count, 1);
    woff.m_nFontNumber = 1;
    woff.ReadFontHeader();
    EXPECT_EQ(woff.m_nNameIndex, -1);
    woff.ReadNameTable(file.get());
    ASSERT_EQ(woff.m_nameTable.count, 1);
    EXPECT_EQ(woff.m_nameTable.ppStrings[0][1], 'A');
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(ReadNameTable, EmptyAndDamagedTablesStayWithinTheFile)
{
    {
        ScriptedResponder responder;
        Loaded l = Load(BuildSfnt(0x00010000, {{"name", NameTableBytes({}, {})}}));
        l.woff->ReadNameTable(l.file.get());
        EXPECT_EQ(l.woff->m_nameTable.count, 0);
        EXPECT_TRUE(responder.Boxes().empty());
    }
    {
        // A count of 65535 in a file holding two records: only those are kept, the second one
        // cut short inside its last field, with the read-error message once.
        ScriptedResponder responder;
        Bytes name = NameTableBytes({{3, 1, 0x409, 1, 4, 0}, {3, 1, 0x409, 2, 4, 0}}, {});
        name[2] = name[3] = 0xFF;
        name.resize(name.size() - 1);
        Bytes font = BuildSfnt(0x00010000, {{"name", name}});
        font.resize(font.size() - (4 - name.size() % 4) % 4);
        Loaded l = Load(font);
        l.woff->ReadNameTable(l.file.get());
        const NameTable& table = l.woff->m_nameTable;
        ASSERT_EQ(table.count, 2);
        EXPECT_EQ(table.pNameRecords[1].length, 4);
        EXPECT_EQ(table.pNameRecords[1].offset, 0) << "a field cut short is not made up";
        EXPECT_EQ(responder.Texts(), std::vector<std::string>{"リードエラーが発生しました"});
    }
    {
        // A record whose string lies past the end of the file.
        ScriptedResponder responder;
        Loaded l = Load(BuildSfnt(0x00010000, {{"name", NameTableBytes({{3, 1, 0x409, 1, 8, 0xFFF0}}, {})}}));
        l.woff->ReadNameTable(l.file.get());
        ASSERT_EQ(l.woff->m_nameTable.count, 1);
        EXPECT_EQ(Bytes(l.woff->m_nameTable.ppStrings[0], l.woff->m_nameTable.ppStrings[0] + 8), Bytes(8, 0));
    }
}

std::string Convert(const Bytes& utf16be)
{
    Bytes out(utf16be.size() + 2, 0xCC);
    const int n = ConvertUTF16BEToShiftJIS(utf16be.data(), out.data(), int(utf16be.size() / 2));
    EXPECT_EQ(out[size_t(std::max(n, 0))], 0xCC) << "nothing written beyond the count";
    return std::string(out.begin(), out.begin() + std::max(n, 0));
}

TEST(ConvertUTF16BEToShiftJIS, ConvertsUnitByUnitAndDropsWhatShiftJisLacks)
{
    EXPECT_EQ(Convert({0x00, 0x41, 0x30, 0x42, 0xFF, 0x71}), "\x41\x82\xA0\xB1");
    EXPECT_EQ(Convert({0x00, 0xE9}), "");
    EXPECT_EQ(Convert({0x00, 0x41, 0x00, 0xE9, 0x00, 0x42}), "AB");
    // Each half of a surrogate pair is converted alone, and neither has a form.
    EXPECT_EQ(Convert({0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x43}), "C");
    EXPECT_EQ(Convert({0x00, 0x00, 0x00, 0x44}), std::string("\0D", 2));
    EXPECT_EQ(Convert({0x65, 0xE5, 0x67, 0x2C}), "\x93\xFA\x96\x7B");  // 日本
    BYTE dst[4] = {0xCC, 0xCC, 0xCC, 0xCC};
    const BYTE src[2] = {0x00, 0x41};
    EXPECT_EQ(ConvertUTF16BEToShiftJIS(src, dst, 0), 0);
    EXPECT_EQ(ConvertUTF16BEToShiftJIS(src, dst, -3), 0);
    EXPECT_EQ(dst[0], 0xCC);
}

// Every record of every member as fontTools reads it: the ids, the first 512 bytes of the
// string, and for Unicode and Windows records the string in Python's cp932, unit by unit,
// without the characters cp932 lacks. Code page 932 holds 360 characters twice, as NEC-selected
// (ED40-EEFC) and as IBM extensions (FA40-FC4B); Windows writes the IBM form, Python the other,
// so Python's choice is brought to the IBM form.
const char* const kNamesScript = R"(
import sys
from fontTools.ttLib import TTFont
from fontTools.ttLib.sfnt import readTTCHeader
path = sys.argv[1]
with open(path, 'rb') as f:
    count = readTTCHeader(f).numFonts
ibm = {}
for lead in (0xFA, 0xFB, 0xFC):
    for trail in range(0x40, 0xFD):
        try:
            ibm.setdefault(bytes([lead, trail]).decode('cp932'), bytes([lead, trail]))
        except UnicodeDecodeError:
            pass
def cp932(unit):
    b = chr(unit).encode('cp932', 'ignore')
    return ibm.get(chr(unit), b) if len(b) == 2 and 0xED <= b[0] <= 0xEE else b
for i in range(count):
    font = TTFont(path, fontNumber=i, lazy=True)
    for r in font['name'].names:
        raw = r.string if isinstance(r.string, bytes) else r.string.encode('utf-16-be')
        raw = raw[:512]
        sjis = b''.join(cp932((raw[k] << 8) | raw[k + 1]) for k in range(0, len(raw) - 1, 2))
        print(i, r.platformID, r.platEncID, r.langID, r.nameID, raw.hex() or '-', sjis.hex() or '-')
)";

std::string Hex(const BYTE* p, size_t n)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s.empty() ? "-" : s;
}

class RealCollectionNames : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCollectionNames, EveryMemberNamesAsFontToolsAndCp932Give)
{
    const std::string path = GetParam();
    if (!testfonts::Exists(path)) GTEST_SKIP() << path << " is not installed";
    std::istringstream expected(RunFontTools(kNamesScript, {path}));

    ScriptedResponder responder;
    CFile file;
    ASSERT_TRUE(file.Open(CString::FromUtf8(path), CFile::modeRead));
    CWOFF woff(&file, TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(&file);
    std::ostringstream got;
    for (DWORD member = 0; member < woff.m_ttcHeader.numFonts; ++member) {
        woff.m_nFontNumber = int(member);
        woff.ReadOffsetTable(&file);
        woff.ReadTableDirectory(&file);
        woff.ReadNameTable(&file);
        const NameTable& table = woff.m_nameTable;
        for (WORD i = 0; i < table.count; ++i) {
            const NameRecord& r = table.pNameRecords[i];
            BYTE sjis[512];
            const int n = ConvertUTF16BEToShiftJIS(table.ppStrings[i], sjis, r.length / 2);
            const bool unicode = r.platformID == 0 || r.platformID == 3;
            got << member << ' ' << r.platformID << ' ' << r.encodingID << ' ' << r.languageID << ' ' << r.nameID
                << ' ' << Hex(table.ppStrings[i], r.length) << ' ' << (unicode ? Hex(sjis, size_t(n)) : "") << '\n';
        }
    }
    // Python's cp932 is asked of every record; only the Unicode ones are compared.
    std::ostringstream want;
    std::string line;
    while (std::getline(expected, line)) {
        std::istringstream fields(line);
        int member, platform, encoding, language, nameId;
        std::string raw, sjis;
        fields >> member >> platform >> encoding >> language >> nameId >> raw >> sjis;
        want << member << ' ' << platform << ' ' << encoding << ' ' << language << ' ' << nameId << ' ' << raw << ' '
             << (platform == 0 || platform == 3 ? sjis : "") << '\n';
    }
    EXPECT_FALSE(want.str().empty());
    EXPECT_EQ(got.str(), want.str());
    EXPECT_TRUE(responder.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Collections, RealCollectionNames,
                         ::testing::Values(testfonts::kTrueTypeCollection, testfonts::kCffCollection),
                         [](const auto& info) { return info.index == 0 ? "TrueType" : "Cff"; });

} // namespace
