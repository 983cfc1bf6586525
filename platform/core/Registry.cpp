#include "Registry.h"

#include "FileReplacement.h"
#include "RegistryText.h"
#include "String.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct RegistryKey {
    std::string path;  // below HKEY_CURRENT_USER, components joined by '\'
    REGSAM access = 0;
};

namespace {

// Damaged stores set aside before the oldest backups are left alone and the next is dropped.
constexpr int kMaxDamagedBackups = 100;
constexpr int kLockWaitMs = 10000;

using Key = RegistryKeyValues;
using Value = RegistryValue;

enum class LoadState { Missing, Good, Damaged, Unreadable };

struct Store {
    LoadState state = LoadState::Missing;
    std::vector<Key> keys;
};
using StorePtr = std::shared_ptr<const Store>;

std::mutex g_mutex;
std::set<HKEY> g_openKeys;

// True when path names key itself or one of the keys below it.
bool IsAtOrBelow(const std::string& key, const std::string& path)
{
    if (path.empty()) return true;
    if (key.size() < path.size()) return false;
    if (!RegistryNamesEqual(std::string_view(key).substr(0, path.size()), path)) return false;
    return key.size() == path.size() || key[path.size()] == '\\';
}

template <class Keys> auto FindKey(Keys& keys, const std::string& path) -> decltype(&keys.front())
{
    for (auto& key : keys)
        if (RegistryNamesEqual(key.path, path)) return &key;
    return nullptr;
}

bool KeyExists(const Store& store, const std::string& path)
{
    if (path.empty()) return true;
    return std::any_of(store.keys.begin(), store.keys.end(), [&](const Key& k) { return IsAtOrBelow(k.path, path); });
}

template <class Values> auto FindValue(Values& values, const std::string& name) -> decltype(&values.front())
{
    for (auto& value : values)
        if (RegistryNamesEqual(value.name, name)) return &value;
    return nullptr;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string StoreFolder()
{
    const std::string path = RegistryStorePath();
    return path.substr(0, path.rfind('/'));
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

long long Nanoseconds(const timespec& t) { return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// The step of the file system's stamps, as far as one of them shows it: the largest power of
// ten nanoseconds its fraction is a multiple of. Whole seconds may come from a file system that
// keeps no finer, or, as FAT does for some stamps, only every other second.
long long StampStep(const timespec& t)
{
    if (t.tv_nsec == 0) return 2'000'000'000;
    long long step = 1;
    while (t.tv_nsec % (step * 10) == 0) step *= 10;
    return step;
}

// Whether the file may change again without its change stamp moving. The file system stamps a
// change from the coarse clock, cut to its own step: a change at or after now may get the stamp
// the file has unless that stamp is a whole step older than now.
bool MayChangeUnseen(const struct stat& st, const timespec& now)
{
    return Nanoseconds(st.st_ctim) + StampStep(st.st_ctim) > Nanoseconds(now);
}

timespec CoarseNow()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

// The store as last read by this process, kept while its file is unchanged, so that the
// program's start, which reads its options one by one, does not read the whole file again for
// each. The file is held open: its inode cannot be reused for another file while kept, so the
// same inode with the same size and stamps is the same content, provided the stamps were
// older than the file system's step when it was read (MayChangeUnseen).
class StoreCache {
public:
    ~StoreCache() { Forget(); }

    StorePtr Find(const std::string& path, const struct stat& st) const
    {
        if (m_fd < 0 || path != m_path || st.st_dev != m_stat.st_dev || st.st_ino != m_stat.st_ino ||
            st.st_size != m_stat.st_size || !SameTime(st.st_mtim, m_stat.st_mtim) || !SameTime(st.st_ctim, m_stat.st_ctim))
            return nullptr;
        return m_store;
    }
    // Takes fd, the file's descriptor, as it stood when st was taken.
    void Keep(const std::string& path, int fd, const struct stat& st, StorePtr store)
    {
        Forget();
        m_path = path;
        m_fd = fd;
        m_stat = st;
        m_store = std::move(store);
    }
    void Forget()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        m_store.reset();
    }

private:
    std::string m_path;
    int m_fd = -1;
    struct stat m_stat {};
    StorePtr m_store;
};

StoreCache g_cache;

StorePtr StoreIn(LoadState state)
{
    auto store = std::make_shared<Store>();
    store->state = state;
    return store;
}

// What a path that holds no regular file is: a folder cannot be moved aside without knowing
// what it holds, but a pipe, a device or a socket is no store and is set aside as damage.
LoadState StateOfOther(const struct stat& st) { return S_ISDIR(st.st_mode) ? LoadState::Unreadable : LoadState::Damaged; }

LoadState StateOfOpenError(int err)
{
    if (err == ENOENT || err == ENOTDIR) return LoadState::Missing;
    if (err == ENXIO || err == ELOOP) return LoadState::Damaged;  // a socket; a loop of links
    return LoadState::Unreadable;
}

// The file's text, at most the cap; false when it cannot be read or is larger.
bool ReadText(int fd, std::string& text, bool& tooLarge)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<size_t>(n));
        // The file may grow while it is read; the cap holds all the same.
        if (text.size() > kMaxRegistryStoreBytes) {
            tooLarge = true;
            return false;
        }
    }
}

