// The WOFF2 step in the main window, with the real worker thread: what the window shows while
// it runs and while its result is shown, the files it makes (checked with the reference
// decoder, the browsers' sanitizer and fontTools), and every way it can fail.
#include "AddressSpace.h"
#include "Shell.h"
#include "WindowFixture.h"
#include "Limits.h"
#include "Woff2Step.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testfonts::Bytes;
using testfonts::Quote;

const std::string kConverting = "WOFF2に変換中です。";
const std::string kDone = "正常に変換しました。";
const std::string kFailed = "WOFF2の作成に失敗しました。";

const std::string kMeta = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\">\n"
                          "<description><text lang=\"ja\">明朝体の説明</text></description>\n</metadata>\n";

// What the window showed at the start of the step, from inside the result box, and after it.
struct WindowState {
    std::string status;
    bool okEnabled = false;
    bool cancelEnabled = false;
};
struct StepRun {
    WindowState atStart, inBox, after;
    std::vector<ScriptedResponder::Box> boxes;
};

WindowState StateOf(CFenwrapDlg& d)
{
    CString status;
    d.GetDlgItemText(IDC_STATIC_STATUS, status);
    return {status.ToUtf8(), d.GetDlgItem(IDOK)->IsWindowEnabled() != FALSE,
            d.GetDlgItem(IDCANCEL)->IsWindowEnabled() != FALSE};
}

class Woff2Step : public WindowTest {
protected:
    // Runs the step in the open window: starts it, then delivers the window's posted messages
    // until the result box has been shown. whileRunning runs right after the start.
    StepRun Step(CFenwrapDlg& d, const std::string& font, const std::string& woff2, const std::string& meta,
                 const std::function<void(CFenwrapDlg&)>& whileRunning = {})
    {
        StepRun run;
        const size_t before = m_boxes.Boxes().size();
        MessageBoxPresenter answer;
        answer = SetMessageBoxPresenter([&](const CString& text, UINT style, UINT helpId) {
            run.inBox = StateOf(d);
            return answer(text, style, helpId);
        });
        d.StartWOFF2Conversion(CString::FromUtf8(font), CString::FromUtf8(woff2),
                               meta.empty() ? nullptr : static_cast<LPCWSTR>(CString::FromUtf8(meta)));
        run.atStart = StateOf(d);
        if (whileRunning) whileRunning(d);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        while (m_boxes.Boxes().size() == before && !d.IsEnded() && std::chrono::steady_clock::now() < deadline)
            d.PumpPostedMessages(100);
        SetMessageBoxPresenter(std::move(answer));
        run.after = StateOf(d);
        run.boxes.assign(m_boxes.Boxes().begin() + static_cast<long>(before), m_boxes.Boxes().end());
        return run;
    }

    StepRun StepInWindow(const std::string& font, const std::string& woff2, const std::string& meta = {})
    {
        StepRun run;
        RunMainWindow([&](CFenwrapDlg& d) { run = Step(d, font, woff2, meta); });
        return run;
    }

    // The one box of a finished step, with the window idle again after it.
    static void ExpectOutcome(const StepRun& run, const std::string& text, const std::string& status)
    {
        EXPECT_EQ(run.atStart.status, status);
        EXPECT_FALSE(run.atStart.okEnabled);
        EXPECT_FALSE(run.atStart.cancelEnabled);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, text);
        EXPECT_EQ(run.boxes[0].style, MB_OK);
        EXPECT_EQ(run.inBox.status, "");
        EXPECT_FALSE(run.inBox.okEnabled);
        EXPECT_FALSE(run.inBox.cancelEnabled);
        EXPECT_EQ(run.after.status, "");
        EXPECT_TRUE(run.after.okEnabled);
        EXPECT_TRUE(run.after.cancelEnabled);
    }

    static std::vector<std::string> FolderContents(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    testfonts::TempDir m_dir;
};

