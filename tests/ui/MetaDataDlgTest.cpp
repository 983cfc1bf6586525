// The metadata viewer, run without a display: what it shows for each encoding, how it ends,
// and what its save command writes or reports.
#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"
#include "TestFonts.h"
#include "WindowHandle.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testfonts::Bytes;

struct Shown {
    INT_PTR result = -1;
    std::u16string text;
    bool hasFont = false;
    int fontHeight = 0;
    std::u16string fontFace;
    std::vector<int> tabStops;
    std::optional<COLORREF> background;
    bool helpVisible = true;
    int focusId = 0;
};

// Runs the viewer on block and reports what its field held while it was open.
Shown Show(const Bytes& block, INT_PTR answer = IDOK)
{
    ScriptedDialogResponder dialogs;
    Shown shown;
    dialogs.OnEachDialog([&](CDialog& d) {
        const HWND edit = d.GetDlgItem(IDC_EDIT_METADATA)->m_hWnd;
        shown.text = edit->text.Str();
        shown.hasFont = edit->font != nullptr;
        if (edit->font) {
            shown.fontHeight = edit->font->height;
            shown.fontFace = edit->font->faceName.Str();
        }
        shown.tabStops = edit->tabStops;
        shown.background = edit->background;
        shown.helpVisible = d.GetDlgItem(ID_HELP)->IsWindowVisible();
        shown.focusId = d.GetFocusedControl() ? d.GetFocusedControl()->GetDlgCtrlID() : 0;
    });
    dialogs.Answer(answer);
    CMetaDataDlg dlg(nullptr);
    dlg.m_pMetaData = block.data();
    dlg.m_nMetaDataLength = static_cast<UINT>(block.size());
    shown.result = dlg.DoModal();
    return shown;
}

Bytes Of(std::initializer_list<int> bytes)
{
    Bytes b;
    for (int v : bytes) b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }

} // namespace

TEST(MetaDataViewer, DetectsEncodingFromTheFirstTwoBytes)
{
    struct Case {
        const char* name;
        Bytes block;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-8 declaration", Of("<?xml a=\"日本\"?>"), u"<?xml a=\"日本\"?>"},
        {"UTF-8 with its mark", Of({0xEF, 0xBB, 0xBF, '<', 'm'}), u"\uFEFF<m"},
        {"UTF-16 LE with mark", Of({0xFF, 0xFE, '<', 0, 0xE5, 0x65}), u"\uFEFF<日"},
        {"UTF-16 BE with mark", Of({0xFE, 0xFF, 0, '<', 0x65, 0xE5}), u"\uFEFF<日"},
        {"UTF-16 LE without mark", Of({'<', 0, '?', 0}), u"<?"},
        {"UTF-16 BE without mark", Of({0, '<', 0, '?'}), u"<?"},
        {"mark alone", Of({0xFF, 0xFE}), u"\uFEFF"},
        {"odd length LE: last byte dropped", Of({'<', 0, '?', 0, 'x'}), u"<?"},
        {"odd length BE: last byte dropped", Of({0xFE, 0xFF, 0, 'a', 0}), u"\uFEFFa"},
        {"bare line feeds kept", Of("<a>\n<b/>\r\n</a>"), u"<a>\n<b/>\r\n</a>"},
        {"text ends at an embedded NUL (UTF-8)", Of({'<', 'a', 0, 'b'}), u"<a"},
        {"text ends at an embedded NUL (UTF-16)", Of({'<', 0, 0, 0, 'b', 0}), u"<"},
        {"malformed UTF-8 is substituted", Of({'<', 0xFF, 'a'}), u"<\uFFFDa"},
    };
    for (const Case& c : cases) {
        const Shown shown = Show(c.block);
        EXPECT_EQ(shown.text, c.text) << c.name;
        EXPECT_EQ(shown.result, IDOK) << c.name;
    }
}

