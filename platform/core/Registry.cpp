#include "Registry.h"

#include "FileReplacement.h"
#include "String.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The store file, line by line:
//   Fenwrap registry 1
//   [SOFTWARE\Orvisto\Fenwrap\3.2.0\Settings]
//   bMakeWOFF2<TAB>4<TAB>01000000
// Key paths and value names are UTF-8 with control bytes, '%', '[' and ']' percent-encoded;
// the type is decimal and the data is hexadecimal, so every value keeps its exact bytes.

struct RegistryKey {
    std::string path;  // below HKEY_CURRENT_USER, components joined by '\'
    REGSAM access = 0;
};

namespace {

constexpr const char* kHeader = "Fenwrap registry 1";
// A settings store has no business being larger; anything bigger is treated as damage rather
// than read into memory.
constexpr off_t kMaxStoreBytes = 16 * 1024 * 1024;
// Damaged stores set aside before the oldest backups are left alone and the next is dropped.
constexpr int kMaxDamagedBackups = 100;
constexpr int kLockWaitMs = 10000;

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::string path;
    std::vector<Value> values;
};

enum class LoadState { Missing, Good, Damaged, Unreadable };

struct Store {
    LoadState state = LoadState::Missing;
    std::vector<Key> keys;
};

std::mutex g_mutex;
std::set<HKEY> g_openKeys;

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// True when path names key itself or one of the keys below it.
bool IsAtOrBelow(const std::string& key, const std::string& path)
{
    if (path.empty()) return true;
    if (key.size() < path.size()) return false;
    if (!EqualNoCase(key.substr(0, path.size()), path)) return false;
    return key.size() == path.size() || key[path.size()] == '\\';
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7f || c == '%' || c == '[' || c == ']'; }

std::string Escape(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (NeedsEscape(c)) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            if (NeedsEscape(c)) return false;
            out += static_cast<char>(c);
            continue;
        }
        if (text.size() - i < 3) return false;
        const int hi = HexDigit(text[i + 1]);
        const int lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ParseHex(const std::string& text, std::vector<BYTE>& out)
{
    if (text.size() % 2 != 0) return false;
    out.clear();
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<BYTE>(hi * 16 + lo));
    }
    return true;
}

bool ParseType(const std::string& text, DWORD& type)
{
    if (text.empty() || text.size() > 10) return false;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    type = static_cast<DWORD>(n);
    return true;
}

Key* FindKey(Store& store, const std::string& path)
{
    for (Key& key : store.keys)
        if (EqualNoCase(key.path, path)) return &key;
    return nullptr;
}

bool KeyExists(const Store& store, const std::string& path)
{
    if (path.empty()) return true;
    return std::any_of(store.keys.begin(), store.keys.end(), [&](const Key& k) { return IsAtOrBelow(k.path, path); });
}

Value* FindValue(Key& key, const std::string& name)
{
    for (Value& value : key.values)
        if (EqualNoCase(value.name, name)) return &value;
    return nullptr;
}

// Parses the store's text. Lines that cannot be understood are dropped one by one, so one
// damaged line costs only itself; a file that is not a store at all counts as damaged whole.
void Parse(const std::string& text, Store& store)
{
    size_t pos = 0;
    auto nextLine = [&](std::string& line) {
        if (pos >= text.size()) return false;
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        return true;
    };
    std::string line;
    if (!nextLine(line) || line != kHeader) {
        store.state = LoadState::Damaged;
        return;
    }
    store.state = LoadState::Good;
    Key* current = nullptr;
    while (nextLine(line)) {
        if (line.empty()) continue;
        if (line.front() == '[') {
            std::string path;
            current = nullptr;
            if (line.back() != ']' || !Unescape(line.substr(1, line.size() - 2), path) || path.empty()) continue;
            current = FindKey(store, path);
            if (!current) {
                store.keys.push_back(Key{path, {}});
                current = &store.keys.back();
            }
            continue;
        }
        if (!current) continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;
        Value value;
        if (!Unescape(line.substr(0, tab1), value.name) || !ParseType(line.substr(tab1 + 1, tab2 - tab1 - 1), value.type) ||
            !ParseHex(line.substr(tab2 + 1), value.data))
            continue;
        if (Value* old = FindValue(*current, value.name))
            *old = std::move(value);
        else
            current->values.push_back(std::move(value));
    }
}

