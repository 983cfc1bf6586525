// Whole conversions through the main window: how the request is read, how outputs are named,
// every refusal and question in its order, and the outputs of each kind of font, checked by
// independent tools.
#include "ConversionFixture.h"

#include "SamplePage.h"
#include "WOFF.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using testfonts::Bytes;
using testfonts::Quote;

namespace {

constexpr const char* kDone = "正常に変換しました。";
constexpr const char* kWrongExtension = "変換後ファイルの拡張子が不適当なため修正します。";

std::string Question(const std::string& path) { return path + " は既に存在します。\n上書きしますか?"; }

std::string Utf8(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Every file below folder, with its content, to tell that a run wrote nothing.
std::map<std::string, Bytes> Snapshot(const std::string& folder)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().string()] = testfonts::ReadFile(entry.path().string());
    return files;
}

struct TargetRow {
    const char* destination;  // "@" stands for the test's output folder
    const char* expected;     // the one output file, "@" likewise, "^" for the source's folder
    bool notice;
};

} // namespace

class Request : public ConversionTest {
protected:
    std::string Expand(std::string text, const std::string& out, const std::string& srcFolder)
    {
        for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, out);
        for (size_t at; (at = text.find('^')) != std::string::npos;) text.replace(at, 1, srcFolder);
        return text;
    }
    void CheckRows(const std::string& source, std::initializer_list<TargetRow> rows)
    {
        const std::string srcFolder = source.substr(0, source.rfind('/'));
        const std::string out = File("out");
        for (const TargetRow& row : rows) {
            std::filesystem::remove_all(out);
            std::filesystem::create_directories(out + "/sub");
            m_boxes.Clear();
            const std::string expected = Expand(row.expected, out, srcFolder);
            Convert(source, Expand(row.destination, out, srcFolder));
            std::vector<std::string> boxes;
            if (row.notice) boxes.push_back(kWrongExtension);
            boxes.push_back(kDone);
            EXPECT_EQ(m_boxes.Texts(), boxes) << "destination " << row.destination;
            EXPECT_TRUE(testfonts::Exists(expected)) << "destination " << row.destination << " should give " << expected;
            std::filesystem::remove(expected);
        }
    }
};

TEST_F(Request, EncodingTargetRows)
{
    std::filesystem::create_directories(File("fonts"));
    const std::string source = Place(testfonts::kSmallTrueType, "fonts/Sample.ttf");
    CheckRows(source, {
        {"", "^/Sample.woff", false},
        {" \t　", "^/Sample.woff", false},
        {"web", "^/web.woff", false},
        {"  web.woff  ", "^/web.woff", false},
        {"@/", "@/Sample.woff", false},
        {"@/x", "@/x.woff", false},
        {"@/x.TTF", "@/x.woff", true},
        {"@/x.ote", "@/x.woff", true},
        {"@/x.woff2", "@/x.woff", false},
        {"@/x.xyz", "@/x.woff", false},
        {"@/back\\slash", "@/back\\slash.woff", false},
    });

    // A relative folder is taken from the current folder, not the source's.
    char* const previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(File("").c_str()), 0);
    std::filesystem::create_directories(File("sub"));
    m_boxes.Clear();
    Convert(source, "sub/x");
    EXPECT_TRUE(Exists("sub/x.woff"));
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
}