TEST(MetaDataViewer, FieldIsSetUpOnlyForTwoBytesOrMore)
{
    for (const Bytes& tiny : {Bytes{}, Of({'<'})}) {
        const Shown shown = Show(tiny);
        EXPECT_TRUE(shown.text.empty());
        EXPECT_FALSE(shown.hasFont) << "keeps the dialog's font";
        EXPECT_TRUE(shown.tabStops.empty());
        EXPECT_FALSE(shown.background.has_value()) << "keeps the system's colours";
        EXPECT_EQ(shown.result, IDOK) << "the decoding may still go on";
    }
    const Shown shown = Show(Of("<x/>"));
    EXPECT_TRUE(shown.hasFont);
    EXPECT_EQ(shown.fontHeight, -13) << "10 points at 96 pixels per inch, truncated";
    EXPECT_EQ(shown.fontFace, u"ＭＳ ゴシック");
    EXPECT_EQ(shown.tabStops, std::vector<int>{16});
    ASSERT_TRUE(shown.background.has_value());
    EXPECT_EQ(*shown.background, RGB(255, 255, 255));
}

TEST(MetaDataViewer, EndsWithOkOnlyForStartOrEnter)
{
    struct Case {
        const char* name;
        std::function<void(CDialog&)> act;
        INT_PTR result;
    };
    const Case cases[] = {
        {"変換開始", [](CDialog& d) { d.ClickButton(IDOK); }, IDOK},
        {"Enter", [](CDialog& d) { d.PressEnter(); }, IDOK},
        {"キャンセル", [](CDialog& d) { d.ClickButton(IDCANCEL); }, IDCANCEL},
        {"Esc", [](CDialog& d) { d.PressEscape(); }, IDCANCEL},
        {"close box", [](CDialog& d) { d.PressCloseBox(); }, IDCANCEL},
        {"WM_CLOSE", [](CDialog& d) { d.SendMessage(WM_CLOSE); }, IDCANCEL},
    };
    const Bytes block = Of("<m/>");
    for (const Case& c : cases) {
        ScriptedDialogResponder dialogs;
        dialogs.Answer([&](CDialog& d) -> INT_PTR {
            c.act(d);
            EXPECT_TRUE(d.IsEnded()) << c.name;
            return -2;
        });
        CMetaDataDlg dlg;
        dlg.m_pMetaData = block.data();
        dlg.m_nMetaDataLength = static_cast<UINT>(block.size());
        EXPECT_EQ(dlg.DoModal(), c.result) << c.name;
    }
}

TEST(MetaDataViewer, OpensWithFocusOnStartAndHelpHiddenWithoutApplication)
{
    const Shown shown = Show(Of("<m/>"));
    EXPECT_EQ(shown.focusId, IDOK);
    EXPECT_FALSE(shown.helpVisible) << "nothing on the command route serves ID_HELP";
}

class MetaDataSave : public ::testing::Test {
protected:
    // Opens the viewer on block, presses the save button with path chosen in the save dialog
    // (or the dialog cancelled), then "変換開始".
    INT_PTR Save(const Bytes& block, const std::string* path)
    {
        ScriptedDialogResponder dialogs;
        dialogs.Answer([&](CDialog& d) -> INT_PTR {
            if (path) dialogs.AnswerFile(*path);
            else dialogs.Answer(IDCANCEL);
            d.ClickButton(IDC_BUTTON_SAVE_METADATA);
            EXPECT_FALSE(d.IsEnded()) << "the viewer stays open after a save";
            d.ClickButton(IDOK);
            return -2;
        });
        CMetaDataDlg dlg;
        dlg.m_pMetaData = block.data();
        dlg.m_nMetaDataLength = static_cast<UINT>(block.size());
        const INT_PTR result = dlg.DoModal();
        shown = dialogs.Dialogs();
        return result;
    }

    testfonts::TempDir dir;
    ScriptedResponder boxes;
    std::vector<ScriptedDialogResponder::Shown> shown;
};

TEST_F(MetaDataSave, WritesTheBlockByteForByteAndReplacesAnExistingFile)
{
    const Bytes bigEndian = Of({0xFE, 0xFF, 0, '<', 0, 'm', 0, '>', 0x0A});
    const std::string target = dir.File("meta.xml");
    testfonts::WriteFile(target, Of("an older and much longer file that must go away entirely"));
    EXPECT_EQ(Save(bigEndian, &target), IDOK);
    EXPECT_EQ(testfonts::ReadFile(target), bigEndian);
    EXPECT_TRUE(boxes.Boxes().empty()) << "no overwrite question, no message";
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].className, "CFileDialog");

    for (const Bytes& tiny : {Bytes{}, Of({'<'})}) {
        const std::string small = dir.File("small.xml");
        EXPECT_EQ(Save(tiny, &small), IDOK);
        EXPECT_EQ(testfonts::ReadFile(small), tiny);
    }
}

