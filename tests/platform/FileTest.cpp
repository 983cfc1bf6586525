#include "File.h"
#include "TestFonts.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <csignal>
#include <functional>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testfonts::TempDir;

namespace {

CString P(const std::string& utf8) { return CString::FromUtf8(utf8); }

constexpr uid_t kNobody = 65534;

// Every reallocation made by the code linked into this program passes here (the link wraps
// realloc), so that tests can count them.
std::atomic<long> g_reallocs{0};

} // namespace

extern "C" void* __real_realloc(void* block, size_t size);
extern "C" void* __wrap_realloc(void* block, size_t size)
{
    g_reallocs.fetch_add(1, std::memory_order_relaxed);
    return __real_realloc(block, size);
}

namespace {

// Runs body in a child process (as the unprivileged user nobody when asked, so that the
// permission checks a user meets apply even when the tests run as root) and returns its exit
// code; a child that has not finished within five seconds is killed and gives -1.
int InChild(const std::function<int()>& body, bool asNobody = false)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(5);
        if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Listing(const TempDir& dir) { return testfonts::Run("ls -A " + testfonts::Quote(dir.Path())).output; }
std::string Text(const std::string& path)
{
    const testfonts::Bytes bytes = testfonts::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}
void Save(const std::string& path, const std::string& text)
{
    CFile f(P(path), CFile::modeCreate | CFile::modeWrite);
    f.Write(text.data(), static_cast<UINT>(text.size()));
    f.Close();
}
mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}
// The error a save of path meets before anything is written; 0 when it was saved.
int SaveError(const std::string& path)
{
    CFileException error;
    CFile f;
    if (!f.Open(P(path), CFile::modeCreate | CFile::modeWrite, &error)) return static_cast<int>(error.m_lOsError);
    f.Write("ours", 4);
    f.Close();
    return 0;
}

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
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const auto path = dir.File("ro.ttf");
    testfonts::WriteFile(path, {1});
    chmod(path.c_str(), 0444);
    // Root may write anything: the refusal is what an ordinary user meets.
    EXPECT_EQ(InChild([&] {
        CFileException error;
        CFile f;
        return f.Open(P(path), CFile::modeCreate | CFile::modeWrite, &error) ? 1 : error.m_cause;
    }, ::geteuid() == 0), CFileException::accessDenied);
    EXPECT_EQ(testfonts::ReadFile(path), (testfonts::Bytes{1}));
}

