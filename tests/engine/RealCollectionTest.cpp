// Extraction and the name table on real collections, against fontTools reading the same
// members: a TrueType collection with unaligned tables and "head" checksums that counted the
// checkSumAdjustment, and CFF collections whose members share tables.
#include "Builders.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <zlib.h>

using namespace enginetest;
using testfonts::Quote;
using testfonts::TempDir;

namespace {

// Per member: every table as fontTools reads it (length and CRC-32, "head" without its
// checkSumAdjustment), and whether the sanitizer
// accepts fontTools' own standalone copy of the member. One python run for the whole collection.
const char* const kMembersScript = R"(
import sys, zlib
from fontTools.ttLib import TTFont
from fontTools.ttLib.sfnt import readTTCHeader
path, folder = sys.argv[1], sys.argv[2]
with open(path, 'rb') as f:
    count = readTTCHeader(f).numFonts
for i in range(count):
    font = TTFont(path, fontNumber=i, lazy=True)
    for tag in font.reader.keys():
        data = font.reader[tag]
        if tag == 'head' and len(data) >= 12:
            data = data[:8] + bytes(4) + data[12:]
        print(i, tag.encode('latin-1').hex(), len(data), zlib.crc32(data))
    font.save('%s/fonttools-%d.otf' % (folder, i))
)";

struct TableFacts {
    std::uint32_t length;
    std::uint32_t crc;
};
using MemberFacts = std::map<std::string, TableFacts>;

std::vector<MemberFacts> ReadMembers(const std::string& output)
{
    std::vector<MemberFacts> members;
    std::istringstream in(output);
    size_t member;
    std::string tagHex;
    TableFacts facts;
    while (in >> member >> tagHex >> facts.length >> facts.crc) {
        std::string tag;
        for (size_t i = 0; i + 1 < tagHex.size(); i += 2) tag += char(std::stoi(tagHex.substr(i, 2), nullptr, 16));
        if (members.size() <= member) members.resize(member + 1);
        members[member][tag] = facts;
    }
    return members;
}

std::uint32_t Crc(const Bytes& data)
{
    return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

const std::vector<std::string> kTrueTypeList = {"head", "hhea", "maxp", "OS/2", "hmtx", "LTSH", "VDMX",
                                                "hdmx", "cmap", "fpgm", "prep", "cvt ", "loca", "glyf",
                                                "kern", "name", "post", "gasp", "PCLT", "DSIG"};
const std::vector<std::string> kCffList = {"head", "hhea", "maxp", "OS/2", "name", "cmap", "post", "CFF "};

class RealCollection : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCollection, EveryMemberExtractsAsFontToolsReadsIt)
{
    const std::string path = GetParam();
    if (!testfonts::Exists(path)) GTEST_SKIP() << path << " is not installed";
    TempDir dir;
    const std::vector<MemberFacts> expected = ReadMembers(RunFontTools(kMembersScript, {path, dir.Path()}));
    ASSERT_FALSE(expected.empty());

    ScriptedResponder responder;
    CFile file;
    ASSERT_TRUE(file.Open(CString::FromUtf8(path), CFile::modeRead));
    CWOFF woff(&file, TRUE);
    ASSERT_TRUE(woff.CheckFileType());
    woff.ReadTTCHeader(&file);
    ASSERT_EQ(woff.m_ttcHeader.numFonts, expected.size());
    for (size_t member = 0; member < expected.size(); ++member) {
        SCOPED_TRACE("member " + std::to_string(member));
        woff.m_nFontNumber = int(member);
        woff.ReadFontHeader();
        CMemFile out;
        ASSERT_TRUE(woff.ExtractFont(&out));
        const Bytes font = Contents(out);
        const auto directory = DirectoryOf(font);
        ASSERT_EQ(directory.size(), expected[member].size());
        for (const OutEntry& entry : directory) {
            ASSERT_TRUE(expected[member].count(entry.tag)) << entry.tag;
            const TableFacts& facts = expected[member].at(entry.tag);
            Bytes table = TableOf(font, entry);
            EXPECT_EQ(entry.checkSum, FreshChecksum(entry.tag, table)) << entry.tag;
            EXPECT_EQ(entry.offset % 4, 0u) << entry.tag;
            EXPECT_EQ(entry.length, facts.length) << entry.tag;
            // The adjustment is set for the new file; both sides compare "head" without it.
            if (entry.tag == "head") std::fill(table.begin() + 8, table.begin() + 12, 0);
            EXPECT_EQ(Crc(table), facts.crc) << entry.tag;
        }
        EXPECT_EQ(WholeFileSum(font), 0xB1B0AFBAu);
        EXPECT_EQ(DataOrder(directory), ExpectedOrder(directory, woff.m_bTrueType ? kTrueTypeList : kCffList));

        const std::string mine = dir.File("mine-" + std::to_string(member) + ".otf");
        testfonts::WriteFile(mine, font);
        const std::string theirs = dir.File("fonttools-" + std::to_string(member) + ".otf");
        if (testfonts::Run("ots-sanitize " + Quote(theirs) + " " + Quote(dir.File("s1"))).exitCode == 0) {
            const auto ots = testfonts::Run("ots-sanitize " + Quote(mine) + " " + Quote(dir.File("s2")));
            EXPECT_EQ(ots.exitCode, 0) << ots.output;
        }
    }
    EXPECT_TRUE(responder.Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Collections, RealCollection,
                         ::testing::Values(testfonts::kTrueTypeCollection, testfonts::kCffCollection),
                         [](const auto& info) { return info.index == 0 ? "TrueType" : "Cff"; });

} // namespace