TEST_F(Request, DecodingTargetRowsKeepAnyExtensionButTheWebFonts)
{
    std::filesystem::create_directories(File("fonts"));
    const std::string source = File("fonts/Sample.woff");
    ASSERT_EQ(testfonts::Run("sfnt2woff " + Quote(Place(testfonts::kSmallTrueType, "fonts/Sample.ttf"))).exitCode, 0);
    std::filesystem::remove(File("fonts/Sample.ttf"));
    CheckRows(source, {
        {"", "^/Sample.ttf", false},
        {"@/x.woff", "@/x.ttf", true},
        {"@/x.WOFF2", "@/x.ttf", true},
        {"@/x.bin", "@/x.bin", false},
        {"@/", "@/Sample.ttf", false},
        {"@/x.otf", "@/x.otf", false},
    });
    // The flavour names the extension: a CFF font comes back as .otf.
    ASSERT_EQ(testfonts::Run("sfnt2woff " + Quote(Place(testfonts::kCffOtf, "Cff.otf"))).exitCode, 0);
    std::filesystem::remove(File("Cff.otf"));
    m_boxes.Clear();
    Convert(File("Cff.woff"));
    EXPECT_TRUE(OtsAccepts(File("Cff.otf")));
}

TEST_F(Request, RefusalsComeFirstAndWriteNothing)
{
    const std::string ttf = Place(testfonts::kSmallTrueType, "Sample.ttf");
    Place(testfonts::kSmallTrueType, "Font.woff");
    Place(testfonts::kSmallTrueType, "Font.WOFF2");
    testfonts::WriteFile(File("text.woff.bak"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'});
    const auto before = Snapshot(File(""));

    Convert("", "", {}, [](CFenwrapDlg& d) {
        ASSERT_NE(d.GetFocusedControl(), nullptr);
        EXPECT_EQ(d.GetFocusedControl()->GetDlgCtrlID(), IDC_EDIT_SRC);
    });
    Convert("   ");
    Convert(File("text.woff.bak"));
    Convert(File("Font.woff"));
    Convert(File("Font.WOFF2"));
    Convert(File("missing.ttf"));
    const std::vector<std::string> expected = {
        "変換前ファイルを指定してください。",
        "ファイル   のオープンに失敗しました。\n原因：ファイルが見つからない",
        "変換前ファイルはフォントファイルではありません。",
        "変換前ファイルの拡張子は\".woff\"ですが、ファイルはWOFFではありません。",
        "変換前ファイルの拡張子は\".woff2\"ですが、ファイルはWOFF2ではありません。",
        "ファイル" + File("missing.ttf") + "のオープンに失敗しました。\n原因：ファイルが見つからない",
    };
    EXPECT_EQ(m_boxes.Texts(), expected);
    EXPECT_EQ(Snapshot(File("")), before);

    // A name that only looks like a web font's is encoded when its content is a font.
    std::filesystem::copy_file(ttf, File("Font.woff.bak"));
    m_boxes.Clear();
    Convert(File("Font.woff.bak"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_TRUE(OtsAccepts(File("Font.woff.woff")));
}

TEST_F(Request, WOFF2CollectionsAreRefusedWhateverTheirExtension)
{
    const std::string script =
        "from fontTools.ttLib import TTFont, TTCollection\n"
        "import sys\n"
        "c = TTCollection(); c.fonts = [TTFont(sys.argv[1]), TTFont(sys.argv[1])]; c.save(sys.argv[2])\n";
    testfonts::WriteFile(File("make.py"), Bytes(script.begin(), script.end()));
    ASSERT_EQ(testfonts::Run("/usr/bin/python3 " + Quote(File("make.py")) + " " + Quote(testfonts::kSmallTrueType) +
                             " " + Quote(File("Pair.ttc")))
                  .exitCode,
              0);
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(File("Pair.ttc"))).exitCode, 0);
    std::filesystem::copy_file(File("Pair.woff2"), File("Pair.woff"));
    Convert(File("Pair.woff2"));
    Convert(File("Pair.woff"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>(2, "コレクション形式のWOFF2には対応していません。"));
    EXPECT_FALSE(Exists("Pair.ttf") || Exists("Pair.otf"));
}

TEST_F(Request, QuestionsBeforeReplacingInTheirOrder)
{
    const std::string source = Place(testfonts::kSmallTrueType, "Sample.ttf");
    for (const char* name : {"Sample.woff", "Sample.woff2", "Sample.eot", "Sample.html"})
        testfonts::WriteFile(File(name), Bytes{'o', 'l', 'd'});
    const auto before = Snapshot(File(""));

    // No to the first question, then to the second: nothing is written either time.
    m_boxes.Answer(IDNO);
    Convert(source, "", {.woff2 = true, .eot = true, .page = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{Question(File("Sample.woff"))});
    m_boxes.Clear();
    m_boxes.Answer(IDYES);
    m_boxes.Answer(IDNO);
    Convert(source, "", {.woff2 = true, .eot = true, .page = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Sample.woff")), Question(File("Sample.woff2"))}));
    EXPECT_EQ(m_boxes.Boxes()[0].style, UINT(MB_YESNO));
    EXPECT_EQ(Snapshot(File("")), before);

    // Without the WOFF2 box only the WOFF is asked about; the EOT and the page are replaced.
    m_boxes.Clear();
    Convert(source, "", {.eot = true, .page = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Sample.woff")), kDone}));
    EXPECT_EQ(testfonts::ReadFile(File("Sample.eot")), embedtest::Embed(source).eot);
    EXPECT_NE(testfonts::ReadFile(File("Sample.html")).size(), 3u);

    // Checks that come after the questions: no embedding library, no metadata file named.
    g_pfnTTEmbedFontFromFileA = nullptr;
    m_boxes.Clear();
    Convert(source, File("none"), {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"このOSではEOTファイルを作成することはできません。"});
    m_boxes.Clear();
    Convert(source, File("none"), {.meta = true}, [](CFenwrapDlg& d) {
        ASSERT_NE(d.GetFocusedControl(), nullptr);
        EXPECT_EQ(d.GetFocusedControl()->GetDlgCtrlID(), IDC_EDIT_METADATA_FILE);
    });
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"メタデータファイルを指定してください。"});
    EXPECT_FALSE(Exists("none.woff"));

    // Decoding asks about its one target.
    ASSERT_EQ(testfonts::Run("sfnt2woff " + Quote(source)).exitCode, 0);
    testfonts::WriteFile(File("Sample.ttf"), Bytes{'o', 'l', 'd'});
    m_boxes.Clear();
    m_boxes.Answer(IDNO);
    Convert(File("Sample.woff"), "", {.woff2 = true, .eot = true, .page = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{Question(File("Sample.ttf"))});
    EXPECT_EQ(testfonts::ReadFile(File("Sample.ttf")), (Bytes{'o', 'l', 'd'}));
}

TEST_F(Request, OutputsReplacedWithoutAQuestionNeverNameTheSource)
{
    for (const auto& [name, options] : {std::pair{"Sample.eot", ConversionOptions{.eot = true}},
                                        std::pair{"Sample.html", ConversionOptions{.page = true}}}) {
        const std::string source = Place(testfonts::kSmallTrueType, name);
        const Bytes original = testfonts::ReadFile(source);
        m_boxes.Clear();
        Convert(source, "", options);
        EXPECT_EQ(m_boxes.Texts(),
                  std::vector<std::string>{source + " は変換前ファイルです。\n変換後ファイルの名前を変えてください。"});
        EXPECT_EQ(testfonts::ReadFile(source), original);
        EXPECT_FALSE(Exists("Sample.woff"));
    }
    // Another name for the same file (a link) is the same file.
    std::filesystem::create_symlink(File("Sample.eot"), File("Link.ttf"));
    m_boxes.Clear();
    Convert(File("Link.ttf"), File("Sample.eot"), {.eot = true});
    EXPECT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_FALSE(Exists("Sample.woff"));
}

class Outputs : public ConversionTest {};

TEST_F(Outputs, TrueTypeFontWithEveryOptionButWOFF2)
{
    const std::string source = Place(testfonts::kLiberation, "Sample.ttf");
    Convert(source, "", {.eot = true, .page = true, .addSrc = true, .sample = "サンプル"});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));
    EXPECT_EQ(testfonts::ReadFile(File("Sample.eot")), embedtest::Embed(source).eot);
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("Sample.html"))),
              SampleHtmlBytes(ComposeSampleHtml(u"Sample.woff", u"", u"Sample.eot", u"Sample.ttf", FALSE, u"サンプル")));
}

TEST_F(Outputs, CffFontGetsTheNoticeInsteadOfAnEot)
{
    const std::string source = Place(testfonts::kCffOtf, "Sample.otf");
    Convert(source, "", {.eot = true, .page = true, .addSrc = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{
                                   "ポストスクリプト形式のOpenTypeフォントのため、EOTファイルは作成されません。", kDone}));
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));
    EXPECT_FALSE(Exists("Sample.eot"));
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("Sample.html"))),
              SampleHtmlBytes(ComposeSampleHtml(u"Sample.woff", u"", u"Sample.eot", u"Sample.otf", TRUE, u"")));
}

