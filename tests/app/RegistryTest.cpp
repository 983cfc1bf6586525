#include "StoreFixture.h"

#include <filesystem>
#include <functional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char16_t* kPath = u"SOFTWARE\\Test\\App\\Settings";

std::vector<BYTE> Bytes(std::initializer_list<int> values)
{
    std::vector<BYTE> out;
    for (int v : values) out.push_back(static_cast<BYTE>(v));
    return out;
}

// Waits for the program copies a test forked; each must have had every write accepted.
void ExpectAllEndedWell(const std::vector<pid_t>& copies)
{
    for (pid_t pid : copies) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

class RegistryTest : public StoreTest {
protected:
    HKEY Create(const char16_t* path = kPath, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                  &disposition),
                  ERROR_SUCCESS);
        return key;
    }
    LSTATUS Open(HKEY& key, const char16_t* path = kPath, REGSAM access = KEY_READ)
    {
        return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key);
    }
    // The value's type and bytes, read through a fresh handle.
    bool Query(const char16_t* name, DWORD& type, std::vector<BYTE>& data, const char16_t* path = kPath)
    {
        HKEY key = nullptr;
        if (Open(key, path) != ERROR_SUCCESS) return false;
        DWORD size = 0;
        bool ok = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
        data.assign(size, 0);
        if (ok) ok = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }
    std::string Listing() const { return testfonts::Run("ls -A " + testfonts::Quote(m_dir->Path() + "/fenwrap")).output; }
    void Set(HKEY key, const char16_t* name, DWORD type, const std::vector<BYTE>& data)
    {
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    }
};

TEST_F(RegistryTest, ReadingAMissingStoreFindsNothingAndCreatesNothing)
{
    HKEY key = nullptr;
    EXPECT_EQ(Open(key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(testfonts::Exists(StoreFile()));
}

TEST_F(RegistryTest, CreatedKeysKeepEachValuesTypeAndBytesAcrossHandles)
{
    HKEY key = Create();
    Set(key, u"dword", REG_DWORD, Bytes({1, 0, 0, 0}));
    Set(key, u"text", REG_SZ, Bytes({'a', 0, 0x42, 0x30, 0, 0}));
    Set(key, u"blob", REG_BINARY, Bytes({0, 0xFF, 0x0A, 0x09}));
    Set(key, u"empty", REG_SZ, {});
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(u"dword", type, data));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, Bytes({1, 0, 0, 0}));
    ASSERT_TRUE(Query(u"TEXT", type, data));  // names ignore case
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, Bytes({'a', 0, 0x42, 0x30, 0, 0}));
    ASSERT_TRUE(Query(u"blob", type, data));
    EXPECT_EQ(data, Bytes({0, 0xFF, 0x0A, 0x09}));
    ASSERT_TRUE(Query(u"empty", type, data));
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(Query(u"missing", type, data));

    // Every key on the way was created, and paths ignore case too.
    HKEY parent = nullptr;
    EXPECT_EQ(Open(parent, u"software\\TEST"), ERROR_SUCCESS);
    RegCloseKey(parent);
    EXPECT_EQ(Open(parent, u"SOFTWARE\\Tes"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CreatingAnExistingKeySaysSoAndKeepsItsValues)
{
    HKEY key = Create();
    Set(key, u"v", REG_DWORD, Bytes({7, 0, 0, 0}));
    RegCloseKey(key);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(u"v", type, data));
    EXPECT_EQ(data, Bytes({7, 0, 0, 0}));
}

