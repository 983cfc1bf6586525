// The decoder on WOFF files that independent encoders made of real fonts: the reference
// encoder (with and without a metadata file) and fontTools. The sanitizer accepts every font
// decoded, every table comes back byte for byte, and the font's sums and order are right.
#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "SfntCheck.h"
#include "WOFF.h"

#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Quote;
using testfonts::TempDir;

namespace {

const std::vector<std::string> kTrueTypeList = {"head", "hhea", "maxp", "post", "OS/2", "name", "gasp",
                                                "cvt ", "fpgm", "prep", "cmap", "loca", "hmtx", "mort",
                                                "GSUB", "vhea", "vmtx", "glyf", "EBLC", "EBDT", "LTSH",
                                                "VDMX", "hdmx", "kern", "PCLT", "DSIG"};
const std::vector<std::string> kCffList = {"head", "hhea", "maxp", "post", "OS/2", "cmap", "hmtx",
                                           "GSUB", "vhea", "vmtx", "VORG", "BASE", "name", "CFF "};

const char* const kFontToolsWoff = R"(
import sys
from fontTools.ttLib import TTFont
font = TTFont(sys.argv[1], lazy=True, recalcTimestamp=False, recalcBBoxes=False)
font.flavor = 'woff'
font.save(sys.argv[2])
)";

struct Source {
    const char* name;
    const char* path;
};

class RealFontDecode : public ::testing::TestWithParam<Source> {};

TEST_P(RealFontDecode, EncodersOutputsDecodeToTheSourceFont)
{
    const Source source = GetParam();
    if (!testfonts::Exists(source.path)) GTEST_SKIP() << source.path << " is not installed";
    TempDir dir;
    const Bytes original = testfonts::ReadFile(source.path);
    const auto sourceDirectory = DirectoryOf(original);
    const bool sourceSanitizes =
        testfonts::Run("ots-sanitize " + Quote(source.path) + " " + Quote(dir.File("s0"))).exitCode == 0;

    // The reference encoder writes font.woff beside its input.
    const std::string plain = dir.File("font.otf");
    testfonts::WriteFile(plain, original);
    const std::string metaPath = dir.File("meta.xml");
    const std::string meta = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\">\n"
                             "<description><text lang=\"ja\">見本のメタデータ</text></description>\n</metadata>\n";
    testfonts::WriteFile(metaPath, Bytes(meta.begin(), meta.end()));
    struct Made {
        std::string name;
        std::string path;
        bool metadata;
    };
    std::vector<Made> made;
    auto run = testfonts::Run("sfnt2woff " + Quote(plain));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::rename(dir.File("font.woff").c_str(), dir.File("reference.woff").c_str());
    made.push_back({"reference", dir.File("reference.woff"), false});
    run = testfonts::Run("sfnt2woff -m " + Quote(metaPath) + " " + Quote(plain));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    made.push_back({"reference with metadata", dir.File("font.woff"), true});
    RunFontTools(kFontToolsWoff, {source.path, dir.File("fonttools.woff")});
    made.push_back({"fontTools", dir.File("fonttools.woff"), false});

    for (const Made& woffFile : made) {
        SCOPED_TRACE(woffFile.name);
        ScriptedResponder boxes;
        ScriptedDialogResponder dialogs;
        Bytes shown;
        dialogs.OnEachDialog([&](CDialog& dialog) {
            auto& viewer = dynamic_cast<CMetaDataDlg&>(dialog);
            shown.assign(viewer.m_pMetaData, viewer.m_pMetaData + viewer.m_nMetaDataLength);
        });
        CFile file;
        ASSERT_TRUE(file.Open(CString::FromUtf8(woffFile.path), CFile::modeRead));
        CWOFF woff(&file, FALSE);
        ASSERT_TRUE(woff.CheckFileType());
        CMemFile out;
        ASSERT_TRUE(woff.DecodeWOFF(&out));
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(dialogs.Dialogs().size(), woffFile.metadata ? 1u : 0u);
        if (woffFile.metadata) {
            EXPECT_EQ(shown, Bytes(meta.begin(), meta.end()));
        }

        const Bytes font = Contents(out);
        const auto directory = DirectoryOf(font);
        size_t expectedTables = 0;
        for (const OutEntry& entry : sourceDirectory) {
            if (entry.tag == "DSIG") continue;
            ++expectedTables;
            const auto found = std::find_if(directory.begin(), directory.end(), [&](auto& e) { return e.tag == entry.tag; });
            ASSERT_NE(found, directory.end()) << entry.tag;
            Bytes want = TableOf(original, entry), got = TableOf(font, *found);
            if (entry.tag == "head") {
                std::fill(want.begin() + 8, want.begin() + 12, 0);
                std::fill(got.begin() + 8, got.begin() + 12, 0);
            }
            EXPECT_TRUE(got == want) << entry.tag << " differs";
        }
        EXPECT_EQ(directory.size(), expectedTables) << "everything but DSIG, nothing more";
        for (size_t i = 1; i < directory.size(); ++i) EXPECT_LT(directory[i - 1].tag, directory[i].tag);
        EXPECT_EQ(DataOrder(directory), ExpectedOrder(directory, woff.m_bTrueType ? kTrueTypeList : kCffList));
        EXPECT_EQ(WholeFileSum(font), 0xB1B0AFBAu);

        const std::string decoded = dir.File("decoded.otf");
        testfonts::WriteFile(decoded, font);
        if (sourceSanitizes) {
            const auto ots = testfonts::Run("ots-sanitize " + Quote(decoded) + " " + Quote(dir.File("s1")));
            EXPECT_EQ(ots.exitCode, 0) << ots.output;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, RealFontDecode,
                         ::testing::Values(Source{"SmallTrueType", testfonts::kSmallTrueType},
                                           Source{"CffOtf", testfonts::kCffOtf},
                                           Source{"LargeCjkTrueType", testfonts::kLargeCjkTrueType},
                                           Source{"DsigTrueType", testfonts::kDsigTrueType},
                                           Source{"DsigCff", testfonts::kDsigCff}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
