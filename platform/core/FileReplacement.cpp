#include "FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of symbolic links

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

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

std::string TemporaryName(const std::string& folder) { return folder + "/.fenwrap-" + RandomSuffix(); }

// The file a path finally names: symbolic links are followed, also one whose target does not
// exist yet (the new file is made there, as a shell's redirection would).
int ResolveLinks(const std::string& path, std::string& out)
{
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            out = current;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            out = current;
            return 0;
        }
        std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) return errno;
        if (n == 0 || static_cast<size_t>(n) >= link.size()) return EINVAL;  // changed under us
        const std::string target(link.data(), static_cast<size_t>(n));
        current = target[0] == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return ELOOP;
}

bool FolderIsClosedToUs(int err) { return err == EACCES || err == EPERM || err == EROFS; }

// A file system without unnamed files answers O_TMPFILE with one of these.
bool NoUnnamedFiles(int err) { return err == EOPNOTSUPP || err == EISDIR || err == EINVAL; }

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// Links an unnamed file into folder under a fresh name and returns that name.
int LinkUnnamed(int fd, const std::string& folder, std::string& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(folder);
        // Linking the descriptor itself needs a capability most users lack; its entry in
        // /proc does the same for everyone.
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno == EEXIST) continue;
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

} // namespace

int FileReplacement::Begin(const std::string& path, mode_t newFileMode)
{
    Abort();
    if (path.empty()) return ENOENT;
    if (const int err = ResolveLinks(path, m_target)) return err;
    struct stat st {};
    const bool exists = ::stat(m_target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        // A pipe or a device is no file a save may replace.
        if (!S_ISREG(st.st_mode)) return EACCES;
        // The old file must be one we may write, as writing it in place would require.
        if (::access(m_target.c_str(), W_OK) != 0) return errno;
    }
    int err = BeginInFolder(DirectoryOf(m_target), exists ? 0600 : newFileMode);
    if (err && exists && FolderIsClosedToUs(err)) err = BeginInPlace();
    if (err) {
        Abort();
        return err;
    }
    if (exists && m_targetFd < 0) {
        // The owner first: changing it clears the set-id bits that the mode then restores.
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) (void)::fchown(m_fd, static_cast<uid_t>(-1), st.st_gid);
        ::fchmod(m_fd, st.st_mode & 07777);
    }
    return 0;
}

int FileReplacement::BeginInFolder(const std::string& folder, mode_t mode)
{
    m_fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (m_fd >= 0) return 0;
    if (!NoUnnamedFiles(errno)) return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(folder);
        m_fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_named = true;
            m_tempPath = std::move(name);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int FileReplacement::BeginInPlace()
{
    m_targetFd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_targetFd < 0) return errno;
    struct stat st {};
    if (::fstat(m_targetFd, &st) != 0 || !S_ISREG(st.st_mode)) return EACCES;
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

int FileReplacement::CommitLinked()
{
    if (const int err = SyncFile(m_fd)) return err;
    const std::string folder = DirectoryOf(m_target);
    std::string name = m_tempPath;
    if (!m_named) {
        if (const int err = LinkUnnamed(m_fd, folder, name)) return err;
    }
    m_tempPath.clear();
    if (::rename(name.c_str(), m_target.c_str()) != 0) {
        const int err = errno;
        ::unlink(name.c_str());
        return err;
    }
    SyncFolder(folder);
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
    if (m_fd >= 0) ::close(m_fd);
    if (m_targetFd >= 0) ::close(m_targetFd);
    if (m_named && !m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_fd = m_targetFd = -1;
    m_named = false;
    m_tempPath.clear();
}
