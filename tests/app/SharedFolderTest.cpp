// Conversions into a shared sticky folder (as /tmp is) where another user has planted links
// under the names of the outputs, pointing at files of the converting user's that the planter
// cannot even read, or files of their own that they could change after we wrote them. Every
// output is refused with the open failure and its cause, and none of the planted or linked
// files changes. And into another user's folder, where that user swaps a file the run wrote.
// Runs as root, with the links and files planted by nobody.
#include "ConversionFixture.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testfonts::Bytes;
using testfonts::Quote;

namespace {

constexpr const char* kDone = "正常に変換しました。";

} // namespace

class SharedFolder : public ConversionTest {
protected:
    void SetUp() override
    {
        ConversionTest::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant links as another user";
        ::chmod(m_work.Path().c_str(), 0755);
        ASSERT_EQ(::mkdir(File("shared").c_str(), 0), 0);
        ASSERT_EQ(::chmod(File("shared").c_str(), 01777), 0);
        ASSERT_EQ(::mkdir(File("mine").c_str(), 0700), 0);
    }

    std::string Shared(const std::string& name) const { return File("shared/" + name); }

    // nobody links Shared(name) to a file of ours of the same name.
    void Plant(const std::string& name)
    {
        const std::string victim = File("mine/" + name);
        testfonts::WriteFile(victim, Bytes(name.begin(), name.end()));
        const auto run = testfonts::Run("runuser -u nobody -- ln -s " + Quote(victim) + " " + Quote(Shared(name)));
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    // Our files, each of which holds its own name until something writes it.
    void ExpectNoneOfMineChanged() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(File("mine"))) {
            const Bytes bytes = testfonts::ReadFile(entry.path().string());
            EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == entry.path().filename().string())
                << entry.path() << " was written through the planted link";
        }
    }

    // The last box of the run, which must not have been followed by the success message.
    std::string LastBox() const
    {
        const auto texts = m_boxes.Texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), kDone), 0);
        return texts.empty() ? std::string() : texts.back();
    }

    std::string OpenFailure(const std::string& name) const
    {
        return "ファイル" + Shared(name) + "のオープンに失敗しました。\n原因：ファイル アクセス禁止";
    }

    void Run(const std::string& src, const ConversionOptions& o = {})
    {
        m_boxes.Clear();
        Convert(src, "", o);
    }
};

TEST_F(SharedFolder, EveryOutputOfAnEncodingRefusesThePlantedLink)
{
    const std::string source = Shared("Sample.ttf");
    testfonts::WriteFile(source, testfonts::ReadFile(testfonts::kSmallTrueType));
    for (const char* name : {"Sample.woff", "Sample.eot", "Sample.html", "Sample.woff2"}) Plant(name);
    // Each run stops at the first refused output; its link is then removed for the next one.
    for (const char* name : {"Sample.woff", "Sample.eot", "Sample.html"}) {
        Run(source, {.woff2 = true, .eot = true, .page = true});
        EXPECT_EQ(LastBox(), OpenFailure(name));
        ExpectNoneOfMineChanged();
        std::filesystem::remove(Shared(name));
    }
    // The WOFF2 worker reports its own failure.
    Run(source, {.woff2 = true, .eot = true, .page = true});
    EXPECT_EQ(LastBox(), "WOFF2の作成に失敗しました。");
    ExpectNoneOfMineChanged();
    EXPECT_TRUE(std::filesystem::is_symlink(Shared("Sample.woff2")));
    EXPECT_TRUE(OtsAccepts(Shared("Sample.woff")));
}

