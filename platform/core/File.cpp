#include "File.h"

#include "FileReplacement.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Read and write permission for everyone, less the umask, as for any new file a program saves.
constexpr mode_t kNewFileMode = 0666;

int NotARegularFile(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : EACCES; }

} // namespace

CFile::CFile() = default;

CFile::CFile(LPCTSTR fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        AfxThrowFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
}

CFile::~CFile()
{
    if (m_fd < 0) return;
    // Unwinding means the content is incomplete: keep whatever was there before.
    if (std::uncaught_exceptions() > 0) {
        Abort();
        return;
    }
    try {
        Close();
    } catch (CException* e) {
        e->Delete();
    }
}

BOOL CFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error)
{
    if (m_fd >= 0) Abort();
    m_strFileName = CString(fileName);
    const std::string path = m_strFileName.ToUtf8();
    auto fail = [&](int err) {
        if (error) {
            error->m_cause = CFileException::CauseFromErrno(err);
            // A missing folder is a bad path; only a missing file in an existing folder is
            // "not found", as the program's messages tell the two apart.
            struct stat dir {};
            if (err == ENOENT && !path.empty() && (::stat(DirectoryOf(path).c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)))
                error->m_cause = CFileException::badPath;
            error->m_lOsError = err;
            error->m_strFileName = m_strFileName;
        }
        return FALSE;
    };
    if (path.empty()) return fail(ENOENT);

    const bool create = openFlags & modeCreate;
    if (create && !(openFlags & modeNoTruncate)) {
        auto replacement = std::make_unique<FileReplacement>();
        if (const int err = replacement->Begin(path, kNewFileMode)) return fail(err);
        m_fd = replacement->Descriptor();
        m_replacement = std::move(replacement);
        return TRUE;
    }

    // Refused before open(), which would wait for a pipe's writer or wake a device.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return fail(NotARegularFile(st));
    int flags = O_RDONLY;
    if ((openFlags & 3) == modeWrite) flags = O_WRONLY;
    if ((openFlags & 3) == modeReadWrite) flags = O_RDWR;
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (create) flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags, kNewFileMode);
    if (fd < 0) return fail(errno);
    // The path may have changed between the look and the open.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = NotARegularFile(st);
        ::close(fd);
        return fail(err);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    return TRUE;
}

void CFile::ThrowErrno(int err) const
{
    AfxThrowFileException(CFileException::CauseFromErrno(err), err, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (m_fd < 0) AfxThrowFileException(CFileException::invalidFile, EBADF, m_strFileName);
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (m_fd < 0) AfxThrowFileException(CFileException::invalidFile, EBADF, m_strFileName);
    const auto* in = static_cast<const BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    if (m_fd < 0) AfxThrowFileException(CFileException::invalidFile, EBADF, m_strFileName);
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (pos < 0) AfxThrowFileException(CFileException::badSeek, errno, m_strFileName);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return static_cast<ULONGLONG>(st.st_size);
}

ULONGLONG CFile::GetPosition() const
{
    if (m_fd < 0) return 0;
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<ULONGLONG>(pos);
}

void CFile::Close()
{
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    if (auto replacement = std::move(m_replacement)) {
        if (const int err = replacement->Commit()) ThrowErrno(err);
        return;
    }
    if (::close(fd) != 0 && errno != EINTR) ThrowErrno(errno);
}

void CFile::Abort()
{
    if (m_fd < 0) return;
    if (m_replacement)
        m_replacement.reset();  // closes and discards the content
    else
        ::close(m_fd);
    m_fd = -1;
}

BOOL CFile::GetStatus(LPCTSTR fileName, CFileStatus& status)
{
    const std::string path = CString(fileName).ToUtf8();
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return FALSE;
    status.m_size = static_cast<ULONGLONG>(st.st_size);
    status.m_mtime = static_cast<long long>(st.st_mtime);
    status.m_attribute = S_ISDIR(st.st_mode) ? directory : normal;
    if (::access(path.c_str(), W_OK) != 0) status.m_attribute |= readOnly;
    char resolved[PATH_MAX];
    status.m_szFullName = ::realpath(path.c_str(), resolved) ? CString::FromUtf8(resolved) : CString(fileName);
    return TRUE;
}

CMemFile::CMemFile(UINT growBytes) : m_growBytes(growBytes ? growBytes : 1024) {}

CMemFile::~CMemFile()
{
    std::free(m_buffer);
}

void CMemFile::Reserve(size_t needed)
{
    if (needed <= m_capacity) return;
    // Grow geometrically whatever step was asked for, so that building a large output
    // costs amortised constant time per byte rather than a copy per step.
    size_t capacity = std::max({needed, m_capacity * 2, static_cast<size_t>(m_growBytes)});
    capacity = (capacity + m_growBytes - 1) / m_growBytes * m_growBytes;
    void* grown = std::realloc(m_buffer, capacity);
    if (!grown) AfxThrowMemoryException();
    m_buffer = static_cast<BYTE*>(grown);
    m_capacity = capacity;
}

UINT CMemFile::Read(void* buffer, UINT count)
{
    if (m_position >= m_size) return 0;
    const size_t n = std::min<size_t>(count, m_size - m_position);
    std::memcpy(buffer, m_buffer + m_position, n);
    m_position += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0) return;
    const size_t end = m_position + count;
    if (end < m_position) AfxThrowMemoryException();
    Reserve(end);
    if (m_position > m_size) std::memset(m_buffer + m_size, 0, m_position - m_size);
    std::memcpy(m_buffer + m_position, buffer, count);
    m_position = end;
    m_size = std::max(m_size, end);
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from)
{
    LONGLONG base = 0;
    if (from == current) base = static_cast<LONGLONG>(m_position);
    if (from == end) base = static_cast<LONGLONG>(m_size);
    const LONGLONG pos = base + offset;
    if (pos < 0) AfxThrowFileException(CFileException::badSeek, EINVAL);
    m_position = static_cast<size_t>(pos);
    return m_position;
}

void CMemFile::SetLength(ULONGLONG newLength)
{
    Reserve(static_cast<size_t>(newLength));
    if (newLength > m_size) std::memset(m_buffer + m_size, 0, static_cast<size_t>(newLength) - m_size);
    m_size = static_cast<size_t>(newLength);
    m_position = std::min(m_position, m_size);
}

BYTE* CMemFile::RoomAtEnd(size_t count)
{
    if (m_size + count < m_size) AfxThrowMemoryException();
    Reserve(m_size + count);
    return m_buffer + m_size;
}

void CMemFile::CommitRoom(size_t n)
{
    m_size += std::min(n, m_capacity - m_size);
    m_position = m_size;
}

BYTE* CMemFile::Detach()
{
    BYTE* buffer = m_buffer;
    m_buffer = nullptr;
    m_size = m_capacity = m_position = 0;
    return buffer;
}