TEST_F(Woff2Step, RealFontsBecomeWoff2FilesThatTheToolsAcceptWithTheirMetadata)
{
    const std::string meta = m_dir.File("メタ.xml");
    testfonts::WriteFile(meta, Bytes(kMeta.begin(), kMeta.end()));
    // TrueType and CFF outlines. The notes of large fonts follow the file's size alone (see the
    // test of the notes), and a real large font is encoded in the main window's screen test.
    for (const char* font : {testfonts::kLiberation, testfonts::kCffOtf}) {
        SCOPED_TRACE(font);
        ASSERT_TRUE(testfonts::Exists(font));
        const std::string woff2 = m_dir.File("出力.woff2");
        ExpectOutcome(StepInWindow(font, woff2, meta), kDone, kConverting);

        const Bytes bytes = testfonts::ReadFile(woff2);
        ASSERT_GT(bytes.size(), 48u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "wOF2");
        const auto decompress = testfonts::Run("woff2_decompress " + Quote(woff2));
        EXPECT_EQ(decompress.exitCode, 0) << decompress.output;
        EXPECT_GT(std::filesystem::file_size(m_dir.File("出力.ttf")), 0u);
        const auto ots = testfonts::Run("ots-sanitize " + Quote(woff2) + " " + Quote(m_dir.File("s.ttf")));
        EXPECT_EQ(ots.exitCode, 0) << ots.output;
        const auto readBack = testfonts::Run(
            "/usr/bin/python3 -c 'import sys; from fontTools.ttLib import TTFont; "
            "f = TTFont(sys.argv[1]); sys.stdout.buffer.write(f.flavorData.metaData)' " + Quote(woff2));
        EXPECT_EQ(readBack.exitCode, 0);
        EXPECT_EQ(readBack.output, kMeta);
    }
    // With no metadata path, no metadata block: the very file the reference encoder makes.
    const std::string font = m_dir.File("plain.ttf");
    std::filesystem::copy_file(testfonts::kLiberation, font);
    ExpectOutcome(StepInWindow(font, m_dir.File("ours.woff2")), kDone, kConverting);
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(font)).exitCode, 0);
    EXPECT_EQ(testfonts::ReadFile(m_dir.File("ours.woff2")), testfonts::ReadFile(m_dir.File("plain.woff2")));
}

TEST_F(Woff2Step, StatusNoteFollowsTheFontSizeAtEachBound)
{
    struct Case {
        std::uintmax_t size;
        const char* note;
    };
    // Files of zeros: the note is all that counts here, and the library refuses them.
    for (const Case& c : {Case{1048575, ""}, Case{1048576, "しばらくお待ちください。"},
                          Case{2097151, "しばらくお待ちください。"}, Case{2097152, "数分かかると思われます。"},
                          Case{41943039, "数分かかると思われます。"}, Case{41943040, "10分以上かかると思われます。"}}) {
        SCOPED_TRACE(c.size);
        const std::string font = m_dir.File("zeros.ttf");
        std::filesystem::remove(font);
        testfonts::WriteFile(font, {});
        std::filesystem::resize_file(font, c.size);
        ExpectOutcome(StepInWindow(font, m_dir.File("zeros.woff2")), kFailed, kConverting + c.note);
        EXPECT_FALSE(testfonts::Exists(m_dir.File("zeros.woff2")));
    }
    // Far beyond 4 GiB, in a sparse file: still the longest note, and the worker refuses a
    // font that size without trying to hold it.
    const std::string huge = m_dir.File("huge.ttf");
    testfonts::WriteFile(huge, {});
    std::error_code error;
    std::filesystem::resize_file(huge, std::uintmax_t(1) << 43, error);
    if (error) GTEST_SKIP() << "this file system holds no sparse file of 8 TiB";
    ExpectOutcome(StepInWindow(huge, m_dir.File("huge.woff2")), kFailed, kConverting + "10分以上かかると思われます。");
}

