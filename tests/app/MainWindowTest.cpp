#include "WindowFixture.h"

#include "FileDialog.h"
#include "StringTable.h"

#include <filesystem>

namespace {

constexpr const char16_t* kKey = u"SOFTWARE\\Orvisto\\Fenwrap\\3.2.0\\Settings";

const int kChecks[] = {IDC_CHECK_METADATA, IDC_CHECK_WOFF2, IDC_CHECK_EOT, IDC_CHECK_SAMPLE_HTML, IDC_CHECK_ADD_SRC_FONT};

class MainWindow : public WindowTest {
protected:
    std::vector<BYTE> Stored(const char16_t* name, DWORD* type = nullptr)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {0xEE};
        BYTE data[1024];
        DWORD size = sizeof data;
        const LSTATUS status = RegQueryValueExW(key, name, nullptr, type, data, &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>{0xEE};
    }
    void Put(const char16_t* name, DWORD type, std::vector<BYTE> data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }
};

TEST_F(MainWindow, CaptionCarriesTheVersionAndTheStatusLineStartsEmpty)
{
    RunMainWindow([](CFenwrapDlg& d) {
        CString caption;
        d.GetWindowText(caption);
        EXPECT_EQ(caption.ToUtf8(), "Fenwrap Version3.2.0");
        EXPECT_EQ(Text(d, IDC_STATIC_STATUS), "");
    });
}

TEST(MainWindowDeep, CaptionKeepsTheVersionWhenTheProgramLiesDeepInTheFolderTree)
{
    // This test program, copied under a path far longer than 260 characters, runs the
    // caption test again there.
    testfonts::TempDir dir;
    std::string folder = dir.Path();
    for (int i = 0; i < 8; ++i) folder += "/" + std::string(40, static_cast<char>('a' + i));
    std::filesystem::create_directories(folder);
    const std::string copy = folder + "/app_tests";
    std::filesystem::copy_file("/proc/self/exe", copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    ASSERT_GT(copy.size(), 300u);
    const testfonts::ToolResult run =
        testfonts::Run(testfonts::Quote(copy) + " --gtest_filter=MainWindow.CaptionCarriesTheVersionAndTheStatusLineStartsEmpty");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;
}

TEST_F(MainWindow, FirstStartShowsTheTemplateAndTheEndWritesAllSevenValues)
{
    EXPECT_EQ(RunMainWindow([](CFenwrapDlg& d) {
        for (int id : kChecks) EXPECT_EQ(Check(d, id), BST_UNCHECKED) << id;
        EXPECT_EQ(Text(d, IDC_EDIT_METADATA_FILE), "");
        EXPECT_EQ(Text(d, IDC_EDIT_SAMPLE_STRING), "");
        EXPECT_EQ(Text(d, IDC_EDIT_SRC), "");
        // The source field has the focus, as the first tab stop.
        ASSERT_NE(d.GetFocusedControl(), nullptr);
        EXPECT_EQ(d.GetFocusedControl()->GetDlgCtrlID(), IDC_EDIT_SRC);
    }), IDCANCEL);
    DWORD type = 0;
    for (const char16_t* name : {u"bAddMetaData", u"bMakeWOFF2", u"bMakeEOTFile", u"bMakeSampleHtml", u"bAddSrcFontToHtml"}) {
        EXPECT_EQ(Stored(name, &type), (std::vector<BYTE>{0, 0, 0, 0})) << CString(name).ToUtf8();
        EXPECT_EQ(type, REG_DWORD);
    }
    for (const char16_t* name : {u"MetaDataFilePath", u"SampleString"}) {
        EXPECT_EQ(Stored(name, &type), (std::vector<BYTE>{0, 0})) << CString(name).ToUtf8();
        EXPECT_EQ(type, REG_SZ);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(MainWindow, OptionsComeBackOnTheNextStartButPathsDoNot)
{
    RunMainWindow([](CFenwrapDlg& d) {
        d.ClickButton(IDC_CHECK_WOFF2);
        d.ClickButton(IDC_CHECK_SAMPLE_HTML);
        d.ClickButton(IDC_CHECK_METADATA);
        d.SetDlgItemText(IDC_EDIT_METADATA_FILE, u"/home/user/メタ.xml");
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"あいうえお ABC");
        d.SetDlgItemText(IDC_EDIT_SRC, u"/home/user/font.ttf");
        d.SetDlgItemText(IDC_EDIT_DST, u"/home/user/out");
        d.PressCloseBox();
    });
    EXPECT_EQ(Stored(u"bMakeWOFF2"), (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(Stored(u"bMakeEOTFile"), (std::vector<BYTE>{0, 0, 0, 0}));
    RunMainWindow([](CFenwrapDlg& d) {
        EXPECT_EQ(Check(d, IDC_CHECK_WOFF2), BST_CHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_SAMPLE_HTML), BST_CHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_METADATA), BST_CHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_EOT), BST_UNCHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_ADD_SRC_FONT), BST_UNCHECKED);
        EXPECT_EQ(Text(d, IDC_EDIT_METADATA_FILE), "/home/user/メタ.xml");
        EXPECT_EQ(Text(d, IDC_EDIT_SAMPLE_STRING), "あいうえお ABC");
        EXPECT_EQ(Text(d, IDC_EDIT_SRC), "");
        EXPECT_EQ(Text(d, IDC_EDIT_DST), "");
        // Unticked now, so the next end saves 0 rather than deleting the value.
        d.ClickButton(IDC_CHECK_WOFF2);
    });
    EXPECT_EQ(Stored(u"bMakeWOFF2"), (std::vector<BYTE>{0, 0, 0, 0}));
}

TEST_F(MainWindow, StoredValuesAreReadAsTheSettingsRulesSay)
{
    Put(u"bMakeWOFF2", REG_SZ, {'1', 0});                 // another type: its bytes count
    Put(u"bMakeEOTFile", REG_BINARY, {1, 2, 3, 4, 5});    // longer than four bytes: ignored
    Put(u"bAddMetaData", REG_DWORD, {0, 0, 0, 0});
    Put(u"SampleString", REG_SZ, {'a', 0, 'b', 0});       // no NUL
    Put(u"MetaDataFilePath", REG_BINARY, {'x', 0, 0, 0, 'y', 0});
    RunMainWindow([](CFenwrapDlg& d) {
        EXPECT_EQ(Check(d, IDC_CHECK_WOFF2), BST_CHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_EOT), BST_UNCHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_METADATA), BST_UNCHECKED);
        EXPECT_EQ(Check(d, IDC_CHECK_SAMPLE_HTML), BST_UNCHECKED);  // missing
        EXPECT_EQ(Text(d, IDC_EDIT_SAMPLE_STRING), "ab");
        EXPECT_EQ(Text(d, IDC_EDIT_METADATA_FILE), "x");
    });
}

