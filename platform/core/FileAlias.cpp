#include "FileAlias.h"

#include "File.h"
#include "FileReplacement.h"
#include "String.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

CFileAlias::CFileAlias(LPCWSTR path)
{
    const std::string name = CString(path).ToUtf8();
    if (name.empty()) return;
    // A path descriptor: no read access is needed to take it, and a FIFO or device is not opened
    // (so nothing blocks here); whoever opens the alias gets the file with its own rights.
    m_fd = ::open(name.c_str(), O_PATH | O_CLOEXEC);
    NameDescriptor();
}

CFileAlias::CFileAlias(const CFile& file)
{
    // A descriptor of our own, so that the alias outlives the file object's.
    if (file.m_fd >= 0) m_fd = ::fcntl(file.m_fd, F_DUPFD_CLOEXEC, 0);
    NameDescriptor();
}

CFileAlias::CFileAlias(const void* data, size_t size)
{
    const int fd = ::memfd_create("fenwrap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return;
    if (!WriteAll(fd, data, size) ||
        ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    NameDescriptor();
}

CFileAlias::~CFileAlias()
{
    if (m_fd >= 0) ::close(m_fd);
}

void CFileAlias::NameDescriptor()
{
    // Opening this name opens the descriptor's own file, not whatever its path now leads to.
    if (m_fd >= 0) m_alias = "/proc/self/fd/" + std::to_string(m_fd);
}