TEST_F(Woff2Step, MetadataIsCarriedWholeInAWoff2NoLongerThanItsFontAndAFailureKeepsTheOldWoff2)
{
    // The font's WOFF2 without metadata (the reference encoder's is the same file) and the size
    // of the font it holds. Random bytes as metadata, which brotli cannot shrink, put the WOFF2
    // where the test wants it.
    const std::string font = m_dir.File("font.ttf");
    std::filesystem::copy_file(testfonts::kLiberation, font);
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(font)).exitCode, 0);
    const std::string woff2 = m_dir.File("font.woff2");
    const size_t bare = std::filesystem::file_size(woff2);
    const size_t total = testfonts::Be32(testfonts::ReadFile(woff2), 16);
    ASSERT_LT(bare + 1024, total);
    std::filesystem::remove(woff2);
    std::mt19937 random(7);
    const auto noise = [&](size_t size) {
        Bytes bytes(size);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        return bytes;
    };
    const std::string meta = m_dir.File("license.xml");
    const auto readBack = [&] {
        return testfonts::Run("/usr/bin/python3 -c 'import sys; from fontTools.ttLib import TTFont; "
                              "f = TTFont(sys.argv[1]); sys.stdout.buffer.write(f.flavorData.metaData)' " + Quote(woff2));
    };

    // Metadata that leaves the WOFF2 a little shorter than its font is carried whole, and the
    // file is one the browsers' sanitizer takes.
    const Bytes fits = noise(total - bare - 512);
    testfonts::WriteFile(meta, fits);
    ExpectOutcome(StepInWindow(font, woff2, meta), kDone, kConverting);
    EXPECT_LE(std::filesystem::file_size(woff2), total);
    EXPECT_EQ(testfonts::Run("woff2_decompress " + Quote(woff2)).exitCode, 0);
    const auto ots = testfonts::Run("ots-sanitize " + Quote(woff2) + " " + Quote(m_dir.File("s.ttf")));
    EXPECT_EQ(ots.exitCode, 0) << ots.output;
    std::filesystem::remove(m_dir.File("s.ttf"));
    const auto fitsBack = readBack();
    EXPECT_EQ(fitsBack.exitCode, 0);
    EXPECT_TRUE(fitsBack.output == std::string(fits.begin(), fits.end())) << "metadata of " << fitsBack.output.size() << " bytes read back";

    // A WOFF2 longer than the font it holds is refused by the browsers' sanitizers: within the
    // library's margin or beyond it (metadata three times the font), no WOFF2 is made and the
    // one already there stays.
    const Bytes old = testfonts::ReadFile(woff2);
    for (const size_t size : {total - bare + 256, 3 * total}) {
        SCOPED_TRACE(size);
        testfonts::WriteFile(meta, noise(size));
        ExpectOutcome(StepInWindow(font, woff2, meta), kFailed, kConverting);
        EXPECT_EQ(testfonts::ReadFile(woff2), old);
    }
    std::filesystem::remove(font);

    // A font the library refuses: the file already at the target keeps its content, and
    // nothing else is left behind.
    const std::string zeros = m_dir.File("zeros.ttf");
    testfonts::WriteFile(zeros, Bytes(4096));
    ExpectOutcome(StepInWindow(zeros, woff2, meta), kFailed, kConverting);
    EXPECT_EQ(testfonts::ReadFile(woff2), old);
    EXPECT_EQ(FolderContents(m_dir.Path()), (std::vector<std::string>{"font.woff2", "license.xml", "zeros.ttf"}));

    // A metadata file past the cap that every reader applies is refused unread, as the WOFF
    // writer refuses it: no decoder would take the block.
    const std::string huge = m_dir.File("huge.xml");
    std::filesystem::resize_file(meta, 0);
    std::filesystem::rename(meta, huge);
    std::filesystem::resize_file(huge, kMaxMetaDataSize + 1);
    ExpectOutcome(StepInWindow(testfonts::kLiberation, woff2, huge), kFailed, kConverting);
    EXPECT_EQ(testfonts::ReadFile(woff2), old);
    std::filesystem::remove(huge);

    // An unreadable metadata file is no metadata at all, as before.
    ExpectOutcome(StepInWindow(testfonts::kLiberation, woff2, m_dir.File("missing.xml")), kDone, kConverting);
    EXPECT_EQ(testfonts::Be32(testfonts::ReadFile(woff2), 28), 0u) << "metaOffset";
}

TEST_F(Woff2Step, AWoff2ThatCannotBeCreatedOrWrittenIsAFailure)
{
    const std::string file = m_dir.File("file");
    testfonts::WriteFile(file, {'x'});
    for (const std::string& target : {m_dir.File("missing/font.woff2"), file + "/font.woff2"}) {
        SCOPED_TRACE(target);
        ExpectOutcome(StepInWindow(testfonts::kLiberation, target), kFailed, kConverting);
    }

    // A folder the user may not write to; the superuser may, so there it proves nothing.
    const std::string locked = m_dir.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(locked.c_str(), W_OK) != 0)
        ExpectOutcome(StepInWindow(testfonts::kLiberation, locked + "/font.woff2"), kFailed, kConverting);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);

    // A write that stops part-way (here at the file-size limit, as on a full disk) keeps the
    // earlier file whole.
    const std::string woff2 = m_dir.File("font.woff2");
    const Bytes old = {'o', 'l', 'd'};
    testfonts::WriteFile(woff2, old);
    StepRun run;
    {
        const testfonts::FileSizeLimit limit(16 * 1024);
        run = StepInWindow(testfonts::kSmallTrueType, woff2);
    }
    ExpectOutcome(run, kFailed, kConverting);
    EXPECT_EQ(testfonts::ReadFile(woff2), old);
    EXPECT_EQ(FolderContents(m_dir.Path()), (std::vector<std::string>{"file", "font.woff2", "locked"}));
}

