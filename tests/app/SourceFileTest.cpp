// The source file of a run. Put aside, with another font or a FIFO at its path, while the run
// waits for the user (a question, the font picker, the metadata viewer), it is still what the
// EOT, the WOFF2 and a decoded font are made of, and the FIFO is never opened. And an output
// replaced without a question, or a collection's member file, never names it.
#include "ConversionFixture.h"

#include <woff2/encode.h>

#include <atomic>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testfonts::Bytes;

namespace {

constexpr const char* kDone = "正常に変換しました。";

// A writer waiting on a FIFO: its open returns once anything opens the FIFO for reading, and it
// closes at once, so such a reader sees an empty file instead of waiting for good. Released by
// the test, it says whether someone else had opened the FIFO.
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

} // namespace

class SourceSwap : public ConversionTest {
protected:
    // Every box first runs the swap the test has set for it, then is answered as scripted.
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

    // The source is put aside; another font, or a FIFO under watch, takes its path.
    void Swap(const std::string& path, bool fifo, const char* other = testfonts::kLiberation)
    {
        ASSERT_EQ(::rename(path.c_str(), (path + ".aside").c_str()), 0);
        if (!fifo) return testfonts::WriteFile(path, testfonts::ReadFile(other));
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        m_watch = std::make_unique<FifoWatch>(path);
    }

    std::function<void()> m_swap;
    MessageBoxPresenter m_answering;
    std::unique_ptr<FifoWatch> m_watch;
};

TEST_F(SourceSwap, TheEotIsMadeOfTheFileTheRunOpened)
{
    enum Moment { kQuestion, kPicker, kMemberQuestion };
    int run = 0;
    for (const bool fifo : {false, true}) {
        for (const Moment moment : {kQuestion, kPicker, kMemberQuestion}) {
            const bool collection = moment != kQuestion;
            if (collection && !testfonts::Exists(testfonts::kTrueTypeCollection)) continue;
            SCOPED_TRACE(testing::Message() << "fifo " << fifo << ", moment " << moment);
            const std::string stem = File("Run" + std::to_string(++run));
            const char* font = collection ? testfonts::kTrueTypeCollection : testfonts::kSmallTrueType;
            const std::string source = Place(font, stem.substr(stem.rfind('/') + 1) + (collection ? ".ttc" : ".ttf"));
            const auto swap = [this, source, fifo] { Swap(source, fifo); };
            std::vector<std::string> boxes;
            if (moment == kQuestion) {
                testfonts::WriteFile(stem + ".woff", Bytes{'o', 'l', 'd'});
                boxes.push_back(stem + ".woff は既に存在します。\n上書きしますか?");
            } else if (moment == kMemberQuestion) {
                testfonts::WriteFile(stem + ".ttf", Bytes{'o', 'l', 'd'});
                boxes.push_back(stem + ".ttf が既に存在します。\n上書きされますがよろしいでしょうか?");
            }
            boxes.push_back(kDone);
            if (moment != kPicker) m_swap = swap;
            if (collection)
                AnswerDuringRun([swap, moment](CDialog& d) {
                    if (moment == kPicker) swap();
                    d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 1);
                    return PressButton(d, IDOK);
                });
            m_boxes.Clear();
            Convert(source, "", {.eot = true});
            EXPECT_EQ(m_watch != nullptr, fifo) << "the FIFO took the source's place";
            EXPECT_FALSE(m_watch && m_watch->OpenedByOther()) << "the run opened the FIFO";
            m_watch.reset();
            EXPECT_EQ(m_boxes.Texts(), boxes);
            ASSERT_TRUE(testfonts::Exists(stem + ".woff"));
            const Bytes eot = testfonts::Exists(stem + ".eot") ? testfonts::ReadFile(stem + ".eot") : Bytes{};
            EXPECT_EQ(eot, embedtest::Embed(font, collection ? 1 : 0).eot);
        }
    }
}

// The WOFF2 worker reads the font after the run has closed it; it too gets the font the run
// checked.
TEST_F(SourceSwap, TheWoff2IsMadeOfTheFileTheRunOpened)
{
    constexpr const char* kOther = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
    Convert(Place(testfonts::kLiberation, "Reference.ttf"), "", {.woff2 = true});
    const Bytes expected = testfonts::ReadFile(File("Reference.woff2"));
    ASSERT_FALSE(expected.empty());
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(testing::Message() << "fifo " << fifo);
        const std::string name = fifo ? "Fifo" : "Font";
        const std::string source = Place(testfonts::kLiberation, name + ".ttf");
        testfonts::WriteFile(File(name + ".woff"), Bytes{'o', 'l', 'd'});
        m_swap = [this, source, fifo] { Swap(source, fifo, kOther); };
        m_boxes.Clear();
        Convert(source, "", {.woff2 = true});
        EXPECT_FALSE(m_watch && m_watch->OpenedByOther()) << "the run opened the FIFO";
        m_watch.reset();
        EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{File(name + ".woff") + " は既に存在します。\n上書きしますか?", kDone}));
        EXPECT_EQ(testfonts::ReadFile(File(name + ".woff2")), expected);
    }
}