TEST(File, SavingHonoursTheUmaskAndKeepsModeOwnerAndLinks)
{
    TempDir dir;
    const mode_t old = ::umask(077);
    Save(dir.File("private.woff"), "p");
    ::umask(022);
    Save(dir.File("shared.woff"), "s");
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.File("private.woff")), 0600u);
    EXPECT_EQ(ModeOf(dir.File("shared.woff")), 0644u);

    // An existing file keeps its mode and its owner (when we may give it).
    const auto kept = dir.File("kept.ttf");
    testfonts::WriteFile(kept, {1});
    ::chmod(kept.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(kept.c_str(), kNobody, kNobody), 0);
    }
    Save(kept, "new");
    struct stat st {};
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, kNobody);
    }
    EXPECT_EQ(Text(kept), "new");

    // Through a symbolic link, relative or dangling, the link stays and the file it names is written.
    ASSERT_EQ(::symlink("kept.ttf", dir.File("link.ttf").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("later.ttf").c_str(), dir.File("dangling.ttf").c_str()), 0);
    Save(dir.File("link.ttf"), "through the link");
    Save(dir.File("dangling.ttf"), "made");
    ASSERT_EQ(::lstat(dir.File("link.ttf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Text(kept), "through the link");
    EXPECT_EQ(Text(dir.File("later.ttf")), "made");
    EXPECT_EQ(Listing(dir), "dangling.ttf\nkept.ttf\nlater.ttf\nlink.ttf\nprivate.woff\nshared.woff\n");
}

TEST(File, AWriterKilledMidWriteLeavesNoTemporaryBehind)
{
    TempDir dir;
    const auto path = dir.File("out.woff");
    testfonts::WriteFile(path, {1, 2, 3});
    const int code = InChild([&] {
        CFile f(P(path), CFile::modeCreate | CFile::modeWrite);
        std::string big(1 << 20, 'x');
        f.Write(big.data(), static_cast<UINT>(big.size()));
        ::raise(SIGKILL);
        return 0;
    });
    EXPECT_EQ(code, -1);
    EXPECT_EQ(Listing(dir), "out.woff\n");
    EXPECT_EQ(testfonts::ReadFile(path), (testfonts::Bytes{1, 2, 3}));
}

TEST(File, AWritableFileInAFolderWeCannotWriteIsReplacedInPlace)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);  // ours: nobody may enter but not write
    const auto path = dir.File("theirs.woff");
    testfonts::WriteFile(path, {'o', 'l', 'd', '!', '!'});
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    // An abandoned write leaves the file as it was; a finished one replaces its content.
    EXPECT_EQ(InChild([&] {
        try {
            CFile f(P(path), CFile::modeCreate | CFile::modeWrite);
            f.Write("half", 4);
            AfxThrowFileException(CFileException::diskFull, 28, P(path));
        } catch (CFileException* e) {
            e->Delete();
        }
        return Text(path) == "old!!" ? 0 : 1;
    }, true), 0);
    EXPECT_EQ(InChild([&] {
        Save(path, "new");
        return 0;
    }, true), 0);
    EXPECT_EQ(Text(path), "new");
    // In a folder of their own, the usual replacement works for them as it does for root.
    const auto own = dir.File("own");
    ASSERT_EQ(::mkdir(own.c_str(), 0755), 0);
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(InChild([&] {
        Save(own + "/a.woff", "first");
        Save(own + "/a.woff", "second");
        return 0;
    }, true), 0);
    EXPECT_EQ(Text(own + "/a.woff"), "second");
    EXPECT_EQ(testfonts::Run("ls -A " + testfonts::Quote(own)).output, "a.woff\n");
    EXPECT_EQ(Listing(dir), "own\ntheirs.woff\n");
    // A new file in that folder is still refused.
    EXPECT_EQ(InChild([&] {
        CFileException error;
        CFile f;
        return f.Open(P(dir.File("new.woff")), CFile::modeCreate | CFile::modeWrite, &error) ? 1 : error.m_cause;
    }, true), CFileException::accessDenied);
}