TEST_F(RegistryTest, QueriesReportSizesAndLeaveSmallBuffersAlone)
{
    HKEY key = Create();
    Set(key, u"v", REG_BINARY, Bytes({1, 2, 3, 4, 5, 6}));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    BYTE small[4] = {9, 9, 9, 9};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(small[0], 9);
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, small, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, HandlesAllowOnlyWhatTheyWereOpenedFor)
{
    RegCloseKey(Create());
    HKEY reader = nullptr;
    ASSERT_EQ(Open(reader, kPath, KEY_READ), ERROR_SUCCESS);
    const BYTE one[4] = {1, 0, 0, 0};
    EXPECT_EQ(RegSetValueExW(reader, u"v", 0, REG_DWORD, one, 4), ERROR_ACCESS_DENIED);
    HKEY writer = nullptr;
    ASSERT_EQ(Open(writer, kPath, KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(writer, u"v", 0, REG_DWORD, one, 4), ERROR_SUCCESS);
    DWORD size = 4;
    BYTE out[4];
    EXPECT_EQ(RegQueryValueExW(writer, u"v", nullptr, nullptr, out, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExW(reader, u"v", nullptr, nullptr, out, &size), ERROR_SUCCESS);
    RegCloseKey(reader);
    RegCloseKey(writer);
}

TEST_F(RegistryTest, ForeignAndClosedHandlesAreRefused)
{
    HKEY key = Create();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    HKEY bogus = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(bogus, u"v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(bogus, u"v", 0, REG_SZ, nullptr, 0), ERROR_INVALID_HANDLE);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"a\\\\b", 0, KEY_READ, &out), ERROR_BADKEY);
}

TEST_F(RegistryTest, NamesWithAnyCharactersSurviveTheFile)
{
    const char16_t* path = u"SOFTWARE\\[odd] key %41\\\u65e5\u672c";
    HKEY key = Create(path);
    const char16_t* names[] = {u"tab\there", u"line\nbreak", u"[bracket]", u"per%cent", u"\u8a2d\u5b9a", u""};
    for (const char16_t* name : names) Set(key, name, REG_SZ, Bytes({'x', 0}));
    RegCloseKey(key);
    for (const char16_t* name : names) {
        DWORD type = 0;
        std::vector<BYTE> data;
        EXPECT_TRUE(Query(name, type, data, path)) << CString(name).ToUtf8();
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(Query(u"per%25cent", type, data, path));
}

TEST_F(RegistryTest, TheFileIsReplacedWholeAndKeptPrivate)
{
    HKEY key = Create();
    for (int i = 0; i < 20; ++i) Set(key, u"v", REG_DWORD, Bytes({i, 0, 0, 0}));
    RegCloseKey(key);
    // Nothing is left behind by the replacements, and only the owner may read the settings.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir->Path() + "/fenwrap"))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"registry"});
    struct stat st {};
    ASSERT_EQ(::stat(StoreFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(StoreText().find("v\t4\t13000000\n"), std::string::npos) << StoreText();
}

TEST_F(RegistryTest, AStoreWrittenByAnotherCopyIsReadAsItStands)
{
    WriteStore("Fenwrap registry 1\n[SOFTWARE\\Test\\App\\Settings]\nv\t3\t0a0B\nw\t1\t\n");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(u"v", type, data));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, Bytes({0x0A, 0x0B}));
    ASSERT_TRUE(Query(u"w", type, data));
    EXPECT_TRUE(data.empty());
}

// A store edited by hand, or appended to, may name a key or a value twice: the later line is
// the one read, whatever the case of its names, and the next write keeps it alone.
TEST_F(RegistryTest, AValueGivenTwiceReadsAsItsLaterLineAndIsWrittenOnce)
{
    WriteStore("Fenwrap registry 1\n"
               "[SOFTWARE\\Test\\App\\Settings]\n"
               "v\t4\t01000000\n"
               "w\t4\t05000000\n"
               "[Other]\n"
               "[software\\test\\app\\SETTINGS]\n"
               "V\t3\t02\n");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(u"v", type, data));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, Bytes({2}));
    ASSERT_TRUE(Query(u"w", type, data));
    EXPECT_EQ(data, Bytes({5, 0, 0, 0}));

    HKEY key = Create();
    Set(key, u"new", REG_DWORD, Bytes({3, 0, 0, 0}));
    RegCloseKey(key);
    const std::string text = StoreText();
    EXPECT_EQ(text.find("01000000"), std::string::npos) << text;
    const size_t value = text.find("\t3\t02\n");
    ASSERT_NE(value, std::string::npos) << text;
    EXPECT_EQ(text.find("\t3\t02\n", value + 1), std::string::npos) << text;
    ASSERT_TRUE(Query(u"v", type, data));
    EXPECT_EQ(data, Bytes({2}));
}

TEST_F(RegistryTest, DamagedLinesCostOnlyThemselvesAndOtherKeysSurviveWrites)
{
    WriteStore("Fenwrap registry 1\n"
               "[Other\\Program]\n"
               "keep\t4\t05000000\n"
               "broken line without tabs\n"
               "badhex\t3\t0g\n"
               "oddhex\t3\t012\n"
               "badtype\tx\t00\n"
               "[unterminated\n"
               "orphan\t4\t01000000\n"
               "[SOFTWARE\\Test\\App\\Settings]\n"
               "good\t4\t02000000\n");
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(Query(u"keep", type, data, u"Other\\Program"));
    EXPECT_FALSE(Query(u"badhex", type, data, u"Other\\Program"));
    EXPECT_FALSE(Query(u"orphan", type, data, u"Other\\Program"));
    EXPECT_TRUE(Query(u"good", type, data));

    HKEY key = Create();
    Set(key, u"new", REG_DWORD, Bytes({3, 0, 0, 0}));
    RegCloseKey(key);
    ASSERT_TRUE(Query(u"keep", type, data, u"Other\\Program"));
    EXPECT_EQ(data, Bytes({5, 0, 0, 0}));
    EXPECT_TRUE(Query(u"good", type, data));
    EXPECT_TRUE(Query(u"new", type, data));
}

TEST_F(RegistryTest, AFileThatIsNoStoreReadsEmptyAndIsKeptAsideOnTheNextWrite)
{
    static const char kGarbage[] = "\x00\xff\x13garbage\n[x]\nv\t4\t01000000\n";
    const std::string garbage(kGarbage, sizeof kGarbage - 1);
    WriteStore(garbage);
    HKEY key = nullptr;
    EXPECT_EQ(Open(key, u"x"), ERROR_FILE_NOT_FOUND);
    key = Create();
    Set(key, u"v", REG_DWORD, Bytes({1, 0, 0, 0}));
    RegCloseKey(key);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(Query(u"v", type, data));
    const testfonts::Bytes kept = testfonts::ReadFile(StoreFile() + ".damaged");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), garbage);
}