TEST_F(Outputs, AFailingStepStopsTheSteps_after_it)
{
    const std::string source = Place(testfonts::kSmallTrueType, "Sample.ttf");
    // A metadata file that is not there: the WOFF is not made, nor anything after it.
    Convert(source, "", {.eot = true, .meta = true, .page = true, .metaPath = File("missing.xml")});
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<std::string>{"ファイル" + File("missing.xml") + "のオープンに失敗しました。\n原因：ファイルが見つからない"});
    EXPECT_FALSE(Exists("Sample.woff") || Exists("Sample.eot") || Exists("Sample.html"));

    // A page that cannot be written: the earlier outputs stay, no success is reported.
    std::filesystem::create_directories(File("Sample.html"));
    m_boxes.Clear();
    Convert(source, "", {.eot = true, .page = true});
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_NE(m_boxes.Texts()[0].find("Sample.htmlのオープンに失敗しました。"), std::string::npos) << m_boxes.Texts()[0];
    EXPECT_TRUE(Exists("Sample.woff") && Exists("Sample.eot"));
}

class Decoding : public ConversionTest {};

TEST_F(Decoding, WoffWithAndWithoutMetadata)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"/>\n";
    testfonts::WriteFile(File("meta.xml"), Bytes(xml.begin(), xml.end()));
    Place(testfonts::kSmallTrueType, "Plain.ttf");
    Place(testfonts::kSmallTrueType, "Meta.ttf");
    ASSERT_EQ(testfonts::Run("sfnt2woff " + Quote(File("Plain.ttf"))).exitCode, 0);
    ASSERT_EQ(testfonts::Run("sfnt2woff -m " + Quote(File("meta.xml")) + " " + Quote(File("Meta.ttf"))).exitCode, 0);
    std::filesystem::remove(File("Plain.ttf"));
    std::filesystem::remove(File("Meta.ttf"));

    Convert(File("Plain.woff"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_TRUE(OtsAccepts(File("Plain.ttf")));

    // The viewer comes first; its cancel ends the run without a word or a file.
    m_boxes.Clear();
    AnswerDuringRun(IDCANCEL);
    Convert(File("Meta.woff"));
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_FALSE(Exists("Meta.ttf"));
    EXPECT_TRUE(std::any_of(m_dialogs.Dialogs().begin(), m_dialogs.Dialogs().end(),
                            [](const auto& shown) { return shown.className == "CMetaDataDlg"; }));

    // The question about replacing the target comes before the viewer.
    testfonts::WriteFile(File("Meta.ttf"), Bytes{'o', 'l', 'd'});
    std::vector<std::string> beforeViewer;
    AnswerDuringRun([&](CDialog& d) {
        beforeViewer = m_boxes.Texts();
        return PressButton(d, IDCANCEL);
    });
    Convert(File("Meta.woff"));
    EXPECT_EQ(beforeViewer, std::vector<std::string>{Question(File("Meta.ttf"))});
    EXPECT_EQ(m_boxes.Texts(), beforeViewer);
    EXPECT_EQ(testfonts::ReadFile(File("Meta.ttf")), (Bytes{'o', 'l', 'd'}));
    std::filesystem::remove(File("Meta.ttf"));
    m_boxes.Clear();

    // Saved from the viewer, then converted.
    AnswerDuringRun([&](CDialog& d) -> INT_PTR {
        m_dialogs.AnswerFile(File("saved.xml"));
        d.ClickButton(IDC_BUTTON_SAVE_METADATA);
        d.ClickButton(IDOK);
        return IDOK;
    });
    Convert(File("Meta.woff"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("saved.xml"))), xml);
    EXPECT_TRUE(OtsAccepts(File("Meta.ttf")));

    // A WOFF 1.0 file named .woff2 is decoded as what it is.
    std::filesystem::rename(File("Plain.woff"), File("Renamed.woff2"));
    m_boxes.Clear();
    Convert(File("Renamed.woff2"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(testfonts::ReadFile(File("Renamed.ttf")), testfonts::ReadFile(File("Plain.ttf")));
}

class Collection : public ConversionTest {
protected:
    // The picker chooses entry index and ends with OK (index -1: nothing selected).
    void Pick(int index)
    {
        AnswerDuringRun([index](CDialog& d) {
            d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, static_cast<WPARAM>(index));
            return PressButton(d, IDOK);
        });
    }
    // Member index of a collection, as the engine writes it as a font of its own.
    static Bytes Member(const std::string& collection, int index)
    {
        CFile file(CString::FromUtf8(collection), CFile::modeRead);
        CWOFF woff(&file, TRUE);
        woff.CheckFileType();
        woff.ReadTTCHeader(&file);
        woff.m_nFontNumber = index;
        woff.ReadFontHeader();
        CMemFile memory;
        EXPECT_TRUE(woff.ExtractFont(&memory));
        return Bytes(memory.Data(), memory.Data() + memory.GetLength());
    }
};

TEST_F(Collection, TrueTypeMemberWithEveryOptionButWOFF2)
{
    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) GTEST_SKIP();
    const std::string source = Place(testfonts::kTrueTypeCollection, "Sample.ttc");
    Pick(1);
    Convert(source, "", {.eot = true, .page = true, .addSrc = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(testfonts::ReadFile(File("Sample.ttf")), Member(source, 1));
    EXPECT_TRUE(OtsAccepts(File("Sample.ttf")));
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));
    ASSERT_EQ(testfonts::Run("woff2sfnt " + Quote(File("Sample.woff")) + " > " + Quote(File("back.ttf"))).exitCode, 0);
    EXPECT_EQ(testfonts::Run("/usr/bin/python3 -c \"from fontTools.ttLib import TTFont; import sys; "
                             "a = TTFont(sys.argv[1]); b = TTFont(sys.argv[2]); "
                             "sys.exit(a['name'].getDebugName(4) != b['name'].getDebugName(4))\" " +
                             Quote(File("back.ttf")) + " " + Quote(File("Sample.ttf")))
                  .exitCode,
              0);
    // The EOT comes from the collection file itself, with the picked member's number.
    EXPECT_EQ(testfonts::ReadFile(File("Sample.eot")), embedtest::Embed(source, 1).eot);
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("Sample.html"))),
              SampleHtmlBytes(ComposeSampleHtml(u"Sample.woff", u"", u"Sample.eot", u"Sample.ttf", FALSE, u"")));
}

