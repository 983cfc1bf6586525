// The sample page in a real browser engine: the web fonts it declares load, and the sample is
// drawn with them. The engine runs offscreen on local files only; CTest starts this program in
// a network namespace of its own, so nothing the engine does can leave the machine.
#include "WOFF.h"
#include "WindowFixture.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

using testfonts::Quote;

// A monospaced face: every glyph of the sample has the same advance, which no proportional
// fallback matches.
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr const char16_t* kSample = u"iiiiiiiiii";
constexpr int kSampleLength = 10;
constexpr double kDefaultFontPx = 16.0;
constexpr auto kLoadDeadline = std::chrono::seconds(10);

// A network namespace of our own holds only the loopback device.
bool OnlyLoopback()
{
    std::ifstream dev("/proc/net/dev");
    std::string line;
    for (int skip = 0; skip < 2 && std::getline(dev, line); ++skip) {}
    while (std::getline(dev, line)) {
        const auto colon = line.find(':');
        const auto first = line.find_first_not_of(' ');
        if (colon != std::string::npos && line.substr(first, colon - first) != "lo") return false;
    }
    return true;
}

// Once the faces the page uses are ready: what became of each declared face, and the width of
// the sample in the page's font and in the engine's fallback.
constexpr const char* kMeasure = R"(
window.fenwrapResult = null;
document.fonts.load('16px myFont').then(function (faces) {
  const span = document.querySelector('span.myFontClass');
  const fallback = document.createElement('span');
  fallback.style.fontFamily = 'fenwrapNoSuchFamily';
  fallback.textContent = span.textContent;
  document.body.appendChild(fallback);
  const declared = [];
  document.fonts.forEach(function (f) { declared.push(f.family + ' ' + f.status); });
  window.fenwrapResult = JSON.stringify({
    matched: faces.length, declared: declared, check: document.fonts.check('16px myFont'),
    width: span.getBoundingClientRect().width, fallback: fallback.getBoundingClientRect().width });
}, function (e) { window.fenwrapResult = JSON.stringify({ error: String(e) }); });
)";

// Loads file in a fresh page of a profile of its own (no cache shared with an earlier load),
// runs script and waits for it to leave its result in window.fenwrapResult; an empty object
// when the page does not load or time runs out.
QJsonObject RunInPage(const std::string& file, const char* script)
{
    std::optional<QJsonObject> result;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    // Declared last, so that callbacks still pending when the page goes find the rest alive.
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        page.runJavaScript(QStringLiteral("window.fenwrapResult"), [&](const QVariant& v) {
            if (!result && v.typeId() == QMetaType::QString) {
                result = QJsonDocument::fromJson(v.toString().toUtf8()).object();
                loop.quit();
            }
        });
    });
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool ok) {
        if (!ok) return loop.quit();
        page.runJavaScript(QString::fromUtf8(script));
        poll.start(50);
    });
    deadline.start(kLoadDeadline);
    page.load(QUrl::fromLocalFile(QString::fromStdString(file)));
    loop.exec();
    poll.stop();
    return result.value_or(QJsonObject());
}

class SamplePageInBrowser : public WindowTest {
protected:
    void SetUp() override
    {
        if (!OnlyLoopback()) GTEST_SKIP() << "runs only in a network namespace of its own (ctest starts it with unshare -n)";
        if (!testfonts::Exists(kMonoFont)) GTEST_SKIP() << kMonoFont << " is not installed";
        WindowTest::SetUp();
    }