TEST_F(RegistryTest, EachDamagedStoreGetsABackupOfItsOwn)
{
    const std::string first = "first damaged store\n";
    const std::string second = "second damaged store\n";
    for (const std::string& garbage : {first, second}) {
        WriteStore(garbage);
        HKEY key = Create();
        Set(key, u"v", REG_DWORD, Bytes({1, 0, 0, 0}));
        RegCloseKey(key);
    }
    const testfonts::Bytes kept1 = testfonts::ReadFile(StoreFile() + ".damaged");
    const testfonts::Bytes kept2 = testfonts::ReadFile(StoreFile() + ".damaged.2");
    EXPECT_EQ(std::string(kept1.begin(), kept1.end()), first);
    EXPECT_EQ(std::string(kept2.begin(), kept2.end()), second);
}

TEST_F(RegistryTest, TwoCopiesWritingAtOnceLoseNothing)
{
    // Two processes, each writing values of its own and one value both write, as two running
    // copies of the program saving their options do.
    constexpr int kPerCopy = 150;
    std::vector<pid_t> copies;
    for (int copy = 0; copy < 2; ++copy) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(60);
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0)
                ::_exit(1);
            int failures = 0;
            for (int i = 0; i < kPerCopy; ++i) {
                const std::u16string name = (copy ? u"b" : u"a") + CString::FromUtf8(std::to_string(i)).Str();
                const DWORD value = static_cast<DWORD>(i);
                failures += RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) != 0;
                const DWORD who = static_cast<DWORD>(copy);
                failures += RegSetValueExW(key, u"shared", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&who), 4) != 0;
            }
            ::_exit(failures ? 2 : 0);
        }
        copies.push_back(pid);
    }
    ExpectAllEndedWell(copies);
    int lost = 0;
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = 0; i < kPerCopy; ++i) {
            const std::u16string name = (copy ? u"b" : u"a") + CString::FromUtf8(std::to_string(i)).Str();
            DWORD type = 0;
            std::vector<BYTE> data;
            lost += !Query(name.c_str(), type, data) || data != Bytes({i, 0, 0, 0});
        }
    }
    EXPECT_EQ(lost, 0);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(Query(u"shared", type, data));
    EXPECT_EQ(Listing(), "registry\n");
}