TEST_F(Collection, CffMemberIsAnOpenTypeFontWithoutEot)
{
    if (!testfonts::Exists(testfonts::kCffCollection)) GTEST_SKIP();
    const std::string source = Place(testfonts::kCffCollection, "Sample.ttc");
    Pick(2);
    Convert(source, "", {.eot = true, .page = true, .addSrc = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{
                                   "ポストスクリプト形式のOpenTypeフォントのため、EOTファイルは作成されません。", kDone}));
    EXPECT_EQ(testfonts::ReadFile(File("Sample.otf")), Member(source, 2));
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));
    EXPECT_FALSE(Exists("Sample.eot") || Exists("Sample.ttf"));
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("Sample.html"))),
              SampleHtmlBytes(ComposeSampleHtml(u"Sample.woff", u"", u"Sample.eot", u"Sample.otf", TRUE, u"")));
}

TEST_F(Collection, PickerAndMemberQuestionCanEndTheRunWithNothingWritten)
{
    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) GTEST_SKIP();
    const std::string source = Place(testfonts::kTrueTypeCollection, "Sample.ttc");
    const auto before = Snapshot(File(""));
    AnswerDuringRun(IDCANCEL);
    Convert(source, "", {.eot = true, .page = true});
    Pick(-1);  // OK with no font selected names no font
    Convert(source, "", {.eot = true, .page = true});
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_EQ(Snapshot(File("")), before);

    // The picker comes after the questions about the WOFF and WOFF2 targets and before the one
    // about the member's own file.
    for (const char* name : {"Sample.ttf", "Sample.woff", "Sample.woff2"}) testfonts::WriteFile(File(name), Bytes{'o', 'l', 'd'});
    const auto withOld = Snapshot(File(""));
    std::vector<std::string> beforePicker;
    AnswerDuringRun([&](CDialog& d) {
        beforePicker = m_boxes.Texts();
        d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 0);
        return PressButton(d, IDOK);
    });
    m_boxes.Answer(IDYES);
    m_boxes.Answer(IDYES);
    m_boxes.Answer(IDNO);
    Convert(source, "", {.woff2 = true, .eot = true, .page = true});
    const std::vector<std::string> questions = {Question(File("Sample.woff")), Question(File("Sample.woff2"))};
    EXPECT_EQ(beforePicker, questions);
    std::vector<std::string> all = questions;
    all.push_back(File("Sample.ttf") + " が既に存在します。\n上書きされますがよろしいでしょうか?");
    EXPECT_EQ(m_boxes.Texts(), all);
    ASSERT_EQ(m_boxes.Boxes().size(), 3u);
    EXPECT_EQ(m_boxes.Boxes()[2].style, UINT(MB_YESNO));
    EXPECT_EQ(Snapshot(File("")), withOld);

    // The refusals of metadata without a file and of an EOT without the embedding library come
    // after the questions and before the picker, which is then never shown.
    m_boxes.Clear();
    m_dialogs.Clear();
    Convert(source, "", {.meta = true});
    g_pfnTTEmbedFontFromFileA = nullptr;
    Convert(source, "", {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Sample.woff")), "メタデータファイルを指定してください。",
                                                         Question(File("Sample.woff")),
                                                         "このOSではEOTファイルを作成することはできません。"}));
    EXPECT_TRUE(std::none_of(m_dialogs.Dialogs().begin(), m_dialogs.Dialogs().end(),
                             [](const auto& shown) { return shown.className == "CFontNumberDlg"; }));
    EXPECT_EQ(Snapshot(File("")), withOld);
}