TEST_F(MainWindow, OnlyAFullyCheckedBoxIsSavedAsOne)
{
    RunMainWindow([](CFenwrapDlg& d) {
        d.SendDlgItemMessage(IDC_CHECK_EOT, BM_SETCHECK, 2);  // indeterminate
        d.SendDlgItemMessage(IDC_CHECK_WOFF2, BM_SETCHECK, BST_CHECKED);
    });
    EXPECT_EQ(Stored(u"bMakeEOTFile"), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(Stored(u"bMakeWOFF2"), (std::vector<BYTE>{1, 0, 0, 0}));
}

TEST_F(MainWindow, ADamagedStoreIsAnEmptyOneAndTheWindowStillOpensAndSaves)
{
    WriteStore(std::string("\x01\x02 not a store\n[x", 17));
    RunMainWindow([](CFenwrapDlg& d) {
        for (int id : kChecks) EXPECT_EQ(Check(d, id), BST_UNCHECKED);
        d.ClickButton(IDC_CHECK_EOT);
    });
    EXPECT_EQ(Stored(u"bMakeEOTFile"), (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(MainWindow, AStoreThatCannotBeWrittenLosesTheOptionsQuietly)
{
    testfonts::WriteFile(m_dir->Path() + "/fenwrap", {'x'});
    RunMainWindow([](CFenwrapDlg& d) { d.ClickButton(IDC_CHECK_EOT); });
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(MainWindow, StartNeverClosesTheWindow)
{
    RunMainWindow([](CFenwrapDlg& d) {
        d.ClickButton(IDOK);
        EXPECT_FALSE(d.IsEnded());
        d.PressEnter();
        EXPECT_FALSE(d.IsEnded());
        EXPECT_TRUE(d.IsWindowVisible());
    });
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>(2, "変換前ファイルを指定してください。"));
}

TEST_F(MainWindow, QuitEscAndTheCloseBoxEachEndTheWindowAndSave)
{
    const std::function<void(CDialog&)> ways[] = {
        [](CDialog& d) { d.ClickButton(IDCANCEL); },
        [](CDialog& d) { d.PressEscape(); },
        [](CDialog& d) { d.PressCloseBox(); },
        [](CDialog& d) { d.SendMessage(WM_SYSCOMMAND, SC_CLOSE); },
    };
    for (const auto& way : ways) {
        std::filesystem::remove_all(m_dir->Path() + "/fenwrap");
        bool ended = false;
        EXPECT_EQ(RunMainWindow([&](CFenwrapDlg& d) {
            d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"x");
            way(d);
            ended = d.IsEnded();
        }), IDCANCEL);
        EXPECT_TRUE(ended);
        EXPECT_EQ(Stored(u"SampleString"), (std::vector<BYTE>{'x', 0, 0, 0}));
    }
}

TEST_F(MainWindow, TheSystemMenuEndsWithTheAboutItemWhichOpensTheAboutBox)
{
    RunMainWindow([this](CFenwrapDlg& d) {
        CMenu* menu = d.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        const auto& items = menu->Items();
        ASSERT_GE(items.size(), 2u);
        EXPECT_TRUE(items[items.size() - 2].flags & MF_SEPARATOR);
        EXPECT_EQ(items.back().id, IDM_ABOUTBOX);
        EXPECT_EQ(items.back().text.ToUtf8(), "バージョン情報(&A)...");

        m_dialogs.Clear();
        m_dialogs.Answer([](CDialog& about) -> INT_PTR {
            CString caption;
            about.GetWindowText(caption);
            EXPECT_EQ(caption.ToUtf8(), "バージョン情報");
            CMFCLinkCtrl link;
            link.m_hWnd = about.GetDlgItem(IDC_LINK_MAKER)->m_hWnd;
            EXPECT_EQ(link.GetURL().ToUtf8(), "https://orvisto.example/");
            EXPECT_EQ(link.GetTooltip().ToUtf8(), "Orvisto ホームページ");
            link.m_hWnd = nullptr;
            about.PressEscape();
            return IDCANCEL;
        });
        d.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
        ASSERT_EQ(m_dialogs.Dialogs().size(), 1u);
        EXPECT_EQ(m_dialogs.Dialogs()[0].templateId, IDD_ABOUTBOX);
        EXPECT_EQ(m_dialogs.Dialogs()[0].className, "CAboutDlg");
        EXPECT_FALSE(d.IsEnded());
        // The low four bits of a system command are the system's own.
        m_dialogs.Answer(IDOK);
        d.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
        EXPECT_EQ(m_dialogs.Dialogs().size(), 2u);
        EXPECT_FALSE(d.IsEnded());
    });
}

TEST_F(MainWindow, WithoutTheAboutTextTheSystemMenuKeepsItsOwnItems)
{
    // The table keeps the text it is given, so the original goes back from a literal.
    const char16_t* saved = FindStringResource(IDS_ABOUTBOX);
    ASSERT_NE(saved, nullptr);
    StringTableEntries{{IDS_ABOUTBOX, u""}};
    RunMainWindow([](CFenwrapDlg& d) {
        for (const CMenu::Item& item : d.GetSystemMenu(FALSE)->Items()) {
            EXPECT_FALSE(item.flags & MF_SEPARATOR);
            EXPECT_NE(item.id, IDM_ABOUTBOX);
        }
    });
    StringTableEntries{{IDS_ABOUTBOX, saved}};
}

TEST_F(MainWindow, OnlyTheStatusLineIsRed)
{
    RunMainWindow([](CFenwrapDlg& d) {
        for (int id : {IDC_STATIC_STATUS, -1, IDC_CHECK_WOFF2, IDC_EDIT_SRC}) {
            CDC dc;
            CtlColorArgs args{&dc, d.GetDlgItem(id), id == IDC_EDIT_SRC ? CTLCOLOR_EDIT : CTLCOLOR_STATIC};
            d.SendMessage(WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&args));
            EXPECT_EQ(dc.m_bTextColorSet, id == IDC_STATIC_STATUS) << id;
            if (id == IDC_STATIC_STATUS) {
                EXPECT_EQ(dc.m_textColor, RGB(255, 0, 0));
            }
        }
    });
}

TEST_F(MainWindow, TheAdvertisementPageIsOneOfFourAndThePanelNeedsNoBrowser)
{
    for (int i = 0; i < 25; ++i) RunMainWindow([](CFenwrapDlg&) {});
    ASSERT_EQ(m_addresses.size(), 25u);
    for (const std::string& address : m_addresses) {
        ASSERT_EQ(address.size(), std::string("orvisto.example/fenwrap_adN.htm").size()) << address;
        EXPECT_EQ(address.rfind("orvisto.example/fenwrap_ad", 0), 0u) << address;
        const char n = address[address.size() - 5];
        EXPECT_TRUE(n >= '0' && n <= '3') << address;
    }
}

TEST_F(MainWindow, TheMinimisedIconIsCentredAndIsTheDragCursor)
{
    RunMainWindow([](CFenwrapDlg& d) {
        EXPECT_EQ(reinterpret_cast<HICON>(d.SendMessage(WM_QUERYDRAGICON)), LoadIconResource(IDR_MAINFRAME));
        ASSERT_NE(LoadIconResource(IDR_MAINFRAME), nullptr);
        TakeDrawnIcons();
        d.SendMessage(WM_PAINT);
        EXPECT_TRUE(TakeDrawnIcons().empty()) << "a window that is not minimised paints as any dialog";
    });
}

// --- dropped files ---------------------------------------------------------------------------

TEST_F(MainWindow, EachDropFieldTakesTheFirstDroppedPathInPlaceOfItsText)
{
    testfonts::TempDir files;
    const CString first = CString::FromUtf8(files.File("一つ目.ttf"));
    const std::vector<CString> three = {first, CString::FromUtf8(files.File("b.otf")), CString::FromUtf8(files.File("c"))};
    RunMainWindow([&](CFenwrapDlg& d) {
        for (int id : {IDC_EDIT_SRC, IDC_EDIT_DST, IDC_EDIT_METADATA_FILE}) {
            d.SetDlgItemText(id, u"previous text");
            EXPECT_TRUE(DropFilesOn(d.GetDlgItem(id), three)) << id;
            EXPECT_EQ(Text(d, id), first.ToUtf8()) << id;
            EXPECT_TRUE(DropFilesOn(d.GetDlgItem(id), {CString::FromUtf8(files.Path())}));
            EXPECT_EQ(Text(d, id), files.Path()) << "a folder gives its path";
            EXPECT_TRUE(DropFilesOn(d.GetDlgItem(id), {CString()}));
            EXPECT_EQ(Text(d, id), "") << "an item without a path empties the field";
        }
    });
}

TEST_F(MainWindow, DropsElsewhereChangeNothing)
{
    RunMainWindow([](CFenwrapDlg& d) {
        d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, u"sample");
        EXPECT_FALSE(DropFilesOn(d.GetDlgItem(IDC_EDIT_SAMPLE_STRING), {u"/tmp/a.ttf"}));
        EXPECT_EQ(Text(d, IDC_EDIT_SAMPLE_STRING), "sample");
        EXPECT_FALSE(DropFilesOn(d.GetDlgItem(IDC_CHECK_WOFF2), {u"/tmp/a.ttf"}));
        EXPECT_EQ(Check(d, IDC_CHECK_WOFF2), BST_UNCHECKED);
        // The window accepts drops but has no handler of its own: nothing happens.
        CString caption;
        d.GetWindowText(caption);
        EXPECT_TRUE(DropFilesOn(&d, {u"/tmp/a.ttf"}));
        CString after;
        d.GetWindowText(after);
        EXPECT_EQ(after, caption);
        for (int id : {IDC_EDIT_SRC, IDC_EDIT_DST, IDC_EDIT_METADATA_FILE}) EXPECT_EQ(Text(d, id), "");
    });
}

TEST(DropHandle, QueriesCountLengthAndCopyWithinTheBuffer)
{
    DropHandle drop{{CString(u"/a/bc"), CString(u"/d")}};
    EXPECT_EQ(DragQueryFileW(&drop, 0xFFFFFFFF, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileW(&drop, 0, nullptr, 0), 5u);
    WCHAR small[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(DragQueryFileW(&drop, 0, small, 3), 2u);
    EXPECT_EQ(std::u16string(small), u"/a");
    EXPECT_EQ(DragQueryFileW(&drop, 2, small, 3), 0u);
    EXPECT_EQ(DragQueryFileW(nullptr, 0, small, 3), 0u);
}

// --- browse buttons --------------------------------------------------------------------------

TEST_F(MainWindow, BrowseButtonsAskWithTheirTitlesFiltersAndKinds)
{
    struct Expected {
        int button, field;
        bool open;
        const char* title;
        const char* defaultExt;
        DWORD flags;
        const char* filter;
    };
    const char* all = "すべてのファイル (*.*)|*.*||";
    const Expected cases[] = {
        {IDC_BUTTON_BROWSE_SRC, IDC_EDIT_SRC, true, "変換前ファイル", "", OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING, all},
        {IDC_BUTTON_BROWSE_DST, IDC_EDIT_DST, false, "変換後ファイル", "", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING, all},
        {IDC_BUTTON_BROWSE_META, IDC_EDIT_METADATA_FILE, false, "メタデータファイル", "xml",
         OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING,
         "XMLファイル (*.xml)|*.xml|テキストファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||"},
    };
    RunMainWindow([&](CFenwrapDlg& d) {
        for (const Expected& e : cases) {
            d.SetDlgItemText(e.field, u"/kept/when/cancelled");
            m_dialogs.OnEachDialog([&](CDialog& shown) {
                auto& file = dynamic_cast<CFileDialog&>(shown);
                EXPECT_EQ(file.IsOpenDialog() != 0, e.open);
                EXPECT_EQ(file.GetTitle().ToUtf8(), e.title);
                EXPECT_EQ(file.GetDefaultExt().ToUtf8(), e.defaultExt);
                EXPECT_EQ(file.m_ofn.Flags, e.flags);
                EXPECT_FALSE(file.m_ofn.Flags & OFN_OVERWRITEPROMPT);
                EXPECT_EQ(file.GetFilter().ToUtf8(), e.filter);
                EXPECT_TRUE(file.GetPathName().IsEmpty()) << "opens with an empty name";
            });
            m_dialogs.Answer(IDCANCEL);
            d.ClickButton(e.button);
            EXPECT_EQ(Text(d, e.field), "/kept/when/cancelled");
            m_dialogs.AnswerFile("/chosen/ファイル.bin");
            d.ClickButton(e.button);
            EXPECT_EQ(Text(d, e.field), "/chosen/ファイル.bin");
            m_dialogs.OnEachDialog({});
        }
    });
}

// --- help ------------------------------------------------------------------------------------

TEST_F(MainWindow, HelpWithoutAHelpFileSaysItFailed)
{
    m_app.m_pszHelpFilePath = u"/nonexistent/fenwrap.CHM";
    RunMainWindow([this](CFenwrapDlg& d) {
        EXPECT_TRUE(d.GetDlgItem(ID_HELP)->IsWindowVisible()) << "shown: the application answers ID_HELP";
        d.ClickButton(ID_HELP);
        ASSERT_EQ(m_boxes.Texts(), std::vector<std::string>{"Failed to launch help."});
        EXPECT_EQ(m_boxes.Boxes()[0].style & MB_TYPEMASK, MB_OK);
        m_boxes.Clear();
        d.PressHelpKey();  // F1
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Failed to launch help."});
        EXPECT_FALSE(d.IsEnded());
    });
}

TEST_F(MainWindow, HelpOpensTheHelpFileBesideTheProgramInTheViewer)
{
    const std::string help = m_dir->Path() + "/fenwrap.CHM";
    testfonts::WriteFile(help, {'I', 'T', 'S', 'F'});
    const CString helpPath = CString::FromUtf8(help);
    m_app.m_pszHelpFilePath = helpPath.GetString();
    std::vector<std::string> opened;
    const HelpLauncher previous = SetHelpLauncher([&](const CString& file, UINT, UINT_PTR) {
        opened.push_back(file.ToUtf8());
        return true;
    });
    RunMainWindow([](CFenwrapDlg& d) { d.ClickButton(ID_HELP); });
    EXPECT_EQ(opened, std::vector<std::string>{help});
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // A viewer that does not start is the same failure as a missing file.
    SetHelpLauncher([](const CString&, UINT, UINT_PTR) { return false; });
    RunMainWindow([](CFenwrapDlg& d) { d.ClickButton(ID_HELP); });
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Failed to launch help."});
    SetHelpLauncher(previous);
}

#ifdef FENWRAP_HELP_FILE
TEST(HelpFile, IsBuiltBesideTheProgramAsACompiledHelpFile)
{
    const testfonts::Bytes help = testfonts::ReadFile(FENWRAP_HELP_FILE);
    ASSERT_GT(help.size(), 1000u);
    EXPECT_EQ(std::string(help.begin(), help.begin() + 4), "ITSF");
}
#endif

TEST_F(MainWindow, TheMakersLinkOpensTheSiteWithItsTooltip)
{
    std::vector<std::string> opened;
    const UrlOpener previous = SetUrlOpener([&](const CString& url) {
        opened.push_back(url.ToUtf8());
        return true;
    });
    RunMainWindow([](CFenwrapDlg& d) {
        EXPECT_EQ(Text(d, IDC_LINK_MAKER), "Orvisto");
        CMFCLinkCtrl link;
        link.m_hWnd = d.GetDlgItem(IDC_LINK_MAKER)->m_hWnd;
        EXPECT_EQ(link.GetTooltip().ToUtf8(), "Orvisto ホームページ");
        link.Click();
        link.m_hWnd = nullptr;
    });
    SetUrlOpener(previous);
    EXPECT_EQ(opened, std::vector<std::string>{"https://orvisto.example/"});
}

} // namespace