TEST_F(RegistryTest, AStoreThatCannotBeReadIsNeverOverwritten)
{
    // A folder where the file should be: it cannot be read, so nothing may replace it.
    std::filesystem::create_directories(StoreFile());
    HKEY key = nullptr;
    EXPECT_EQ(Open(key), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_directory(StoreFile()));
}

TEST_F(RegistryTest, AConfigFolderThatCannotBeMadeFailsTheWrite)
{
    testfonts::WriteFile(m_dir->Path() + "/fenwrap", {'x'});  // a file where the folder goes
    HKEY key = nullptr;
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
}

TEST_F(RegistryTest, TheStoreFollowsTheXdgRules)
{
    EXPECT_EQ(RegistryStorePath(), m_dir->Path() + "/fenwrap/registry");
    const char* home = std::getenv("HOME");
    const std::string oldHome = home ? home : "";
    ::setenv("XDG_CONFIG_HOME", "relative/folder", 1);  // not absolute: ignored, as the rules say
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RegistryStorePath(), "/home/someone/.config/fenwrap/registry");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryStorePath(), "/home/someone/.config/fenwrap/registry");
    // A home that is no absolute folder is no place for settings: nothing is stored.
    ::setenv("HOME", "relative/home", 1);
    EXPECT_EQ(RegistryStorePath(), "");
    HKEY key = nullptr;
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    if (home)
        ::setenv("HOME", oldHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

} // namespace

namespace {

class StoreFileTest : public RegistryTest {
protected:
    void SetOne(const char16_t* name, int value)
    {
        HKEY key = Create();
        Set(key, name, REG_DWORD, Bytes({value, 0, 0, 0}));
        RegCloseKey(key);
    }
    static std::string Read(const std::string& path)
    {
        const testfonts::Bytes bytes = testfonts::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    static bool IsLink(const std::string& path) { return std::filesystem::is_symlink(path); }
};

// How many times the store file is read while body runs.
int ReadsOfFile(const std::string& path, const std::function<void()>& body)
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, path.c_str(), IN_ACCESS) < 0) return -1;
    body();
    int reads = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + n; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
            ++reads;
    ::close(watch);
    return reads;
}

} // namespace

TEST_F(StoreFileTest, ALinkToSomethingThatIsNoStoreIsMovedAsideAndTheLinkedFileKept)
{
    const std::string notes = m_dir->File("notes.txt");
    testfonts::WriteFile(notes, {'m', 'y', ' ', 'n', 'o', 't', 'e', 's'});
    std::filesystem::create_directories(m_dir->Path() + "/fenwrap");
    ASSERT_EQ(::symlink(notes.c_str(), StoreFile().c_str()), 0);
    SetOne(u"v", 1);
    EXPECT_EQ(Read(notes), "my notes");
    EXPECT_FALSE(IsLink(StoreFile()));
    ASSERT_TRUE(IsLink(StoreFile() + ".damaged"));
    EXPECT_EQ(std::filesystem::read_symlink(StoreFile() + ".damaged"), notes);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(Query(u"v", type, data));

    // A link to a good store keeps working: the store it names is written, the link stays.
    const std::string elsewhere = m_dir->File("kept-registry");
    std::filesystem::rename(StoreFile(), elsewhere);
    ASSERT_EQ(::symlink(elsewhere.c_str(), StoreFile().c_str()), 0);
    SetOne(u"w", 2);
    EXPECT_TRUE(IsLink(StoreFile()));
    EXPECT_NE(Read(elsewhere).find("w\t4\t02000000\n"), std::string::npos);
    EXPECT_TRUE(Query(u"v", type, data));
    EXPECT_EQ(Listing(), "registry\nregistry.damaged\n");
}