TEST_F(Collection, MemberFileIsWrittenAfterAFailedWoffAndItsOwnFailureStopsTheRun)
{
    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) GTEST_SKIP();
    const std::string source = Place(testfonts::kTrueTypeCollection, "Sample.ttc");
    Convert(source, "", {.eot = true, .meta = true, .page = true, .metaPath = File("missing.xml")});
    EXPECT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(testfonts::ReadFile(File("Sample.ttf")), Member(source, 0));
    EXPECT_FALSE(Exists("Sample.woff") || Exists("Sample.eot") || Exists("Sample.html"));

    // A member file that cannot be written: reported, and no page follows.
    std::filesystem::remove(File("Sample.ttf"));
    std::filesystem::create_directories(File("Sample.ttf"));
    m_boxes.Clear();
    Convert(source, "", {.page = true});
    ASSERT_EQ(m_boxes.Texts().size(), 2u);
    EXPECT_NE(m_boxes.Texts()[1].find("Sample.ttfのオープンに失敗しました。"), std::string::npos) << m_boxes.Texts()[1];
    EXPECT_TRUE(Exists("Sample.woff"));
    EXPECT_FALSE(Exists("Sample.html"));

    // A member file whose write fails part-way (the disk fills: the WOFF fits, the font does not).
    std::filesystem::remove(File("Sample.ttf"));
    std::filesystem::remove(File("Sample.woff"));
    m_boxes.Clear();
    {
        const testfonts::FileSizeLimit limit(Member(source, 0).size() - 1);
        Convert(source, "", {.page = true});
    }
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"ファイル" + File("Sample.ttf") +
                                                        "の書き込みに失敗しました。\n原因：ディスクの空き容量が足りない"});
    EXPECT_TRUE(Exists("Sample.woff"));
    EXPECT_FALSE(Exists("Sample.ttf") || Exists("Sample.html"));
}