// Another user plants links to files of ours in a shared sticky folder, as anyone may in /tmp.
TEST(File, AnotherUsersLinkInAStickyFolderIsNotFollowed)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir shared, mine;
    ::chmod(shared.Path().c_str(), 01777);
    const auto secret = mine.File("secret.ttf");
    testfonts::WriteFile(secret, {'m', 'i', 'n', 'e'});
    auto plant = [](const std::string& target, const std::string& link) {
        return InChild([&] { return ::symlink(target.c_str(), link.c_str()) == 0 ? 0 : 1; }, true);
    };
    ASSERT_EQ(plant(secret, shared.File("Sample.eot")), 0);
    ASSERT_EQ(plant(mine.File("new.woff"), shared.File("Sample.woff")), 0);
    // Our own link to theirs is refused at their hop.
    ASSERT_EQ(::symlink(shared.File("Sample.eot").c_str(), mine.File("chain.eot").c_str()), 0);
    for (const std::string& path : {shared.File("Sample.eot"), shared.File("Sample.woff"), mine.File("chain.eot")}) {
        CFileException error;
        CFile f;
        EXPECT_FALSE(f.Open(P(path), CFile::modeCreate | CFile::modeWrite, &error)) << path;
        EXPECT_EQ(error.m_cause, CFileException::accessDenied) << path;
        EXPECT_EQ(error.m_lOsError, EACCES) << path;
    }
    EXPECT_EQ(Text(secret), "mine");
    EXPECT_EQ(Listing(mine), "chain.eot\nsecret.ttf\n");
    EXPECT_EQ(Listing(shared), "Sample.eot\nSample.woff\n");

    // Links the kernel would follow are followed: our own, theirs in a folder of theirs, and
    // theirs in a folder that is not sticky.
    ASSERT_EQ(::symlink(secret.c_str(), shared.File("own.eot").c_str()), 0);
    Save(shared.File("own.eot"), "own");
    EXPECT_EQ(Text(secret), "own");
    const std::string theirs = shared.File("theirs");
    ASSERT_EQ(::mkdir(theirs.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(theirs.c_str(), 01777), 0);
    ASSERT_EQ(::chown(theirs.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(plant(secret, theirs + "/a.eot"), 0);
    Save(theirs + "/a.eot", "folder owner");
    EXPECT_EQ(Text(secret), "folder owner");
    ASSERT_EQ(::chmod(theirs.c_str(), 0777), 0);
    ASSERT_EQ(plant(secret, theirs + "/b.eot"), 0);
    Save(theirs + "/b.eot", "not sticky");
    EXPECT_EQ(Text(secret), "not sticky");
}

// Another user makes files in a shared sticky folder under names we are about to save, to keep
// a hand on what we write there: refused, as the kernel's protected_regular rule would (it is
// off here, and stops only creating opens, which a save by rename is not). Elsewhere an existing
// file is replaced, but no set-ID bit is kept, since it would let our content run with rights.
TEST(File, AnotherUsersFileInAStickyFolderIsRefusedAndNoSetIdBitIsKept)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir shared, mine;
    ::chmod(shared.Path().c_str(), 01777);
    ASSERT_EQ(InChild([&] {
        testfonts::WriteFile(shared.File("S.woff"), {'t'});
        return ::chmod(shared.File("S.woff").c_str(), 06777);
    }, true), 0);
    ASSERT_EQ(::symlink(shared.File("S.woff").c_str(), mine.File("link.woff").c_str()), 0);
    EXPECT_EQ(SaveError(shared.File("S.woff")), EACCES);
    EXPECT_EQ(SaveError(mine.File("link.woff")), EACCES);
    EXPECT_EQ(Text(shared.File("S.woff")), "t");
    ::chmod(shared.Path().c_str(), 0777);  // no longer sticky: replaced, its owner kept
    EXPECT_EQ(SaveError(shared.File("S.woff")), 0);
    EXPECT_EQ(ModeOf(shared.File("S.woff")), 0777u);
    struct stat st {};
    EXPECT_TRUE(::stat(shared.File("S.woff").c_str(), &st) == 0 && st.st_uid == kNobody);
    // Copied in place where the folder takes nothing new, not even from root, whose writes
    // keep such bits.
    testfonts::WriteFile(mine.File("in-place.woff"), {'o'});
    ::chmod(mine.File("in-place.woff").c_str(), 06755);
    const int folder = ::open(mine.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    const bool known = ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0;
    int frozen = flags | FS_IMMUTABLE_FL;
    if (!known || ::ioctl(folder, FS_IOC_SETFLAGS, &frozen) != 0) {
        ::close(folder);
        GTEST_SKIP() << "the file system has no immutable folders";
    }
    EXPECT_EQ(SaveError(mine.File("in-place.woff")), 0);
    ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
    ::close(folder);
    EXPECT_EQ(Text(mine.File("in-place.woff")), "ours");
    EXPECT_EQ(ModeOf(mine.File("in-place.woff")), 0755u);
}

// Root's link shared/R.woff -> sub/R.woff, where shared/sub is another user's link to a folder
// of ours: each link on the way is held to the rule, not only the last.
TEST(File, EveryLinkOnTheWayIsHeldToTheRule)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    TempDir shared, mine;
    ::chmod(shared.Path().c_str(), 01777);
    testfonts::WriteFile(mine.File("R.woff"), {'m'});
    ASSERT_EQ(InChild([&] { return ::symlink(mine.Path().c_str(), shared.File("sub").c_str()); }, true), 0);
    ASSERT_EQ(::symlink("sub/R.woff", shared.File("R.woff").c_str()), 0);
    ASSERT_EQ(::symlink((shared.Path() + "/./sub").c_str(), mine.File("chain").c_str()), 0);
    for (const std::string& path : {shared.File("R.woff"), shared.File("sub/../sub/R.woff"), mine.File("chain/R.woff")})
        EXPECT_EQ(SaveError(path), EACCES) << path;
    EXPECT_EQ(Text(mine.File("R.woff")), "m");
    // Our own links on the way are followed, and relative paths, "." and ".." walk as usual.
    ASSERT_EQ(::symlink((mine.Path() + "/").c_str(), shared.File("own").c_str()), 0);
    const std::string back = "../" + shared.Path().substr(shared.Path().rfind('/') + 1) + "/own.woff";
    EXPECT_EQ(InChild([&] { return ::chdir(shared.Path().c_str()) || SaveError("./own//R.woff") || SaveError(back); }),
              0);
    EXPECT_EQ(Text(mine.File("R.woff")), "ours");
    EXPECT_EQ(Text(shared.File("own.woff")), "ours");
    EXPECT_EQ(SaveError(shared.File("own/R.woff/")), ENOTDIR);
}

// A save of a file that did not exist links the finished content straight to its name, so a
// process killed at any moment leaves either nothing or the whole file, and no hidden name.
TEST(File, ANewFileAppearsUnderItsOwnNameOnly)
{
    TempDir dir;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, dir.Path().c_str(), IN_CREATE | IN_MOVED_TO), 0);
    Save(dir.File("new.woff"), "content");
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            names.push_back(event->len ? event->name : "");
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    EXPECT_EQ(names, std::vector<std::string>{"new.woff"});
    EXPECT_EQ(Text(dir.File("new.woff")), "content");
}

