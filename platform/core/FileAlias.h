// A name for an existing file made of ASCII characters only, for a library that takes its paths
// as 8-bit text in a code page that cannot spell every name a Linux folder may hold, and for
// whoever must read later the very file (or bytes) the program checked or wrote, not whatever
// its name leads to by then.
#pragma once

#include "Types.h"

#include <string>

class CFile;

class CFileAlias {
public:
    // Holds the file open (without reading it) while the object lives; the alias names it for
    // as long, whatever its own name is.
    explicit CFileAlias(LPCWSTR path);
    // The file an open CFile reads, even after that is closed and whatever has since been put
    // in its place: what a library opens by the alias is the file that was opened and checked.
    explicit CFileAlias(const CFile& file);
    // An unnamed file in memory holding size bytes of data, sealed against any change: what is
    // opened by the alias is these bytes, whatever is done to the file they were saved as.
    CFileAlias(const void* data, size_t size);
    ~CFileAlias();
    CFileAlias(const CFileAlias&) = delete;
    CFileAlias& operator=(const CFileAlias&) = delete;

    // Empty when the file could not be reached: a library given it fails as for a missing file.
    LPCSTR GetPath() const { return m_alias.c_str(); }

private:
    void NameDescriptor();

    int m_fd = -1;
    std::string m_alias;
};
