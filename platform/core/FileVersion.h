// The version resource of an executable. The build places a version block in a section of its
// own inside the executable file (see VersionBlock.h); these calls find it by reading the file
// at the given path, so they work for any of our executables, running or not.
#pragma once

#include "Types.h"

using LPDWORD = DWORD*;

// The block's root value: the file and product versions as pairs of 32-bit numbers, each
// holding two 16-bit parts (high word first).
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// The size of the file's version block, or 0 when the file cannot be read or holds none (or
// holds one that does not hold together).
DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle);
// Copies the block into data; fails when size is smaller than the block.
BOOL GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data);
// Looks up a value of a block that GetFileVersionInfoW filled: "\" gives the
// VS_FIXEDFILEINFO, "\VarFileInfo\Translation" the language and code-page pairs.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);
