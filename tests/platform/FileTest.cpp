#include "File.h"
#include "TestFonts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using testfonts::TempDir;

namespace {

CString P(const std::string& utf8) { return CString::FromUtf8(utf8); }

} // namespace

TEST(File, ReadsWritesSeeksAndReportsShortReads)
{
    TempDir dir;
    const auto path = dir.File("a.bin");
    {
        CFile f;
        ASSERT_TRUE(f.Open(P(path), CFile::modeCreate | CFile::modeWrite));
        f.Write("hello world", 11);
    }
    CFile f;
    ASSERT_TRUE(f.Open(P(path), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_EQ(f.GetLength(), 11u);
    char buf[16] = {};
    f.Seek(6, CFile::begin);
    EXPECT_EQ(f.Read(buf, 16), 5u);
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(f.Read(buf, 16), 0u);
    EXPECT_EQ(f.GetPosition(), 11u);
}

TEST(File, FailedOpenFillsCauseAndExactName)
{
    TempDir dir;
    struct Case { std::string path; int cause; };
    const Case cases[] = {
        {dir.File("missing.ttf"), CFileException::fileNotFound},
        {dir.File("nofolder/x.woff"), CFileException::badPath},
        {dir.Path(), CFileException::accessDenied},
        {"", CFileException::fileNotFound},
    };
    for (const auto& c : cases) {
        CFileException error;
        CFile f;
        EXPECT_FALSE(f.Open(P(c.path), CFile::modeRead, &error)) << c.path;
        EXPECT_EQ(error.m_cause, c.cause) << c.path;
        EXPECT_EQ(error.m_strFileName, P(c.path));
    }
    CFileException error;
    CFile f;
    EXPECT_FALSE(f.Open(P(dir.File("nofolder/x.woff")), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::badPath);
}

TEST(File, CreatingReplacesOnlyWhenComplete)
{
    TempDir dir;
    const auto path = dir.File("out.woff");
    testfonts::WriteFile(path, {1, 2, 3});
    try {
        CFile f(P(path), CFile::modeCreate | CFile::modeWrite);
        f.Write("partial", 7);
        AfxThrowFileException(CFileException::diskFull, 28, P(path));
    } catch (CFileException* e) {
        e->Delete();
    }
    EXPECT_EQ(testfonts::ReadFile(path), (testfonts::Bytes{1, 2, 3}));
    {
        CFile f(P(path), CFile::modeCreate | CFile::modeWrite);
        f.Write("new", 3);
        EXPECT_EQ(testfonts::ReadFile(path), (testfonts::Bytes{1, 2, 3})) << "visible before Close";
        f.Close();
    }
    EXPECT_EQ(testfonts::ReadFile(path), (testfonts::Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(testfonts::Run("ls -A " + testfonts::Quote(dir.Path())).output, "out.woff\n") << "no temporary file left";
}

TEST(File, ReadOnlyTargetIsRefused)
{
    if (geteuid() == 0) GTEST_SKIP() << "root may write anything";
    TempDir dir;
    const auto path = dir.File("ro.ttf");
    testfonts::WriteFile(path, {1});
    chmod(path.c_str(), 0444);
    CFileException error;
    CFile f;
    EXPECT_FALSE(f.Open(P(path), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
}

TEST(File, GetStatusGivesSize)
{
    TempDir dir;
    testfonts::WriteFile(dir.File("s"), testfonts::Bytes(1234, 7));
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(P(dir.File("s")), status));
    EXPECT_EQ(status.m_size, 1234u);
    EXPECT_FALSE(CFile::GetStatus(P(dir.File("none")), status));
}

TEST(MemFile, WritesReadsOverwritesAndDetaches)
{
    CMemFile f(1024);
    f.Write("abcdef", 6);
    f.Seek(2, CFile::begin);
    f.Write("XY", 2);
    EXPECT_EQ(f.GetLength(), 6u);
    EXPECT_EQ(f.GetPosition(), 4u);
    f.Seek(0, CFile::begin);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 6u);
    EXPECT_STREQ(buf, "abXYef");
    f.Seek(10, CFile::begin);
    f.Write("z", 1);
    EXPECT_EQ(f.GetLength(), 11u);
    BYTE* data = f.Detach();
    EXPECT_EQ(data[8], 0) << "a gap is zero-filled";
    EXPECT_EQ(data[10], 'z');
    free(data);
    EXPECT_EQ(f.GetLength(), 0u);
}

TEST(MemFile, GrowsGeometricallyWhateverTheStep)
{
    // 20 MB written in small pieces with a 1 KiB step: a copy per step would take minutes.
    CMemFile f(1024);
    std::vector<BYTE> chunk(100, 0x5A);
    for (int i = 0; i < 200000; ++i) f.Write(chunk.data(), static_cast<UINT>(chunk.size()));
    EXPECT_EQ(f.GetLength(), 20000000u);
    EXPECT_EQ(f.Data()[19999999], 0x5A);
}