TEST_F(Woff2Step, TheWindowDoesNotCloseBeforeTheWorkersNoticeWasHandled)
{
    // Whether or not the worker has finished, the step lasts until its notice is handled, and
    // nothing here lets the window handle it before the attempts to close.
    const std::string font = m_dir.File("font.ttf");
    testfonts::WriteFile(font, testfonts::ReadFile(testfonts::kSmallTrueType));
    const std::string woff2 = m_dir.File("font.woff2");
    StepRun run;
    bool endedWhileRunning = true;
    const INT_PTR result = RunMainWindow([&](CFenwrapDlg& d) {
        run = Step(d, font, woff2, {}, [&](CFenwrapDlg& dlg) {
            dlg.PressEscape();
            dlg.PressCloseBox();
            dlg.ClickButton(IDCANCEL);
            dlg.SendMessage(WM_CLOSE);
            dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
            // "終了" as a command, past its disabled button.
            dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
            endedWhileRunning = dlg.IsEnded();
        });
        EXPECT_FALSE(d.IsEnded());
        d.PressCloseBox();
    });
    EXPECT_FALSE(endedWhileRunning);
    ExpectOutcome(run, kDone, kConverting);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(testfonts::Run("woff2_decompress " + Quote(woff2)).exitCode, 0);
}

// A worker that cannot start, or cannot hold its font, still ends the step with the failure
// notice and gives the buttons back. Each runs in a process of its own with little address
// space left, so that no thread stack or buffer of another test stands in the way.
class Woff2StepWithoutMemory : public Woff2Step {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the address sanitizer needs the address space this test takes away";
#endif
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        Woff2Step::SetUp();
    }
};

TEST_F(Woff2StepWithoutMemory, AWorkerThatCannotStartIsReportedAndTheButtonsComeBack)
{
    EXPECT_EXIT(
        {
            StepRun run;
            RunMainWindow([&](CFenwrapDlg& d) {
                // Less than any thread's stack.
                LimitAddressSpace(2 << 20);
                d.StartWOFF2Conversion(CString::FromUtf8(testfonts::kLiberation), CString::FromUtf8(m_dir.File("f.woff2")), nullptr);
                LiftAddressSpaceLimit();
                run.after = StateOf(d);
                run.boxes = m_boxes.Boxes();
            });
            const bool failed = run.boxes.size() == 1 && run.boxes[0].text == kFailed && run.after.okEnabled &&
                                run.after.cancelEnabled && run.after.status.empty();
            std::fprintf(stderr, "boxes %zu; ok %d, cancel %d\n", run.boxes.size(), run.after.okEnabled, run.after.cancelEnabled);
            std::_Exit(failed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Woff2StepWithoutMemory, AWorkerThatCannotHoldTheFontStillSendsItsNotice)
{
    const std::string font = m_dir.File("large.ttf");
    testfonts::WriteFile(font, {});
    std::filesystem::resize_file(font, 256u << 20);
    EXPECT_EXIT(
        {
            StepRun run;
            RunMainWindow([&](CFenwrapDlg& d) {
                // Room for the thread, not for the font.
                LimitAddressSpace(48u << 20);
                run = Step(d, font, m_dir.File("f.woff2"), {});
                LiftAddressSpaceLimit();
            });
            const bool failed = run.boxes.size() == 1 && run.boxes[0].text == kFailed && run.after.okEnabled &&
                                run.after.cancelEnabled && !run.inBox.okEnabled && !testfonts::Exists(m_dir.File("f.woff2"));
            std::fprintf(stderr, "boxes %zu; ok %d, cancel %d\n", run.boxes.size(), run.after.okEnabled, run.after.cancelEnabled);
            std::_Exit(failed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
