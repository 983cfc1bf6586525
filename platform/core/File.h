// CFile over POSIX descriptors, and CMemFile over one growing heap buffer.
//
// A file opened with modeCreate (and without modeNoTruncate) is written as a replacement
// (FileReplacement.h) that Close() puts in place: a reader never sees a half-written target,
// and a write that fails, or an exception that unwinds past the object, leaves any earlier
// file of that name as it was.
//
// Only regular files are opened: a folder, a pipe or a device is refused at once with
// CFileException::accessDenied, rather than blocking in open() or being replaced.
#pragma once

#include "Exceptions.h"
#include "String.h"
#include "Types.h"

#include <memory>

class FileReplacement;

struct CFileStatus {
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    long long m_mtime = 0;  // seconds since the epoch
    CString m_szFullName;
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    enum Attribute : BYTE { normal = 0x00, readOnly = 0x01, directory = 0x10 };

    CFile();
    // Opens at once; a failure throws the file exception.
    CFile(LPCTSTR fileName, UINT openFlags);
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    virtual ULONGLONG GetLength() const;
    virtual ULONGLONG GetPosition() const;
    virtual void Close();
    // Closes without committing: a file being created is discarded.
    virtual void Abort();
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    const CString& GetFilePath() const { return m_strFileName; }

    // TRUE when something exists at the path; fills status.
    static BOOL GetStatus(LPCTSTR fileName, CFileStatus& status);

protected:
    [[noreturn]] void ThrowErrno(int err) const;

private:
    friend class CFileAlias;  // names the open file by its descriptor
    int m_fd = -1;
    CString m_strFileName;
    std::unique_ptr<FileReplacement> m_replacement;  // when creating: the content until Close()
};

class CMemFile : public CFile {
public:
    explicit CMemFile(UINT growBytes = 1024);
    ~CMemFile() override;

    BOOL Open(LPCTSTR, UINT, CFileException* = nullptr) override { return FALSE; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetLength() const override { return m_size; }
    ULONGLONG GetPosition() const override { return m_position; }
    void Close() override {}
    void Abort() override {}
    void SetLength(ULONGLONG newLength);

    // Hands out the buffer, which the receiver releases with free(); the file is empty after.
    BYTE* Detach();
    // Direct view of the contents, valid until the next write.
    const BYTE* Data() const { return m_buffer; }
    // Room for count bytes after the end of the file, for a writer that fills it in place (a
    // compressor given room for its worst case). The room is not zeroed and is no part of the
    // file, so what is never filled costs no memory; CommitRoom(n) then appends its first n
    // bytes and puts the position at the new end. Valid until the next write.
    BYTE* RoomAtEnd(size_t count);
    void CommitRoom(size_t n);

private:
    void Reserve(size_t needed);

    BYTE* m_buffer = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_position = 0;
    UINT m_growBytes;
};