StorePtr Parsed(const std::string& text)
{
    auto store = std::make_shared<Store>();
    store->state = ParseRegistryText(text, store->keys) ? LoadState::Good : LoadState::Damaged;
    return store;
}

// Reads the store from fd, the regular file st describes, and keeps it unless it may still
// be changing unseen.
StorePtr ReadStore(const std::string& path, int fd, const struct stat& st, const timespec& before)
{
    if (st.st_size > static_cast<off_t>(kMaxRegistryStoreBytes)) return StoreIn(LoadState::Damaged);
    std::string text;
    bool tooLarge = false;
    if (!ReadText(fd, text, tooLarge)) return StoreIn(tooLarge ? LoadState::Damaged : LoadState::Unreadable);
    StorePtr store = Parsed(text);
    if (!MayChangeUnseen(st, before)) g_cache.Keep(path, ::fcntl(fd, F_DUPFD_CLOEXEC, 0), st, store);
    return store;
}

// The store as it stands. Whatever is at the path is looked at before it is opened, and opened
// without blocking, so a pipe or a device there never holds the program up. A store of another
// user's is neither read nor replaced: whoever could put it there could change it at any time.
StorePtr Load()
{
    const std::string path = RegistryStorePath();
    if (path.empty()) return StoreIn(LoadState::Missing);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        // A link to nothing is no store: set aside as itself, not followed to make the file it names.
        if (err == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return StoreIn(LoadState::Damaged);
        return StoreIn(StateOfOpenError(err));
    }
    if (!S_ISREG(st.st_mode)) return StoreIn(StateOfOther(st));
    const timespec before = CoarseNow();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return StoreIn(StateOfOpenError(errno));
    StorePtr store;
    if (::fstat(fd, &st) != 0)
        store = StoreIn(LoadState::Unreadable);
    else if (!S_ISREG(st.st_mode))
        store = StoreIn(StateOfOther(st));
    else if (st.st_uid != ::geteuid())
        store = StoreIn(LoadState::Unreadable);
    else if (!(store = g_cache.Find(path, st)))
        store = ReadStore(path, fd, st, before);
    ::close(fd);
    return store;
}

