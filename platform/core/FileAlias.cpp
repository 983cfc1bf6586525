#include "FileAlias.h"

#include "String.h"

#include <fcntl.h>
#include <unistd.h>

CFileAlias::CFileAlias(LPCWSTR path)
{
    const std::string name = CString(path).ToUtf8();
    if (name.empty()) return;
    // A path descriptor: no read access is needed to take it, and a FIFO or device is not opened
    // (so nothing blocks here); whoever opens the alias gets the file with its own rights.
    m_fd = ::open(name.c_str(), O_PATH | O_CLOEXEC);
    if (m_fd >= 0) m_alias = "/proc/self/fd/" + std::to_string(m_fd);
}

CFileAlias::~CFileAlias()
{
    if (m_fd >= 0) ::close(m_fd);
}
