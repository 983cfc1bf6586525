// Path parts and comparisons as the program uses them. Linux has no drive letters, so the drive
// part is always empty, and only "/" separates folders: a backslash is an ordinary character of
// a Linux file name.
#pragma once

#include "Types.h"

#include <cstddef>

// Buffer sizes, in UTF-16 units with the terminator, that hold every part of any path Linux can
// open: a folder part of PATH_MAX bytes, a name and an extension of NAME_MAX bytes.
inline constexpr size_t _MAX_DRIVE = 3;
inline constexpr size_t _MAX_DIR = 4096;
inline constexpr size_t _MAX_FNAME = 256;
inline constexpr size_t _MAX_EXT = 256;

// Cuts path into drive, folder (up to and including the last "/"), name and extension (the
// last element from its last "." on). Any part may be null. Returns 0; or, when a part does not
// fit its buffer, leaves every part empty and returns ERANGE (EINVAL for a null path).
int _wsplitpath_s(LPCWSTR path, LPWSTR drive, size_t driveSize, LPWSTR dir, size_t dirSize, LPWSTR fname,
                  size_t fnameSize, LPWSTR ext, size_t extSize);

// Compares two strings with ASCII letters folded to lower case: <0, 0 or >0.
int _wcsicmp(LPCWSTR a, LPCWSTR b);

// TRUE when both paths name one file: the same file (through links and other spellings of the
// path) when both exist, the same text otherwise.
BOOL AfxComparePath(LPCTSTR a, LPCTSTR b);