class Woff2Runs : public ConversionTest {
protected:
    // The metadata block of a WOFF2 file as fontTools reads it.
    std::string Woff2MetaData(const std::string& path)
    {
        const auto run = testfonts::Run("/usr/bin/python3 -c \"from fontTools.ttLib import TTFont; import sys; "
                                        "sys.stdout.buffer.write(TTFont(sys.argv[1]).flavorData.metaData or b'')\" " +
                                        Quote(path));
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run.output;
    }
    static bool Woff2Decompresses(const std::string& path)
    {
        return testfonts::Run("woff2_decompress " + Quote(path)).exitCode == 0;
    }
};

TEST_F(Woff2Runs, EveryOptionEndsWithTheStepAndOneSuccessMessage)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"/>\n";
    testfonts::WriteFile(File("meta.xml"), Bytes(xml.begin(), xml.end()));
    const std::string source = Place(testfonts::kLiberation, "Sample.ttf");
    Convert(source, "", {.woff2 = true, .eot = true, .meta = true, .page = true, .addSrc = true, .metaPath = File("meta.xml")},
            [](CFenwrapDlg& d) { EXPECT_EQ(Text(d, IDC_STATIC_STATUS), ""); });
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));
    EXPECT_TRUE(OtsAccepts(File("Sample.woff2")));
    EXPECT_EQ(Woff2MetaData(File("Sample.woff2")), xml);
    EXPECT_TRUE(Woff2Decompresses(File("Sample.woff2")));
    EXPECT_EQ(Utf8(testfonts::ReadFile(File("Sample.html"))),
              SampleHtmlBytes(ComposeSampleHtml(u"Sample.woff", u"Sample.woff2", u"Sample.eot", u"Sample.ttf", FALSE, u"")));
}