TEST_F(SharedFolder, DecodedFontsMembersAndSavedMetadataRefuseThePlantedLink)
{
    // A WOFF with metadata, a WOFF2, and a collection, each beside a link named as its output.
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"/>\n";
    testfonts::WriteFile(Shared("meta.xml"), Bytes(xml.begin(), xml.end()));
    testfonts::WriteFile(Shared("Meta.ttf"), testfonts::ReadFile(testfonts::kSmallTrueType));
    testfonts::WriteFile(Shared("Packed.ttf"), testfonts::ReadFile(testfonts::kSmallTrueType));
    ASSERT_EQ(testfonts::Run("sfnt2woff -m " + Quote(Shared("meta.xml")) + " " + Quote(Shared("Meta.ttf"))).exitCode, 0);
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(Shared("Packed.ttf"))).exitCode, 0);
    std::filesystem::remove(Shared("Meta.ttf"));
    std::filesystem::remove(Shared("Packed.ttf"));
    for (const char* name : {"Meta.ttf", "Packed.ttf", "saved.xml"}) Plant(name);

    AnswerDuringRun(IDOK);
    Run(Shared("Meta.woff"));
    EXPECT_EQ(LastBox(), OpenFailure("Meta.ttf"));
    Run(Shared("Packed.woff2"));
    EXPECT_EQ(LastBox(), OpenFailure("Packed.ttf"));

    // Saved from the metadata viewer: refused, and the run goes on to a font of its own name.
    std::filesystem::remove(Shared("Meta.ttf"));
    AnswerDuringRun([&](CDialog& d) -> INT_PTR {
        m_dialogs.AnswerFile(Shared("saved.xml"));
        d.ClickButton(IDC_BUTTON_SAVE_METADATA);
        d.ClickButton(IDOK);
        return IDOK;
    });
    m_boxes.Clear();
    Convert(Shared("Meta.woff"));
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{OpenFailure("saved.xml"), kDone}));
    ExpectNoneOfMineChanged();

    if (!testfonts::Exists(testfonts::kTrueTypeCollection)) GTEST_SKIP() << "no collection installed";
    testfonts::WriteFile(Shared("Sample.ttc"), testfonts::ReadFile(testfonts::kTrueTypeCollection));
    Plant("Sample.ttf");
    AnswerDuringRun([](CDialog& d) {
        d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 0);
        return PressButton(d, IDOK);
    });
    Run(Shared("Sample.ttc"), {.page = true});
    EXPECT_EQ(LastBox(), OpenFailure("Sample.ttf"));
    EXPECT_FALSE(testfonts::Exists(Shared("Sample.html")));
    ExpectNoneOfMineChanged();
}

TEST_F(SharedFolder, FilesAnotherUserMadeUnderTheOutputNamesAreRefused)
{
    testfonts::WriteFile(Shared("S.ttf"), testfonts::ReadFile(testfonts::kSmallTrueType));
    // A set-user-ID WOFF that would pass the bit on to ours, a page they could append to.
    for (const char* name : {"S.woff", "S.html"}) {
        const std::string path = Quote(Shared(name));
        const auto run =
            testfonts::Run("runuser -u nobody -- sh -c \"echo x > " + path + " && chmod 4777 " + path + "\"");
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }
    Run(Shared("S.ttf"), {.page = true});
    EXPECT_EQ(LastBox(), OpenFailure("S.woff"));
    EXPECT_EQ(testfonts::ReadFile(Shared("S.woff")), (Bytes{'x', '\n'}));
    // With their WOFF gone, ours is made and the run stops at their page.
    std::filesystem::remove(Shared("S.woff"));
    Run(Shared("S.ttf"), {.page = true});
    EXPECT_EQ(LastBox(), OpenFailure("S.html"));
    EXPECT_EQ(testfonts::ReadFile(Shared("S.html")), (Bytes{'x', '\n'}));
    EXPECT_TRUE(OtsAccepts(Shared("S.woff")));
}

