// The exceptions the program expects from its file and memory objects. As in the class
// library the program was written for, they are thrown as pointers to heap objects and
// released by the catcher with Delete().
#pragma once

#include "String.h"
#include "Types.h"

class CObject {
public:
    virtual ~CObject() = default;
    virtual void Serialize() {}
};

class CException : public CObject {
public:
    // Writes the exception's own text into buffer (at most maxChars units, terminator included).
    virtual BOOL GetErrorMessage(LPTSTR buffer, UINT maxChars, PUINT helpContext = nullptr) const;
    virtual CString GetErrorText() const = 0;
    void Delete() { delete this; }
};

class CMemoryException : public CException {
public:
    CString GetErrorText() const override;
};

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, LONG osError, const CString& fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}

    // The cause code for an errno value from the operation that failed.
    static int CauseFromErrno(int err);

    CString GetErrorText() const override;

    int m_cause = none;
    LONG m_lOsError = -1;
    CString m_strFileName;
};

// Presents the text of a file exception's cause; the window layer installs the program's
// string table here so that uncaught exceptions are reported in the program's own words.
using FileExceptionTextProvider = CString (*)(const CFileException&);
void SetFileExceptionTextProvider(FileExceptionTextProvider provider);

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, const CString& fileName = CString());