bool MakeFolders(const std::string& folder)
{
    if (folder.empty()) return false;
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Renames from to to unless to exists. A symbolic link is moved as itself.
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system that cannot refuse to replace: a hard link of the entry itself does.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

// Moves a damaged store aside under the first backup name not taken, so that one damaged
// store never replaces the backup of an earlier one. The entry itself is moved: a link to
// something that is no store keeps pointing at it, and what it names is never written. When
// every backup name is taken, the entry is dropped.
bool MoveDamagedAside(const std::string& path)
{
    for (int n = 1; n <= kMaxDamagedBackups; ++n) {
        std::string backup = path + ".damaged";
        if (n > 1) {
            backup += '.';
            backup += std::to_string(n);
        }
        const int err = RenameNoReplace(path, backup);
        if (err == 0 || err == ENOENT) return true;
        if (err != EEXIST) return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// Keeps store, just written to the file open at fd, as what the store holds.
void KeepWritten(const std::string& path, int fd, const Store& store)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        return;
    }
    auto kept = std::make_shared<Store>(store);
    kept->state = LoadState::Good;
    g_cache.Keep(path, fd, st, std::move(kept));
}

// Replaces the store file with store's content. A file we could not read is never replaced,
// and one we could not understand is kept beside the new one, so no settings are destroyed
// by a change made without knowing them.
LSTATUS Save(const Store& store)
{
    if (store.state == LoadState::Unreadable) return ERROR_ACCESS_DENIED;
    const std::string path = RegistryStorePath();
    if (path.empty()) return ERROR_ACCESS_DENIED;
    if (!MakeFolders(StoreFolder())) return ERROR_ACCESS_DENIED;
    g_cache.Forget();
    if (store.state == LoadState::Damaged && !MoveDamagedAside(path)) return ERROR_ACCESS_DENIED;
    FileReplacement replacement;
    if (replacement.Begin(path, 0600) != 0) return ERROR_ACCESS_DENIED;
    const std::string text = SerializeRegistryText(store.keys);
    if (!WriteAll(replacement.Descriptor(), text.data(), text.size())) return ERROR_WRITE_FAULT;
    // A store that replaced the old one is a file of its own that another copy can only replace
    // in turn, which shows in its inode: it is kept as what this process knows. One copied into
    // the old file in place is not: its stamps are too new to show whether another copy rewrites
    // it in place, and the next read keeps it once they are old enough.
    const int written = replacement.InPlace() ? -1 : ::fcntl(replacement.Descriptor(), F_DUPFD_CLOEXEC, 0);
    if (replacement.Commit() != 0) {
        if (written >= 0) ::close(written);
        return ERROR_WRITE_FAULT;
    }
    KeepWritten(path, written, store);
    return ERROR_SUCCESS;
}

// Holds the store's folder locked against the other running copies of the program: shared
// while reading, exclusive for a change's whole read, modify and write, so that no copy
// writes back a store without another's change. The folder is locked rather than the store,
// which each change replaces. A copy that holds the lock for too long (stopped, not dead:
// the dead release it) is not waited for beyond kLockWaitMs. A folder of another user's (one
// made first in a shared place) is no place for our settings, nor its lock one to wait on.
class StoreLock {
public:
    explicit StoreLock(bool exclusive)
    {
        const std::string folder = StoreFolder();
        if (folder.empty()) return;
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || st.st_uid != ::geteuid()) {
            m_foreign = true;
            return;
        }
        for (int waited = 0; waited < kLockWaitMs; waited += 5) {
            if (::flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
            ::usleep(5000);
        }
    }
    ~StoreLock()
    {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool Foreign() const { return m_foreign; }

private:
    int m_fd = -1;
    bool m_foreign = false;
};

// One change of the store as a locked read, modify and write. edit returns false when it
// changed nothing, and then nothing is written.
template <class Edit> LSTATUS Change(Edit&& edit)
{
    const std::string path = RegistryStorePath();
    if (path.empty() || !MakeFolders(StoreFolder())) return ERROR_ACCESS_DENIED;
    StoreLock lock(true);
    if (lock.Foreign()) return ERROR_ACCESS_DENIED;
    Store store = *Load();
    if (!edit(store)) return ERROR_SUCCESS;
    return Save(store);
}

// The store as it stands, read under a shared lock.
StorePtr LoadShared()
{
    StoreLock lock(false);
    return lock.Foreign() ? StoreIn(LoadState::Unreadable) : Load();
}

// Splits a sub-key path into a clean one; empty components (doubled, leading or trailing
// separators) are refused as the registry refuses them.
bool JoinPath(const std::string& base, LPCWSTR subKey, std::string& out)
{
    out = base;
    if (!subKey || !*subKey) return true;
    const std::string sub = CString(subKey).ToUtf8();
    size_t start = 0;
    for (;;) {
        const size_t end = sub.find('\\', start);
        const std::string part = sub.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty()) return false;
        if (!out.empty()) out += '\\';
        out += part;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// The key path of a handle, or false when the handle is neither the root nor one we opened.
bool ResolveHandle(HKEY key, std::string& path, REGSAM& access)
{
    if (key == HKEY_CURRENT_USER) {
        path.clear();
        access = KEY_ALL_ACCESS;
        return true;
    }
    if (!g_openKeys.count(key)) return false;
    path = key->path;
    access = key->access;
    return true;
}

HKEY NewHandle(std::string path, REGSAM access)
{
    HKEY handle = new RegistryKey{std::move(path), access};
    g_openKeys.insert(handle);
    return handle;
}

std::string ValueName(LPCWSTR name) { return name ? CString(name).ToUtf8() : std::string(); }

} // namespace

std::string RegistryStorePath()
{
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        // Without a home there is no private place for settings: nothing is stored, rather
        // than settings put where others could read or plant them.
        const std::string home = HomeFolder();
        if (home.empty() || home[0] != '/') return {};
        config = home + "/.config";
    }
    while (config.size() > 1 && config.back() == '/') config.pop_back();
    return config + "/fenwrap/registry";
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    std::string base, path;
    REGSAM baseAccess = 0;
    if (!ResolveHandle(key, base, baseAccess)) return ERROR_INVALID_HANDLE;
    if (!JoinPath(base, subKey, path)) return ERROR_BADKEY;
    if (!KeyExists(*LoadShared(), path)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(std::move(path), access);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/, DWORD /*options*/,
                        REGSAM access, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result, LPDWORD disposition)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    std::string base, path;
    REGSAM baseAccess = 0;
    if (!ResolveHandle(key, base, baseAccess)) return ERROR_INVALID_HANDLE;
    if (!JoinPath(base, subKey, path)) return ERROR_BADKEY;
    bool existed = false;
    const LSTATUS status = Change([&](Store& store) {
        existed = KeyExists(store, path);
        if (!existed) store.keys.push_back(Key{path, {}});
        return !existed;
    });
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(std::move(path), access);
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size != 0) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    std::string path;
    REGSAM access = 0;
    if (!ResolveHandle(key, path, access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    const std::string name = ValueName(valueName);
    return Change([&](Store& store) {
        // Another copy of the program may have removed the key since it was opened: the value
        // then brings its key back rather than being lost.
        Key* target = FindKey(store.keys, path);
        if (!target) {
            store.keys.push_back(Key{path, {}});
            target = &store.keys.back();
        }
        Value* value = FindValue(target->values, name);
        if (!value) {
            target->values.push_back(Value{name, REG_NONE, {}});
            value = &target->values.back();
        }
        value->type = type;
        value->data.assign(data, data + size);
        return true;
    });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (data && !size) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    std::string path;
    REGSAM access = 0;
    if (!ResolveHandle(key, path, access)) return ERROR_INVALID_HANDLE;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const StorePtr store = LoadShared();
    const Key* found = FindKey(store->keys, path);
    const Value* value = found ? FindValue(found->values, ValueName(valueName)) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    const DWORD length = static_cast<DWORD>(value->data.size());
    if (!data) {
        if (size) *size = length;
        return ERROR_SUCCESS;
    }
    if (*size < length) {
        *size = length;
        return ERROR_MORE_DATA;
    }
    std::copy(value->data.begin(), value->data.end(), data);
    *size = length;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key)
{
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    std::lock_guard lock(g_mutex);
    if (!g_openKeys.erase(key)) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}