    // The WOFF from our own encoder, as the conversion writes it.
    void MakeWoff(const std::string& name)
    {
        CFile font;
        ASSERT_TRUE(font.Open(CString::FromUtf8(kMonoFont), CFile::modeRead));
        CWOFF woff(&font, TRUE);
        ASSERT_TRUE(woff.CheckFileType());
        CMemFile out;
        ASSERT_TRUE(woff.EncodeWOFF(&out, nullptr, 0));
        testfonts::WriteFile(m_out.File(name), testfonts::Bytes(out.Data(), out.Data() + out.GetLength()));
    }
    // The WOFF2 from the reference encoder, which writes beside its input.
    void MakeWoff2(const std::string& name)
    {
        const std::string copy = m_out.File("woff2-input.ttf");
        testfonts::WriteFile(copy, testfonts::ReadFile(kMonoFont));
        const testfonts::ToolResult run = testfonts::Run("woff2_compress " + Quote(copy));
        ASSERT_EQ(run.exitCode, 0) << run.output;
        std::filesystem::rename(m_out.File("woff2-input.woff2"), m_out.File(name));
        std::filesystem::remove(copy);
    }
    void WritePage(const char16_t* woff2Name, const char16_t* woffName = u"Sample.woff", const char16_t* srcName = nullptr)
    {
        RunMainWindow([&](CFenwrapDlg& d) {
            d.SetDlgItemText(IDC_EDIT_SAMPLE_STRING, kSample);
            ASSERT_TRUE(d.WriteSampleHtml(CString::FromUtf8(Page()), woffName, woff2Name, nullptr, srcName, FALSE));
        });
    }
    // The one face the page declares loaded, and the sample drawn in it: its width is that of
    // ten advances of the monospaced face, far from the fallback's.
    void ExpectTheFaceDrawsTheSample()
    {
        const QJsonObject r = RunInPage(Page(), kMeasure);
        ASSERT_FALSE(r.isEmpty()) << "the page did not load or measure in time";
        ASSERT_FALSE(r.contains("error")) << r["error"].toString().toStdString();
        EXPECT_EQ(r["declared"].toArray(), QJsonArray{QStringLiteral("myFont loaded")});
        EXPECT_EQ(r["matched"].toInt(), 1);
        EXPECT_TRUE(r["check"].toBool());
        const double width = r["width"].toDouble(), fallback = r["fallback"].toDouble();
        EXPECT_NEAR(width, kSampleLength * kDefaultFontPx * m_advanceEm, kSampleLength * 0.5);
        EXPECT_GT(std::abs(width - fallback), 0.1 * width) << width << " against the fallback's " << fallback;
    }
    // A page naming our WOFF and the source font: the face loads from the WOFF, and with the
    // WOFF gone from the source font's entry, so that both names must be the files' addresses.
    void ExpectBothNamesLoad(const char* woffName, const char* srcName)
    {
        MakeWoff(woffName);
        testfonts::WriteFile(m_out.File(srcName), testfonts::ReadFile(kMonoFont));
        WritePage(nullptr, CString::FromUtf8(woffName), CString::FromUtf8(srcName));
        ExpectTheFaceDrawsTheSample();
        std::filesystem::remove(m_out.File(woffName));
        ExpectTheFaceDrawsTheSample();
    }
    std::string Page() const { return m_out.File("Sample.html"); }

    testfonts::TempDir m_out;
    // Advance of every glyph of DejaVu Sans Mono: 1233 of 2048 units to the em.
    double m_advanceEm = 1233.0 / 2048.0;
};

TEST_F(SamplePageInBrowser, TheWoffAloneLoadsAndDrawsTheSample)
{
    MakeWoff("Sample.woff");
    WritePage(nullptr);
    ExpectTheFaceDrawsTheSample();
}

TEST_F(SamplePageInBrowser, TheWoff2LoadsBeforeTheWoffAndDrawsTheSample)
{
    MakeWoff("Sample.woff");
    MakeWoff2("Sample.woff2");
    WritePage(u"Sample.woff2");
    ExpectTheFaceDrawsTheSample();
    // Without the WOFF beside it the face still loads: the engine took the WOFF2 entry.
    std::filesystem::remove(m_out.File("Sample.woff"));
    ExpectTheFaceDrawsTheSample();
}

TEST_F(SamplePageInBrowser, FontsNamedWithCharactersThatMeanSomethingInAnAddressLoad)
{
    ExpectBothNamesLoad("A#1 100%.woff", "A#1 100%.ttf");

    const char* tangled = "q:x?=1&y \\ \"z\"<b>#\t.woff";
    MakeWoff(tangled);
    WritePage(nullptr, CString::FromUtf8(tangled), nullptr);
    ExpectTheFaceDrawsTheSample();
}

TEST_F(SamplePageInBrowser, FontsNamedWithSpacesAtEitherEndLoad)
{
    ExpectBothNamesLoad(" lead.woff", "trail .ttf ");
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The engine is run as root under CTest, where its sandbox cannot start; it loads nothing
    // but the files this program wrote.
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --disable-background-networking", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
