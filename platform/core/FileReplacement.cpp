#include "FileReplacement.h"

#include "PlatformLimits.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Content of ours must not run with another's rights, nor with ours when another may have
// chosen the file.
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;

std::string RandomSuffix()
{
    unsigned char bytes[8] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        const auto seed = static_cast<unsigned long long>(::getpid()) ^ static_cast<unsigned long long>(std::rand());
        for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(seed >> (i * 8));
    }
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string TemporaryName() { return ".fenwrap-" + RandomSuffix(); }

bool NamesNoFile(const std::string& name) { return name == "." || name == ".."; }

// Adds the names of path to the names still to walk, kept with the next one last. A path that
// ends in "/" names a folder, as it would with a "." after it.
void PushNames(std::vector<std::string>& pending, const std::string& path)
{
    if (!path.empty() && path.back() == '/') pending.push_back(".");
    for (size_t end = path.size(); end > 0;) {
        const size_t slash = path.rfind('/', end - 1);
        const size_t start = slash == std::string::npos ? 0 : slash + 1;
        if (end > start) pending.push_back(path.substr(start, end - start));
        if (slash == std::string::npos) break;
        end = slash;
    }
}

// The kernel's rules for shared folders (fs.protected_symlinks and fs.protected_regular), kept
// whatever the machine's setting: in a sticky, world-writable folder, a link is followed and an
// existing file replaced only when it is ours or its owner owns the folder. Anyone may plant an
// entry there that only they can remove, so using it would let them choose which of our files
// a save replaces, or keep a hand on what we write.
bool MayUse(int folder, const struct stat& entry)
{
    struct stat dir {};
    if (::fstat(folder, &dir) != 0) return false;
    if (!(dir.st_mode & S_ISVTX) || !(dir.st_mode & S_IWOTH)) return true;
    return entry.st_uid == ::geteuid() || entry.st_uid == dir.st_uid;
}

int ReadLink(int folder, const std::string& name, std::string& target)
{
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (n == 0 || static_cast<size_t>(n) >= buffer.size()) return EINVAL;  // changed under us
    target.assign(buffer.data(), static_cast<size_t>(n));
    return 0;
}

bool FolderIsClosedToUs(int err) { return err == EACCES || err == EPERM || err == EROFS; }

// A file system without unnamed files answers O_TMPFILE with one of these.
bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

void SyncFolder(int folder)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int SyncFile(int fd)
{
    // Some file systems (pipes, some FUSE ones) cannot sync; that is no failure of the write.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) return errno;
    return 0;
}

// Gives the unnamed file fd the name in folder; EEXIST when the name is taken.
int LinkAs(int fd, int folder, const std::string& name)
{
    // Linking the descriptor itself needs a capability most users lack; its entry in /proc
    // does the same for everyone.
    if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
}

// Links an unnamed file into folder under a fresh hidden name and returns that name.
int LinkUnnamed(int fd, int folder, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName();
        const int err = LinkAs(fd, folder, name);
        if (err != EEXIST) return err;
    }
    return EEXIST;
}

} // namespace

int FileReplacement::Begin(const std::string& path, mode_t newFileMode)
{
    Abort();
    if (path.empty()) return ENOENT;
    struct stat st {};
    int err = ResolveTarget(path, st, m_existed);
    if (!err && m_existed) {
        if (S_ISDIR(st.st_mode)) err = EISDIR;
        // A pipe or a device is no file a save may replace.
        else if (!S_ISREG(st.st_mode)) err = EACCES;
        else if (!MayUse(m_folderFd, st)) err = EACCES;
        // The old file must be one we may write, as writing it in place would require.
        else if (::faccessat(m_folderFd, m_name.c_str(), W_OK, 0) != 0) err = errno;
    }
    if (!err) {
        err = BeginInFolder(m_existed ? 0600 : newFileMode);
        if (err && m_existed && FolderIsClosedToUs(err)) err = BeginInPlace();
    }
    if (err) {
        Abort();
        return err;
    }
    if (m_existed && m_targetFd < 0) {
        // The owner first: changing it clears the set-id bits, which new content never gets.
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) (void)::fchown(m_fd, static_cast<uid_t>(-1), st.st_gid);
        ::fchmod(m_fd, st.st_mode & 07777 & ~kSetIdBits);
    }
    return 0;
}