TEST_F(StoreFileTest, APipeAtTheStoreIsNotWaitedOnAndIsMovedAside)
{
    std::filesystem::create_directories(m_dir->Path() + "/fenwrap");
    ASSERT_EQ(::mkfifo(StoreFile().c_str(), 0600), 0);
    // Apart, so that a read that waits for a writer fails the test instead of hanging it.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(5);
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key) != ERROR_FILE_NOT_FOUND) ::_exit(1);
        const BYTE one[4] = {1, 0, 0, 0};
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0 ||
            RegSetValueExW(key, u"v", 0, REG_DWORD, one, 4) != 0)
            ::_exit(2);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed while waiting on the pipe";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    struct stat st {};
    EXPECT_TRUE(::lstat(StoreFile().c_str(), &st) == 0 && S_ISREG(st.st_mode));
    EXPECT_TRUE(::lstat((StoreFile() + ".damaged").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(Query(u"v", type, data));
}

TEST_F(StoreFileTest, OptionsAreReadOneByOneWithoutReadingTheFileForEach)
{
    const char16_t* names[] = {u"a", u"b", u"c", u"d", u"e", u"f", u"g"};
    for (int i = 0; i < 7; ++i) SetOne(names[i], i);
    auto readAll = [&] {
        for (const char16_t* name : names) {
            DWORD type = 0;
            std::vector<BYTE> data;
            EXPECT_TRUE(Query(name, type, data));
        }
    };
    // What this process wrote last is what it knows; a store written by another is read once,
    // when it is older than the file system's clock tick, so that it cannot change unseen.
    EXPECT_EQ(ReadsOfFile(StoreFile(), readAll), 0);
    const std::string text = StoreText();
    WriteStore(text + "h\t4\t08000000\n");
    ::usleep(50000);
    EXPECT_EQ(ReadsOfFile(StoreFile(), readAll), 1);
    // Kept open, the store is no descriptor for a program started meanwhile (the help viewer).
    EXPECT_EQ(testfonts::Run("ls -l /proc/self/fd/").output.find("/fenwrap/registry"), std::string::npos);

    // Changes made by others are seen: a rewrite in place, and another copy's change.
    WriteStore(text + "h\t4\t09000000\n");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(u"h", type, data));
    EXPECT_EQ(data, Bytes({9, 0, 0, 0}));
    const pid_t pid = ::fork();
    if (pid == 0) {
        HKEY key = nullptr;
        const BYTE ten[4] = {10, 0, 0, 0};
        ::_exit(RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_WRITE, &key) == 0 &&
                        RegSetValueExW(key, u"h", 0, REG_DWORD, ten, 4) == 0
                    ? 0
                    : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(Query(u"h", type, data));
    EXPECT_EQ(data, Bytes({10, 0, 0, 0}));
}

namespace {

// A small file system whose stamps keep whole seconds only (ext2 with small inodes), mounted
// while the object lives; Path() is empty when none can be had (not root, no loop device).
struct WholeSecondFileSystem {
    WholeSecondFileSystem()
    {
        const std::string image = testfonts::Quote(dir.File("fs.img")), mount = dir.File("fs");
        if (::geteuid() == 0 && ::chmod(dir.Path().c_str(), 0755) == 0 && ::mkdir(mount.c_str(), 0755) == 0 &&
            testfonts::Run("truncate -s 8M " + image + " && mke2fs -q -t ext2 -I 128 -F " + image +
                           " && mount -o loop " + image + " " + testfonts::Quote(mount)).exitCode == 0)
            path = mount;
    }
    ~WholeSecondFileSystem()
    {
        if (!path.empty()) testfonts::Run("umount -l " + testfonts::Quote(path));  // the store may still be held open
    }
    testfonts::TempDir dir;
    std::string path;
};

constexpr uid_t kNobody = 65534;

} // namespace

// Copies of the program writing a store in place (its folder closed to them) where many writes
// share one stamp: no copy may take the store it knows for the one another copy just wrote.
TEST_F(StoreFileTest, CopiesWritingInPlaceOnWholeSecondStampsLoseNothing)
{
    WholeSecondFileSystem fs;
    if (fs.path.empty()) GTEST_SKIP() << "needs root and a loop device";
    ::setenv("XDG_CONFIG_HOME", fs.path.c_str(), 1);
    const std::string folder = fs.path + "/fenwrap", store = folder + "/registry";
    const std::string empty = "Fenwrap registry 1\n[SOFTWARE\\Test\\App\\Settings]\n";
    ::mkdir(folder.c_str(), 0700);
    testfonts::WriteFile(store, testfonts::Bytes(empty.begin(), empty.end()));
    ASSERT_EQ(::chown(store.c_str(), kNobody, kNobody) | ::chown(folder.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    constexpr int kCopies = 4, kWrites = 100;
    std::vector<pid_t> copies;
    for (int copy = 0; copy < kCopies; ++copy) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(60);
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(1);
            const std::u16string name = u"c" + CString::FromUtf8(std::to_string(copy)).Str();
            HKEY key = nullptr;
            int failures = RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_WRITE, &key) != 0;
            for (DWORD i = 1; i <= kWrites; ++i) {
                failures += RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4) != 0;
                ::usleep(2000);  // lets the others have the lock between writes, as copies ending apart do
            }
            ::_exit(failures ? 2 : 0);
        }
        copies.push_back(pid);
    }
    ExpectAllEndedWell(copies);
    const std::string text = Read(store);
    for (int copy = 0; copy < kCopies; ++copy)
        EXPECT_NE(text.find("c" + std::to_string(copy) + "\t4\t64000000\n"), std::string::npos) << text;
}

