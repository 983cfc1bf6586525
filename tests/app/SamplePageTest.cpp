// The sample page as the main window writes it: every combination of outputs, formats and
// sample strings compared byte for byte with pages put together here, the open failure, and
// the replacement of an earlier page.
#include "WindowFixture.h"

#include <filesystem>

namespace {

// The page for these names, written out from the layout users see: entries joined by a comma
// and a line break under the first address, the last one closed with a semicolon.
std::string ExpectedPage(const std::string& woff, const std::string& woff2, const std::string& eot,
                         const std::string& src, bool openType, const std::string& sample)
{
    std::vector<std::string> entries;
    if (!eot.empty()) entries.push_back("url(\"" + eot + "?\")  format('eot')");
    if (!woff2.empty()) entries.push_back("url(\"" + woff2 + "\") format('woff2')");
    entries.push_back("url(\"" + woff + "\")  format('woff')");
    if (!src.empty()) entries.push_back("url(\"" + src + "\")   format('" + (openType ? "opentype" : "truetype") + "')");
    std::string src_descriptor;
    for (size_t i = 0; i < entries.size(); ++i) src_descriptor += (i ? ",\n       " : "") + entries[i];
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"ja\" lang=\"ja\">\n"
           "<head>\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
           "\n"
           "<style type=\"text/css\">\n"
           "@font-face {\n"
           "  font-family: \"myFont\";\n"
           "  src: " + src_descriptor + ";\n"
           "}\n"
           ".myFontClass {\n"
           "  font-family: \"myFont\";\n"
           "}\n"
           "</style>\n"
           "</head>\n"
           "\n"
           "<body>\n"
           "<p>サンプル文字列は「<span class=\"myFontClass\">" + sample + "</span>」です。</p>\n"
           "</body>\n"
           "</html>\n";
}

// Every output with a TrueType source, as a user with all options on gets it.
constexpr const char* kEveryOutputPage = R"(<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml" xml:lang="ja" lang="ja">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8" />

<style type="text/css">
@font-face {
  font-family: "myFont";
  src: url("Sample.eot?")  format('eot'),
       url("Sample.woff2") format('woff2'),
       url("Sample.woff")  format('woff'),
       url("Sample.ttf")   format('truetype');
}
.myFontClass {
  font-family: "myFont";
}
</style>
</head>

<body>
<p>サンプル文字列は「<span class="myFontClass">あいう ABC</span>」です。</p>
</body>
</html>
)";

std::string Contents(const std::string& path)
{
    const testfonts::Bytes bytes = testfonts::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class SamplePage : public WindowTest {
protected:
    std::string Page() const { return m_out.File("Sample.html"); }
    testfonts::TempDir m_out;
};

TEST_F(SamplePage, EveryCombinationIsWrittenByteForByte)
{
    struct Names {
        const char16_t *woff, *woff2, *eot, *ttf, *otf, *absent;
    };
    // Absent outputs come as null pointers from one caller and as empty strings from another;
    // names beyond ASCII, spaces and percent signs go in unchanged.
    const Names nameSets[] = {
        {u"Sample.woff", u"Sample.woff2", u"Sample.eot", u"Sample.ttf", u"Sample.otf", nullptr},
        {u"見本 100%.woff", u"見本 100%.woff2", u"見本 100%.eot", u"見本 100%.ttf", u"見本 100%", u""},
    };
    const char16_t* samples[] = {u"", u"<b>&amp;", u"サンプル ABC abc", u"  空白  \"'", u"😀𠮷"};
    auto utf8 = [](const char16_t* s) { return s ? CString(s).ToUtf8() : std::string(); };
    int written = 0;
    RunMainWindow([&](CFenwrapDlg& d) {
        for (const Names& n : nameSets)
            for (const char16_t* sample : samples)
                for (int mask = 0; mask < 16; ++mask) {
                    const bool eot = mask & 1, woff2 = mask & 2, src = mask & 4, openType = mask & 8;
                    const char16_t* srcName = src ? (openType ? n.otf : n.ttf) : n.absent;
                    d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, sample);
                    ASSERT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), n.woff, woff2 ? n.woff2 : n.absent,
                                                  eot ? n.eot : n.absent, srcName, openType));
                    const std::string page = Contents(Page());
                    const std::string expected = ExpectedPage(utf8(n.woff), woff2 ? utf8(n.woff2) : "", eot ? utf8(n.eot) : "",
                                                              utf8(srcName), openType, utf8(sample));
                    ASSERT_EQ(page, expected) << "mask " << mask << ", sample " << utf8(sample);
                    ++written;
                }
    });
    EXPECT_EQ(written, 2 * 5 * 16);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SamplePage, EveryOutputGivesTheFourEntriesAsAUserSeesThem)
{
    RunMainWindow([&](CFenwrapDlg& d) {
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"あいう ABC");
        ASSERT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), u"Sample.woff", u"Sample.woff2", u"Sample.eot",
                                      u"Sample.ttf", FALSE));
    });
    const std::string page = Contents(Page());
    EXPECT_EQ(page, kEveryOutputPage);
    // Stored as UTF-8 without a byte-order mark, with bare line feeds and no terminating zero.
    EXPECT_EQ(page.rfind("<!DOCTYPE", 0), 0u);
    EXPECT_EQ(page.find('\r'), std::string::npos);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
}

TEST_F(SamplePage, ATargetThatCannotBeOpenedIsReportedWithItsCauseAndNothingIsWritten)
{
    const std::string missingFolder = m_out.File("無い/Sample.html");
    const std::string folderInTheWay = m_out.Path();
    RunMainWindow([&](CFenwrapDlg& d) {
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"abc");
        EXPECT_FALSE(d.WriteSampleHtml(CString::FromUtf8(missingFolder), u"a.woff", nullptr, nullptr, nullptr, FALSE));
        EXPECT_FALSE(d.WriteSampleHtml(CString::FromUtf8(folderInTheWay), u"a.woff", nullptr, nullptr, nullptr, FALSE));
    });
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, "ファイル" + missingFolder + "のオープンに失敗しました。\n原因：不正パス");
    EXPECT_EQ(m_boxes.Boxes()[0].style, UINT(MB_ICONERROR));
    EXPECT_EQ(m_boxes.Boxes()[1].text.rfind("ファイル" + folderInTheWay + "のオープンに失敗しました。\n原因：", 0), 0u);
    EXPECT_EQ(m_boxes.Boxes()[1].style, UINT(MB_ICONERROR));
    EXPECT_FALSE(std::filesystem::exists(m_out.File("無い")));
    EXPECT_TRUE(std::filesystem::is_empty(m_out.Path())) << "no temporary file is left behind";
}

TEST_F(SamplePage, AnEarlierPageIsReplacedWholeWithoutAQuestion)
{
    testfonts::WriteFile(Page(), testfonts::Bytes(20000, 'x'));
    RunMainWindow([&](CFenwrapDlg& d) {
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"新しい");
        EXPECT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), u"n.woff", u"", u"", u"", TRUE));
    });
    EXPECT_EQ(Contents(Page()), ExpectedPage("n.woff", "", "", "", true, "新しい"));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_out.Path()), {}), 1) << "no temporary file is left behind";
}

} // namespace