// Walks path one name at a time, each relative to the folder reached so far, and follows every
// symbolic link met itself, in the folder part as at the end, so that each passes MayUse().
// Ends holding the final name's folder and that name; st is what the name holds, when exists.
// A link whose target does not exist yet leads to that target (the new file is made there, as
// a shell's redirection would).
int FileReplacement::ResolveTarget(const std::string& path, struct stat& st, bool& exists)
{
    std::vector<std::string> pending;  // the names still to walk, the next one last
    auto startAt = [&](const std::string& from) {
        if (from[0] == '/' || m_folderFd < 0) {
            if (m_folderFd >= 0) ::close(m_folderFd);
            m_folderFd = ::open(from[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        PushNames(pending, from);
        return m_folderFd < 0 ? errno : 0;
    };
    if (const int err = startAt(path)) return err;
    for (int links = 0; !pending.empty();) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        if (pending.empty() && !NamesNoFile(name)) {
            exists = ::fstatat(m_folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            if (!exists && errno != ENOENT) return errno;
            if (!exists || !S_ISLNK(st.st_mode)) {
                m_name = name;
                return 0;
            }
        } else {
            const int next = ::openat(m_folderFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next >= 0) {
                ::close(m_folderFd);
                m_folderFd = next;
                continue;
            }
            // A link is refused here as no folder, and then followed below.
            if (errno != ENOTDIR) return errno;
            if (::fstatat(m_folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
            if (!S_ISLNK(st.st_mode)) return ENOTDIR;
        }
        if (++links > kMaxLinks) return ELOOP;
        if (!MayUse(m_folderFd, st)) return EACCES;
        std::string target;
        if (const int err = ReadLink(m_folderFd, name, target)) return err;
        // A relative target is relative to the link's own folder, where the walk stands.
        if (const int err = startAt(target)) return err;
    }
    return EISDIR;  // the path ends in a folder
}

int FileReplacement::BeginInFolder(mode_t mode)
{
    m_fd = ::openat(m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (m_fd >= 0) return 0;
    if (!NoUnnamedFiles(errno)) return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName();
        m_fd = ::openat(m_folderFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_named = true;
            m_tempName = std::move(name);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int FileReplacement::BeginInPlace()
{
    // The name was no link when looked at; should it have become one since, it is not followed.
    m_targetFd = ::openat(m_folderFd, m_name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (m_targetFd < 0) return errno;
    struct stat st {};
    if (::fstat(m_targetFd, &st) != 0 || !S_ISREG(st.st_mode) || !MayUse(m_folderFd, st)) return EACCES;
    std::string folder = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') folder = tmp;
    m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0) return 0;
    std::string name = folder + "/.fenwrap-XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) return errno;
    ::unlink(name.c_str());  // the descriptor alone keeps it
    return 0;
}

int FileReplacement::Commit()
{
    if (m_fd < 0) return EBADF;
    const int err = m_targetFd >= 0 ? CommitInPlace() : CommitLinked();
    Abort();
    return err;
}

// A new target gets its name in one step, the unnamed file linked straight to it, so nothing
// else is ever seen in the folder. An existing one is replaced by a rename from a hidden name;
// what remains: a process killed between that link and the rename leaves the complete new
// content under the hidden name, as does one killed at any time on a file system without
// unnamed files.
int FileReplacement::CommitLinked()
{
    if (const int err = SyncFile(m_fd)) return err;
    if (!m_named && !m_existed) {
        const int err = LinkAs(m_fd, m_folderFd, m_name);
        if (err != EEXIST) {
            if (!err) SyncFolder(m_folderFd);
            return err;
        }
        // Made by someone else meanwhile: replaced, as a target that existed would be.
    }
    std::string name = m_tempName;
    if (!m_named) {
        if (const int err = LinkUnnamed(m_fd, m_folderFd, name)) return err;
    }
    m_tempName.clear();
    if (::renameat(m_folderFd, name.c_str(), m_folderFd, m_name.c_str()) != 0) {
        const int err = errno;
        ::unlinkat(m_folderFd, name.c_str(), 0);
        return err;
    }
    SyncFolder(m_folderFd);
    return 0;
}

int FileReplacement::CommitInPlace()
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return errno;
    const off_t size = st.st_size;
    // The space first, so that a full disk is found before the old content is touched.
    if (size > 0 && ::fallocate(m_targetFd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        return errno;
    // Where we may not change the mode (the file is not ours), the kernel clears these bits
    // itself on our first write.
    if (::fstat(m_targetFd, &st) == 0 && (st.st_mode & kSetIdBits))
        (void)::fchmod(m_targetFd, st.st_mode & 07777 & ~kSetIdBits);
    std::vector<char> buffer(1 << 16);
    for (off_t done = 0; done < size;) {
        const ssize_t n = ::pread(m_fd, buffer.data(), buffer.size(), done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        for (ssize_t put = 0; put < n;) {
            const ssize_t w = ::pwrite(m_targetFd, buffer.data() + put, static_cast<size_t>(n - put), done + put);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return w < 0 ? errno : EIO;
            put += w;
        }
        done += n;
    }
    if (::ftruncate(m_targetFd, size) != 0) return errno;
    return SyncFile(m_targetFd);
}

void FileReplacement::Abort()
{
    if (m_named && !m_tempName.empty() && m_folderFd >= 0) ::unlinkat(m_folderFd, m_tempName.c_str(), 0);
    if (m_fd >= 0) ::close(m_fd);
    if (m_targetFd >= 0) ::close(m_targetFd);
    if (m_folderFd >= 0) ::close(m_folderFd);
    m_fd = m_targetFd = m_folderFd = -1;
    m_named = m_existed = false;
    m_name.clear();
    m_tempName.clear();
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