namespace {

// Holds every open of one file until the test has acted on it: on the opens of the file after
// the first, act runs while the opener waits. Skips the test where the system offers no such
// watch.
class OpenGate {
public:
    OpenGate(const std::string& path, std::function<void()> act) : m_act(std::move(act))
    {
        m_fd = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
        if (m_fd < 0 || ::fanotify_mark(m_fd, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, path.c_str()) != 0) return;
        m_thread = std::thread([this] { Serve(); });
    }
    ~OpenGate()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        // Whatever still waits is let through as the watch goes.
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Watching() const { return m_thread.joinable(); }
    int Opens() const { return m_opens; }

private:
    void Serve()
    {
        alignas(fanotify_event_metadata) char buffer[4096];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
            for (ssize_t left = n; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
                if (++m_opens > 1 && m_act) m_act();
                if (event->fd >= 0) ::close(event->fd);
                const fanotify_response allow{event->fd, FAN_ALLOW};
                if (::write(m_fd, &allow, sizeof allow) != sizeof allow) ADD_FAILURE() << "an open was not let through";
            }
        }
    }

    int m_fd = -1;
    std::function<void()> m_act;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_opens{0};
};

} // namespace

// In another user's folder, a collection member file keeps that user's hands on it after the
// run wrote it. The WOFF2 worker reads the metadata file and then the font; when it opens the
// metadata, nobody puts another font at the member's name. The WOFF2 still holds the member the
// run wrote, as the WOFF does.
TEST_F(SharedFolder, TheMembersWoff2IsMadeOfTheMemberTheRunWrote)
{
    ASSERT_EQ(::mkdir(File("theirs").c_str(), 0755), 0);
    ASSERT_EQ(testfonts::Run("chown nobody " + Quote(File("theirs"))).exitCode, 0);
    const std::string source = File("theirs/C.ttc");
    MakeCollection(testfonts::kLiberation, testfonts::kSmallTrueType, source);
    const std::string member = File("theirs/C.ttf");
    constexpr const char* kOther = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
    ASSERT_EQ(testfonts::Run("runuser -u nobody -- cp " + Quote(kOther) + " " + Quote(member)).exitCode, 0);
    const std::string meta = File("meta.xml");
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata version=\"1.0\"/>\n";
    testfonts::WriteFile(meta, Bytes(xml.begin(), xml.end()));

    Bytes written;
    OpenGate gate(meta, [&] {
        written = testfonts::ReadFile(member);
        const auto swap = testfonts::Run("runuser -u nobody -- sh -c 'cp \"$0\" \"$1.new\" && mv -f \"$1.new\" \"$1\"' " +
                                         Quote(kOther) + " " + Quote(member));
        EXPECT_EQ(swap.exitCode, 0) << swap.output;
    });
    if (!gate.Watching()) GTEST_SKIP() << "no fanotify permission events here";
    AnswerDuringRun([](CDialog& d) {
        d.SendDlgItemMessage(IDC_LIST_FONTS, LB_SETCURSEL, 0);
        return PressButton(d, IDOK);
    });
    m_boxes.Clear();
    Convert(source, "", {.woff2 = true, .meta = true, .metaPath = meta});
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{member + " が既に存在します。\n上書きされますがよろしいでしょうか?", kDone}));
    ASSERT_EQ(gate.Opens(), 2) << "the WOFF writer and the worker each read the metadata once";
    ASSERT_FALSE(written.empty());
    EXPECT_NE(testfonts::ReadFile(member), written) << "nobody's swap did not happen";

    // The WOFF2's font against the reference encoder's WOFF2 of the member as written, both
    // decoded by the reference decoder.
    ASSERT_EQ(::mkdir(File("check").c_str(), 0700), 0);
    testfonts::WriteFile(File("check/written.ttf"), written);
    std::filesystem::copy_file(File("theirs/C.woff2"), File("check/made.woff2"));
    ASSERT_EQ(testfonts::Run("woff2_compress " + Quote(File("check/written.ttf"))).exitCode, 0);
    for (const char* name : {"check/written.woff2", "check/made.woff2"})
        ASSERT_EQ(testfonts::Run("woff2_decompress " + Quote(File(name))).exitCode, 0) << name;
    EXPECT_TRUE(testfonts::ReadFile(File("check/made.ttf")) == testfonts::ReadFile(File("check/written.ttf")))
        << "the WOFF2 holds another font than the member the run wrote";
}