// XDG_CONFIG_HOME in a shared sticky folder where another user made the store's folder first,
// then a store of theirs in a folder of ours, then a link to nothing: no value of theirs is read,
// nothing of theirs written, and the link does not make the file it names.
TEST_F(StoreFileTest, AStoreFolderOrFileOfAnotherUserIsNeverUsed)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ::chmod(m_dir->Path().c_str(), 01777);
    SetOne(u"v", 1);
    const std::string folder = m_dir->Path() + "/fenwrap", theirs = StoreText();
    ASSERT_EQ(::chown(StoreFile().c_str(), kNobody, kNobody) | ::chown(folder.c_str(), kNobody, kNobody), 0);
    for (uid_t folderOwner : {kNobody, uid_t(0)}) {
        ASSERT_EQ(::chown(folder.c_str(), folderOwner, folderOwner), 0);
        DWORD type = 0;
        std::vector<BYTE> data;
        EXPECT_FALSE(Query(u"v", type, data));
        HKEY key = nullptr;
        EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        EXPECT_EQ(StoreText(), theirs);
        EXPECT_EQ(Listing(), "registry\n");
    }
    std::filesystem::remove(StoreFile());
    ASSERT_EQ(::symlink(m_dir->File("named").c_str(), StoreFile().c_str()), 0);
    SetOne(u"w", 1);
    EXPECT_FALSE(std::filesystem::exists(m_dir->File("named")));
    EXPECT_TRUE(IsLink(StoreFile() + ".damaged"));
    EXPECT_FALSE(IsLink(StoreFile()));
}
