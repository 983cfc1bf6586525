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
    // Each output's name, and the address it reads as inside url().
    struct Name {
        const char16_t* given;
        const char* address;
    };
    struct Names {
        Name woff, woff2, eot, ttf, otf;
        const char16_t* absent;
    };
    // Absent outputs come as null pointers from one caller and as empty strings from another.
    // Names beyond ASCII, spaces and punctuation that means nothing to an address go in
    // unchanged; what would give the address another meaning, end it or be stripped from it is
    // percent-encoded.
    const Names nameSets[] = {
        {{u"Sample.woff", "Sample.woff"}, {u"Sample.woff2", "Sample.woff2"}, {u"Sample.eot", "Sample.eot"},
         {u"Sample.ttf", "Sample.ttf"}, {u"Sample.otf", "Sample.otf"}, nullptr},
        {{u"見本 100%.woff", "見本 100%25.woff"}, {u"見本 100%.woff2", "見本 100%25.woff2"},
         {u"見本 100%.eot", "見本 100%25.eot"}, {u"見本 100%.ttf", "見本 100%25.ttf"}, {u"見本 100%", "見本 100%25"}, u""},
        {{u"見本 (1) [a]{b}~!$'*+,;=@^`|.woff", "見本 (1) [a]{b}~!$'*+,;=@^`|.woff"},
         {u"ｶﾅ　全角＃？.woff2", "ｶﾅ　全角＃？.woff2"}, {u"😀𠮷.eot", "😀𠮷.eot"}, {u"-_.ttf", "-_.ttf"},
         {u"Ελληνικά.otf", "Ελληνικά.otf"}, nullptr},
        {{u"A#1 100%.woff", "A%231 100%25.woff"}, {u"q?x=1&y.woff2", "q%3Fx=1%26y.woff2"},
         {u"c:\\x\"y\".eot", "c%3A%5Cx%22y%22.eot"}, {u"<b>&amp;.ttf", "%3Cb%3E%26amp;.ttf"},
         {u"t\ta\nb\x7f\x85\x9f\xa0.otf", "t%09a%0Ab%7F%C2%85%C2%9F\xc2\xa0.otf"}, u""},
        // Address parsing strips spaces at either end, not within.
        {{u" lead.woff", "%20lead.woff"}, {u"trail .woff2 ", "trail .woff2%20"}, {u"  a  b  ", "%20%20a  b%20%20"},
         {u"\xa0\u3000.ttf\u3000", "\xc2\xa0\u3000.ttf\u3000"}, {u" ", "%20"}, nullptr},
    };
    const char16_t* samples[] = {u"", u"<b>&amp;", u"サンプル ABC abc", u"  空白  \"'", u"😀𠮷"};
    auto utf8 = [](const char16_t* s) { return s ? CString(s).ToUtf8() : std::string(); };
    int written = 0;
    RunMainWindow([&](CFenwrapDlg& d) {
        for (const Names& n : nameSets)
            for (const char16_t* sample : samples)
                for (int mask = 0; mask < 16; ++mask) {
                    const bool eot = mask & 1, woff2 = mask & 2, src = mask & 4, openType = mask & 8;
                    const Name& source = openType ? n.otf : n.ttf;
                    d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, sample);
                    ASSERT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), n.woff.given, woff2 ? n.woff2.given : n.absent,
                                                  eot ? n.eot.given : n.absent, src ? source.given : n.absent, openType));
                    const std::string page = Contents(Page());
                    const std::string expected = ExpectedPage(n.woff.address, woff2 ? n.woff2.address : "",
                                                              eot ? n.eot.address : "", src ? source.address : "",
                                                              openType, utf8(sample));
                    ASSERT_EQ(page, expected) << "mask " << mask << ", sample " << utf8(sample);
                    ++written;
                }
    });
    EXPECT_EQ(written, 5 * 5 * 16);
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

TEST_F(SamplePage, NamesThatWouldEndTheAddressOrThePageLeaveBothWhole)
{
    RunMainWindow([&](CFenwrapDlg& d) {
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"見本");
        ASSERT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), u"</style><script>alert(1)</script>.woff",
                                      u"]]>&lt;.woff2", u"a&b.eot",
                                      u"x\"), url(evil.woff); } body { display:none } .y { src: url(\".ttf", FALSE));
    });
    // Read by an XML parser of its own: the page is well-formed, has no script, and its style
    // sheet, its quoted strings set aside, holds the font face with its four addresses and the
    // class, nothing more.
    const testfonts::ToolResult read = testfonts::Run(
        "/usr/bin/python3 -c \"import re, sys, xml.dom.minidom as m; d = m.parse(sys.argv[1]); "
        "s = re.sub(r'\\\"[^\\\"]*\\\"', '', d.getElementsByTagName('style')[0].firstChild.data); "
        "print(len(d.getElementsByTagName('script')), s.count('{'), s.count('url('), 'display' in s)\" " +
        testfonts::Quote(Page()));
    EXPECT_EQ(read.exitCode, 0) << read.output;
    EXPECT_EQ(read.output, "0 2 4 False\n");
    EXPECT_NE(Contents(Page()).find("url(\"x%22), url(evil.woff); } body { display%3Anone } .y { src%3A url(%22.ttf\")"),
              std::string::npos);
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