TEST_F(Woff2Runs, ACollectionMembersStepEncodesItsOwnFontFile)
{
    // A collection of two small fonts, the second the one picked.
    const std::string script =
        "from fontTools.ttLib import TTFont, TTCollection\n"
        "import sys\n"
        "c = TTCollection(); c.fonts = [TTFont(sys.argv[1]), TTFont(sys.argv[2])]; c.save(sys.argv[3])\n";
    testfonts::WriteFile(File("make.py"), Bytes(script.begin(), script.end()));
    const std::string source = File("Sample.ttc");
    ASSERT_EQ(testfonts::Run("/usr/bin/python3 " + Quote(File("make.py")) + " " + Quote(testfonts::kSmallTrueType) + " " +
                             Quote(testfonts::kLiberation) + " " + Quote(source))
                  .exitCode,
              0);
    AnswerDuringRun([](CDialog& d) {
        d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 1);
        return PressButton(d, IDOK);
    });
    Convert(source, "", {.woff2 = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    ASSERT_TRUE(Woff2Decompresses(File("Sample.woff2")));
    // woff2_decompress writes Sample.ttf over the member file: the same font comes back.
    const auto names = testfonts::Run("/usr/bin/python3 -c \"from fontTools.ttLib import TTFont; import sys; "
                                      "print(TTFont(sys.argv[1])['name'].getDebugName(4))\" " +
                                      Quote(File("Sample.ttf")));
    const auto member = testfonts::Run("/usr/bin/python3 -c \"from fontTools.ttLib import TTFont; import sys; "
                                       "print(TTFont(sys.argv[1], fontNumber=1)['name'].getDebugName(4))\" " +
                                       Quote(source));
    ASSERT_EQ(member.exitCode, 0) << member.output;
    EXPECT_EQ(names.output, member.output);
}

TEST_F(Woff2Runs, APageThatCannotBeWrittenStopsTheStep)
{
    const std::string source = Place(testfonts::kSmallTrueType, "Sample.ttf");
    std::filesystem::create_directories(File("Sample.html"));
    Convert(source, "", {.woff2 = true, .page = true});
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_NE(m_boxes.Texts()[0].find("Sample.htmlのオープンに失敗しました。"), std::string::npos);
    EXPECT_FALSE(Exists("Sample.woff2"));
}

TEST_F(Woff2Runs, DecodingWithAndWithoutMetadataAndUnderAWoffName)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"/>\n";
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(Place(testfonts::kLiberation, "Plain.ttf"))).exitCode, 0);
    std::filesystem::remove(File("Plain.ttf"));
    const std::string script =
        "from fontTools.ttLib import TTFont\n"
        "from fontTools.ttLib.woff2 import WOFF2FlavorData\n"
        "import sys\n"
        "f = TTFont(sys.argv[1]); f.flavor = 'woff2'; d = WOFF2FlavorData(); d.metaData = sys.argv[2].encode()\n"
        "f.flavorData = d; f.save(sys.argv[3])\n";
    testfonts::WriteFile(File("make.py"), Bytes(script.begin(), script.end()));
    ASSERT_EQ(testfonts::Run("/usr/bin/python3 " + Quote(File("make.py")) + " " + Quote(testfonts::kLiberation) + " " +
                             Quote(xml) + " " + Quote(File("Meta.woff2")))
                  .exitCode,
              0);

    Convert(File("Plain.woff2"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_TRUE(OtsAccepts(File("Plain.ttf")));
    EXPECT_EQ(testfonts::ReadFile(File("Plain.ttf")).size(), testfonts::Be32(testfonts::ReadFile(File("Plain.woff2")), 16));

    m_boxes.Clear();
    AnswerDuringRun(IDCANCEL);
    Convert(File("Meta.woff2"));
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_FALSE(Exists("Meta.ttf"));
    // The question about replacing the target comes before the viewer.
    testfonts::WriteFile(File("Meta.ttf"), Bytes{'o', 'l', 'd'});
    std::vector<std::string> beforeViewer;
    AnswerDuringRun([&](CDialog& d) {
        beforeViewer = m_boxes.Texts();
        return PressButton(d, IDOK);
    });
    Convert(File("Meta.woff2"));
    EXPECT_EQ(beforeViewer, std::vector<std::string>{Question(File("Meta.ttf"))});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Meta.ttf")), kDone}));
    EXPECT_TRUE(OtsAccepts(File("Meta.ttf")));
    const auto shown = std::count_if(m_dialogs.Dialogs().begin(), m_dialogs.Dialogs().end(),
                                     [](const auto& d) { return d.className == "CMetaDataDlg"; });
    EXPECT_EQ(shown, 2);

    // A WOFF2 file named .woff is decoded as what it is.
    std::filesystem::rename(File("Plain.woff2"), File("Renamed.woff"));
    m_boxes.Clear();
    Convert(File("Renamed.woff"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(testfonts::ReadFile(File("Renamed.ttf")), testfonts::ReadFile(File("Plain.ttf")));
}
