// A name for an existing file made of ASCII characters only, for a library that takes its paths
// as 8-bit text in a code page that cannot spell every name a Linux folder may hold.
#pragma once

#include "Types.h"

#include <string>

class CFileAlias {
public:
    // Holds the file open (without reading it) while the object lives; the alias names it for
    // as long, whatever its own name is.
    explicit CFileAlias(LPCWSTR path);
    ~CFileAlias();
    CFileAlias(const CFileAlias&) = delete;
    CFileAlias& operator=(const CFileAlias&) = delete;

    // Empty when the file could not be reached: a library given it fails as for a missing file.
    LPCSTR GetPath() const { return m_alias.c_str(); }

private:
    int m_fd = -1;
    std::string m_alias;
};
