#include "Exceptions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace {
std::atomic<FileExceptionTextProvider> g_fileTextProvider{nullptr};
}

BOOL CException::GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext) const
{
    if (helpContext) *helpContext = 0;
    if (!buffer || maxChars == 0) return FALSE;
    const CString text = GetErrorText();
    const UINT n = std::min<UINT>(static_cast<UINT>(text.GetLength()), maxChars - 1);
    std::copy_n(text.GetString(), n, buffer);
    buffer[n] = 0;
    return TRUE;
}

CString CMemoryException::GetErrorText() const
{
    return u"メモリが不足しています。";
}

int CFileException::CauseFromErrno(int err)
{
    switch (err) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR: case ENAMETOOLONG: case ELOOP: case EINVAL: return badPath;
    case EMFILE: case ENFILE: return tooManyOpenFiles;
    case EACCES: case EPERM: case EROFS: case EISDIR: case EEXIST: return accessDenied;
    case EBADF: return invalidFile;
    case ESPIPE: case EOVERFLOW: return badSeek;
    case EIO: return hardIO;
    case EBUSY: case ETXTBSY: return sharingViolation;
    case ENOLCK: case EDEADLK: return lockViolation;
    case ENOSPC: case EDQUOT: case EFBIG: return diskFull;
    default: return genericException;
    }
}

CString CFileException::GetErrorText() const
{
    if (auto provider = g_fileTextProvider.load()) return provider(*this);
    CString text;
    text.Format(u"ファイル %s でエラーが発生しました。(原因 %d)", m_strFileName.GetString(), m_cause);
    return text;
}

void SetFileExceptionTextProvider(FileExceptionTextProvider provider)
{
    g_fileTextProvider.store(provider);
}

void AfxThrowMemoryException()
{
    throw new CMemoryException();
}

void AfxThrowFileException(int cause, LONG osError, const CString& fileName)
{
    throw new CFileException(cause, osError, fileName);
}