namespace {

// The font as the woff2 library encodes it, with metadata, so that the viewer is shown.
Bytes Woff2WithMetadata(const char* font, const std::string& metaData)
{
    const Bytes bytes = testfonts::ReadFile(font);
    size_t length = woff2::MaxWOFF2CompressedSize(bytes.data(), bytes.size(), metaData);
    Bytes out(length);
    woff2::WOFF2Params params;
    params.extended_metadata = metaData;
    EXPECT_TRUE(woff2::ConvertTTFToWOFF2(bytes.data(), bytes.size(), out.data(), &length, params));
    out.resize(length);
    return out;
}

} // namespace

// Decoding reads the WOFF2 once, after the viewer and the replace question; it too gets the
// file the run checked: neither another WOFF2 nor a huge file put at its path is read.
TEST_F(SourceSwap, TheWoff2IsDecodedFromTheFileTheRunOpened)
{
    const std::string meta = "<?xml version=\"1.0\"?>\n<metadata version=\"1.0\"/>\n";
    const std::string reference = File("Reference.woff2");
    testfonts::WriteFile(reference, Woff2WithMetadata(testfonts::kSmallTrueType, meta));
    ASSERT_EQ(testfonts::Run("woff2_decompress " + testfonts::Quote(reference)).exitCode, 0);
    const Bytes expected = testfonts::ReadFile(File("Reference.ttf"));
    const Bytes other = Woff2WithMetadata(testfonts::kLiberation, meta);
    int run = 0;
    for (const bool inViewer : {false, true}) {
        for (const bool huge : {false, true}) {
            SCOPED_TRACE(testing::Message() << "in the viewer " << inViewer << ", huge " << huge);
            const std::string stem = File("Run" + std::to_string(++run));
            const std::string source = stem + ".woff2";
            testfonts::WriteFile(source, testfonts::ReadFile(reference));
            const auto swap = [source, huge, &other] {
                ASSERT_EQ(::rename(source.c_str(), (source + ".aside").c_str()), 0);
                testfonts::WriteFile(source, huge ? Bytes{} : other);
                // Sparse: 2 GiB that cost nothing until someone reads them.
                if (huge) std::filesystem::resize_file(source, std::uintmax_t(2) << 30);
            };
            std::vector<std::string> boxes;
            if (inViewer) {
                AnswerDuringRun([swap](CDialog& d) {
                    swap();
                    return PressButton(d, IDOK);
                });
            } else {
                testfonts::WriteFile(stem + ".ttf", Bytes{'o', 'l', 'd'});
                boxes.push_back(stem + ".ttf は既に存在します。\n上書きしますか?");
                m_swap = swap;
            }
            boxes.push_back(kDone);
            m_boxes.Clear();
            Convert(source);
            EXPECT_EQ(m_boxes.Texts(), boxes);
            EXPECT_TRUE(testfonts::ReadFile(stem + ".ttf") == expected);
            std::filesystem::remove(source);
        }
    }
}

class SourceName : public ConversionTest {};

// An EOT that will not be made replaces nothing, so it cannot replace the source either.
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

// A collection named as a font file, converted with no destination, would have its member file
// take its name: that is refused as the page and the EOT are, before the member question and
// before anything is written. The same file under another name is the source as well.
TEST_F(SourceName, ACollectionIsNotReplacedByItsOwnMember)
{
    MakeCollection(testfonts::kLiberation, testfonts::kSmallTrueType, File("Pair.ttf"));
    MakeCollection(testfonts::kCffOtf, testfonts::kCffOtf, File("Cff.otf"));
    ASSERT_EQ(::link(File("Pair.ttf").c_str(), File("Linked.ttf").c_str()), 0);
    struct Case {
        std::string source, dst, member;
    };
    for (const Case& c : {Case{"Pair.ttf", "", "Pair.ttf"}, Case{"Cff.otf", "", "Cff.otf"},
                          Case{"Pair.ttf", "Linked", "Linked.ttf"}}) {
        SCOPED_TRACE(c.source + " to " + c.dst);
        const Bytes original = testfonts::ReadFile(File(c.source));
        AnswerDuringRun([](CDialog& d) {
            d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 0);
            return PressButton(d, IDOK);
        });
        m_boxes.Clear();
        Convert(File(c.source), c.dst, {.woff2 = true, .eot = true, .page = true});
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{File(c.member) +
                                                            " は変換前ファイルです。\n変換後ファイルの名前を変えてください。"});
        EXPECT_EQ(testfonts::ReadFile(File(c.source)), original);
        const std::string stem = File(c.member).substr(0, File(c.member).rfind('.'));
        for (const char* ext : {".woff", ".eot", ".html", ".woff2"}) EXPECT_FALSE(testfonts::Exists(stem + ext)) << ext;
    }
}
