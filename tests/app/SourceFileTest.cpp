// The source file of a run. It is put aside and something else is put at its path while the
// run waits for the user (a question, the font picker): every output, the EOT included, is still
// made of the file the run opened and checked, and a pipe put there is never opened. And an
// output replaced without a question never names it.
#include "ConversionFixture.h"

#include <atomic>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testfonts::Bytes;

namespace {

constexpr const char* kDone = "正常に変換しました。";

// Stands ready to write to a FIFO: its open returns only once something opens the FIFO for
// reading, and it then closes at once, so that such a reader sees an empty file instead of
// waiting for good. Whether the run was that reader is known when the watch is released.
class FifoWatch {
public:
    explicit FifoWatch(std::string path) : m_path(std::move(path))
    {
        m_thread = std::thread([this] {
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
            m_openedByOther = !m_released;
            if (fd >= 0) ::close(fd);
        });
    }
    ~FifoWatch() { OpenedByOther(); }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    // Releases the writer (a reader that does not wait) and says whether anyone else had.
    bool OpenedByOther()
    {
        if (!m_thread.joinable()) return m_openedByOther;
        m_released = true;
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_thread.join();
        if (fd >= 0) ::close(fd);
        return m_openedByOther;
    }

private:
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_released{false};
    bool m_openedByOther = false;
};

std::string Question(const std::string& path) { return path + " は既に存在します。\n上書きしますか?"; }
std::string MemberQuestion(const std::string& path)
{
    return path + " が既に存在します。\n上書きされますがよろしいでしょうか?";
}

} // namespace

class SourceSwap : public ConversionTest {
protected:
    void SetUp() override
    {
        ConversionTest::SetUp();
        m_answering = SetMessageBoxPresenter([this](const CString& text, UINT style, UINT helpId) {
            if (auto swap = std::exchange(m_swap, {})) swap();
            return m_answering(text, style, helpId);
        });
    }
    void TearDown() override
    {
        SetMessageBoxPresenter(std::move(m_answering));
        ConversionTest::TearDown();
    }

    // Runs swap while the next message box is up, before the scripted responder answers it.
    void SwapDuringNextBox(std::function<void()> swap) { m_swap = std::move(swap); }
    // Runs swap while the font picker is up, then picks entry index.
    void SwapDuringPicker(std::function<void()> swap, int index)
    {
        AnswerDuringRun([swap = std::move(swap), index](CDialog& d) {
            swap();
            d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, static_cast<WPARAM>(index));
            return PressButton(d, IDOK);
        });
    }

    // The source is moved aside or removed, and another font or a FIFO takes its path.
    static void PutFont(const std::string& path, const char* font)
    {
        ASSERT_EQ(::unlink(path.c_str()), 0);
        testfonts::WriteFile(path, testfonts::ReadFile(font));
    }
    static void PutFifo(const std::string& path)
    {
        ASSERT_EQ(::rename(path.c_str(), (path + ".aside").c_str()), 0);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }

    Bytes Eot(const std::string& name = "Sample") const { return testfonts::ReadFile(File(name + ".eot")); }
    // The WOFF header's record of the size of the font it was made from.
    std::uint32_t WoffFontSize() const { return testfonts::Be32(testfonts::ReadFile(File("Sample.woff")), 16); }

    std::function<void()> m_swap;
    MessageBoxPresenter m_answering;
};

TEST_F(SourceSwap, AnotherFontPutInTheSourcesPlaceChangesNoOutput)
{
    const Bytes original = testfonts::ReadFile(testfonts::kSmallTrueType);
    const Bytes originalEot = embedtest::Embed(testfonts::kSmallTrueType).eot;
    const std::string source = Place(testfonts::kSmallTrueType, "Sample.ttf");
    testfonts::WriteFile(File("Sample.woff"), Bytes{'o', 'l', 'd'});
    SwapDuringNextBox([&] { PutFont(source, testfonts::kLiberation); });
    Convert(source, "", {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Sample.woff")), kDone}));
    EXPECT_EQ(WoffFontSize(), original.size());
    EXPECT_EQ(Eot(), originalEot);

    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) return;
    const std::string collection = Place(testfonts::kTrueTypeCollection, "Family.ttc");
    const Bytes memberEot = embedtest::Embed(testfonts::kTrueTypeCollection, 1).eot;
    m_boxes.Clear();
    SwapDuringPicker([&] { PutFont(collection, testfonts::kSmallTrueType); }, 1);
    Convert(collection, "", {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(Eot("Family"), memberEot) << "the picked member of the collection that was opened";

    // The member question comes after the picker, just before the EOT is made.
    PutFont(collection, testfonts::kTrueTypeCollection);
    std::filesystem::remove(File("Family.woff"));
    std::filesystem::remove(File("Family.eot"));
    m_boxes.Clear();
    SwapDuringNextBox([&] { PutFont(collection, testfonts::kLiberation); });
    AnswerDuringRun([](CDialog& d) {
        d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 1);
        return PressButton(d, IDOK);
    });
    Convert(collection, "", {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{MemberQuestion(File("Family.ttf")), kDone}));
    EXPECT_EQ(Eot("Family"), memberEot);
}

TEST_F(SourceSwap, AFifoPutInTheSourcesPlaceIsNeverOpened)
{
    const std::string source = Place(testfonts::kSmallTrueType, "Sample.ttf");
    testfonts::WriteFile(File("Sample.woff"), Bytes{'o', 'l', 'd'});
    std::unique_ptr<FifoWatch> watch;
    SwapDuringNextBox([&] {
        PutFifo(source);
        watch = std::make_unique<FifoWatch>(source);
    });
    Convert(source, "", {.eot = true});
    ASSERT_TRUE(watch);
    EXPECT_FALSE(watch->OpenedByOther()) << "the run opened the FIFO";
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{Question(File("Sample.woff")), kDone}));
    EXPECT_EQ(Eot(), embedtest::Embed(testfonts::kSmallTrueType).eot);

    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) return;
    const std::string collection = Place(testfonts::kTrueTypeCollection, "Family.ttc");
    m_boxes.Clear();
    watch.reset();
    SwapDuringPicker(
        [&] {
            PutFifo(collection);
            watch = std::make_unique<FifoWatch>(collection);
        },
        1);
    Convert(collection, "", {.eot = true});
    ASSERT_TRUE(watch);
    EXPECT_FALSE(watch->OpenedByOther()) << "the run opened the FIFO";
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{kDone});
    EXPECT_EQ(Eot("Family"), embedtest::Embed(testfonts::kTrueTypeCollection, 1).eot);
}

class SourceName : public ConversionTest {};

// Outputs replaced without a question may not name the source; an EOT that will not be made
// names nothing.
TEST_F(SourceName, ACffFontNamedAsItsEotIsConvertedWithoutTheEot)
{
    const std::string source = Place(testfonts::kCffOtf, "Sample.eot");
    const Bytes original = testfonts::ReadFile(source);
    Convert(source, "", {.eot = true});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{
                                   "ポストスクリプト形式のOpenTypeフォントのため、EOTファイルは作成されません。", kDone}));
    EXPECT_EQ(testfonts::ReadFile(source), original);
    EXPECT_TRUE(OtsAccepts(File("Sample.woff")));

    // The page it would be replaced by is still refused.
    m_boxes.Clear();
    Convert(Place(testfonts::kCffOtf, "Page.html"), "", {.eot = true, .page = true});
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{File("Page.html") +
                                                        " は変換前ファイルです。\n変換後ファイルの名前を変えてください。"});
}