std::string Serialize(const Store& store)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = std::string(kHeader) + "\n";
    for (const Key& key : store.keys) {
        // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about a literal + string.
        out += '[';
        out += Escape(key.path);
        out += "]\n";
        for (const Value& value : key.values) {
            out += Escape(value.name) + "\t" + std::to_string(value.type) + "\t";
            for (BYTE b : value.data) {
                out += digits[b >> 4];
                out += digits[b & 15];
            }
            out += "\n";
        }
    }
    return out;
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

Store Load()
{
    Store store;
    const std::string path = RegistryStorePath();
    if (path.empty()) return store;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        store.state = errno == ENOENT || errno == ENOTDIR ? LoadState::Missing : LoadState::Unreadable;
        return store;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        store.state = LoadState::Unreadable;
        return store;
    }
    if (st.st_size > kMaxStoreBytes) {
        ::close(fd);
        store.state = LoadState::Damaged;
        return store;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            store.state = LoadState::Unreadable;
            return store;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        // The file may grow while it is read; the cap holds all the same.
        if (text.size() > static_cast<size_t>(kMaxStoreBytes)) {
            ::close(fd);
            store.state = LoadState::Damaged;
            return store;
        }
    }
    ::close(fd);
    Parse(text, store);
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

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Sets a damaged store aside under the first backup name not taken, so that one damaged store
// never replaces the backup of an earlier one. A hard link keeps the old file whole while the
// new store is renamed over its name.
void KeepDamaged(const std::string& path)
{
    for (int n = 1; n <= kMaxDamagedBackups; ++n) {
        std::string backup = path + ".damaged";
        if (n > 1) {
            backup += '.';
            backup += std::to_string(n);
        }
        if (::link(path.c_str(), backup.c_str()) == 0 || errno != EEXIST) return;
    }
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
    FileReplacement replacement;
    if (replacement.Begin(path, 0600) != 0) return ERROR_ACCESS_DENIED;
    if (!WriteAll(replacement.Descriptor(), Serialize(store))) return ERROR_WRITE_FAULT;
    if (store.state == LoadState::Damaged) KeepDamaged(path);
    return replacement.Commit() == 0 ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// Holds the store's folder locked against the other running copies of the program: shared
// while reading, exclusive for a change's whole read, modify and write, so that no copy
// writes back a store without another's change. The folder is locked rather than the store,
// which each change replaces. A copy that holds the lock for too long (stopped, not dead:
// the dead release it) is not waited for beyond kLockWaitMs.
class StoreLock {
public:
    explicit StoreLock(bool exclusive)
    {
        const std::string folder = StoreFolder();
        if (folder.empty()) return;
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return;
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

private:
    int m_fd = -1;
};

// One change of the store as a locked read, modify and write. edit returns false when it
// changed nothing, and then nothing is written.
template <class Edit> LSTATUS Change(Edit&& edit)
{
    const std::string path = RegistryStorePath();
    if (path.empty() || !MakeFolders(StoreFolder())) return ERROR_ACCESS_DENIED;
    StoreLock lock(true);
    Store store = Load();
    if (!edit(store)) return ERROR_SUCCESS;
    return Save(store);
}

// The store as it stands, read under a shared lock.
Store LoadShared()
{
    StoreLock lock(false);
    return Load();
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
    if (!KeyExists(LoadShared(), path)) return ERROR_FILE_NOT_FOUND;
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
        Key* target = FindKey(store, path);
        if (!target) {
            store.keys.push_back(Key{path, {}});
            target = &store.keys.back();
        }
        Value* value = FindValue(*target, name);
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
    Store store = LoadShared();
    Key* found = FindKey(store, path);
    const Value* value = found ? FindValue(*found, ValueName(valueName)) : nullptr;
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