// A short name at the end of a path as long as Linux allows: a temporary's path beside it
// would be longer than that.
TEST(File, ATargetAtTheLongestPathIsSavedAndReplaced)
{
    TempDir dir;
    const std::string name = "x.woff";
    const size_t folderLength = PATH_MAX - 1 - 1 - name.size();
    std::string folder = dir.Path();
    while (folder.size() < folderLength) {
        const size_t left = folderLength - folder.size();
        folder += '/';
        folder.append(left > 400 ? 200 : left > 201 ? left / 2 : left - 1, 'd');
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    }
    const std::string path = folder + "/" + name;
    ASSERT_EQ(path.size(), size_t(PATH_MAX - 1));
    Save(path, "first");
    Save(path, "second");
    EXPECT_EQ(Text(path), "second");
    EXPECT_EQ(testfonts::Run("ls -A " + testfonts::Quote(folder)).output, name + "\n");
}

TEST(File, PipesDevicesAndFoldersAreRefusedAtOnce)
{
    TempDir dir;
    const auto fifo = dir.File("x.woff");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    struct Case { std::string path; UINT flags; };
    const Case cases[] = {
        {fifo, CFile::modeRead | CFile::shareDenyWrite},
        {fifo, CFile::modeCreate | CFile::modeWrite},
        {fifo, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite},
        {"/dev/null", CFile::modeRead},
        {"/dev/null", CFile::modeCreate | CFile::modeWrite},
        {dir.Path(), CFile::modeRead},
        {dir.Path(), CFile::modeCreate | CFile::modeWrite},
    };
    for (const Case& c : cases) {
        // Run apart, so that an open that blocks fails the test instead of hanging it.
        EXPECT_EQ(InChild([&] {
            CFileException error;
            CFile f;
            if (f.Open(P(c.path), c.flags, &error)) return 1;
            return error.m_strFileName == P(c.path) ? error.m_cause : 2;
        }), CFileException::accessDenied) << c.path << " " << c.flags;
    }
    struct stat st {};
    EXPECT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "never replaced";
    EXPECT_TRUE(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
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
    // 20 MB written in 100-byte pieces. Growing by the step would reallocate 200,000 times with
    // a step of one byte, 19,532 times with 1 KiB and 20 times with 1 MiB; doubling takes about
    // as many reallocations as the length doubles from the step, whatever the step.
    for (const UINT step : {1u, 1024u, 1u << 20}) {
        SCOPED_TRACE(step);
        CMemFile f(step);
        std::vector<BYTE> chunk(100, 0x5A);
        const long before = g_reallocs.load();
        for (int i = 0; i < 200000; ++i) f.Write(chunk.data(), static_cast<UINT>(chunk.size()));
        const long reallocs = g_reallocs.load() - before;
        EXPECT_GE(reallocs, 1) << "the count sees the memory file's reallocations";
        EXPECT_LE(reallocs, std::lround(std::ceil(std::log2(20000000.0 / std::max(step, 100u)))) + 2);
        EXPECT_EQ(f.GetLength(), 20000000u);
        EXPECT_EQ(f.Data()[19999999], 0x5A);
    }
}