TEST_F(MetaDataSave, NameWithoutExtensionGetsXml)
{
    const Bytes block = Of("<m/>");
    const std::string target = dir.File("noext");
    Save(block, &target);
    EXPECT_EQ(testfonts::ReadFile(target + ".xml"), block);
}

TEST_F(MetaDataSave, CancelledSaveDialogDoesNothing)
{
    EXPECT_EQ(Save(Of("<m/>"), nullptr), IDOK);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MetaDataSave, MissingFolderIsReportedAsABadPath)
{
    const std::string target = dir.File("no such folder/meta.xml");
    EXPECT_EQ(Save(Of("<m/>"), &target), IDOK);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "ファイル" + target + "のオープンに失敗しました。\n原因：不正パス");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONERROR);
    EXPECT_FALSE(testfonts::Exists(target));
}

TEST_F(MetaDataSave, UnwritableFolderIsReportedAsAccessDenied)
{
    // Permissions do not bind every user; a read-only system folder refuses everyone.
    auto refuses = [](const std::string& folder) {
        const std::string probe = folder + "/.probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0644);
        if (fd < 0) return true;
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    };
    std::string folder = dir.File("locked");
    ::mkdir(folder.c_str(), 0555);
    if (!refuses(folder)) folder = "/sys";
    if (!refuses(folder)) GTEST_SKIP() << "no folder here refuses writing";
    const std::string target = folder + "/meta.xml";
    Save(Of("<m/>"), &target);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "ファイル" + target + "のオープンに失敗しました。\n原因：ファイル アクセス禁止");
}

TEST_F(MetaDataSave, FailedWriteIsReportedAndKeepsTheOldFile)
{
    // A file size limit makes the write itself fail, as a full disk would.
    const std::string target = dir.File("meta.xml");
    const Bytes old = Of("old content");
    testfonts::WriteFile(target, old);
    const Bytes block(4096, 'x');
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    Save(block, &target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "ファイル" + target + "の書き込みに失敗しました。\n原因：ディスクの空き容量が足りない");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONERROR);
    EXPECT_EQ(testfonts::ReadFile(target), old);
}

// A block the engine hands over whole, of 64 MiB mostly zeros: the text stops at its first NUL,
// in each encoding, and nothing after it is decoded; Save still writes every byte as it came.
TEST_F(MetaDataSave, BlockOfMegabytesOfZerosShowsItsTextAndSavesWhole)
{
    constexpr size_t kBlock = size_t(64) << 20;
    struct Case {
        const char* name;
        Bytes head;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-8", Of("<m/>"), u"<m/>"},
        {"UTF-16 LE", Of({0xFF, 0xFE, '<', 0, 'm', 0}), u"\uFEFF<m"},
        {"UTF-16 BE", Of({0, '<', 0, 'm'}), u"<m"},
    };
    for (const Case& c : cases) {
        Bytes block = c.head;
        block.resize(kBlock, 0);
        // Lengths first: a text that ran on past the NUL is 32 Mi units or more.
        const std::u16string text = DecodeMetaDataText(block.data(), kBlock).Str();
        ASSERT_EQ(text.size(), c.text.size()) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(Show(block).text, c.text) << c.name;
    }
    Bytes block = Of("<m/>");
    block.resize(kBlock, 0);
    block.back() = 'z';
    const std::string target = dir.File("large.xml");
    EXPECT_EQ(Save(block, &target), IDOK);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(testfonts::ReadFile(target) == block) << "every byte written as it came";
}

TEST(MetaDataViewer, EngineUseNeedsNoDisplayAndSeesTheBlock)
{
    // As the decoder uses it: construct, assign, DoModal; a test reads what the viewer was given.
    const Bytes block = Of("<metadata/>");
    ScriptedDialogResponder dialogs;
    std::string seen;
    dialogs.Answer([&](CDialog& d) -> INT_PTR {
        auto& viewer = dynamic_cast<CMetaDataDlg&>(d);
        seen.assign(reinterpret_cast<const char*>(viewer.m_pMetaData), viewer.m_nMetaDataLength);
        return IDCANCEL;
    });
    CMetaDataDlg dlg(nullptr);
    dlg.m_pMetaData = block.data();
    dlg.m_nMetaDataLength = static_cast<UINT>(block.size());
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(seen, "<metadata/>");
    EXPECT_EQ(dialogs.Dialogs().at(0).templateId, 131u);
}
