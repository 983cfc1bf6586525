// Run-time loading of the platform's shared libraries, with the calls the program makes.
//
// File names: the program asks for a library by its platform name, "T2embed.dll". On Linux a
// name "X.dll" (any case of the extension) is the file "libX.so"; a name without ".dll" gets
// "lib" and ".so" around it as well. A bare name is looked for only in the folder of the
// running executable (never on the loader's search path nor in the current folder, so a stray
// library elsewhere cannot stand in for ours); when that folder cannot be known, nothing is
// loaded. A name with an absolute folder keeps it; a relative folder is below the
// executable's.
#pragma once

#include "Types.h"

#include <string>

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
// A generic function pointer, cast by the caller to the entry's real type. It takes no
// arguments and returns nothing so that the cast is the one compilers accept without warning.
using FARPROC = void (*)();

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// NULL on failure, with GetLastError() = ERROR_MOD_NOT_FOUND.
HMODULE LoadLibraryW(LPCWSTR fileName);
// NULL when the module does not export the name (GetLastError() = ERROR_PROC_NOT_FOUND).
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// The file LoadLibraryW opens for a name, in UTF-8; empty when nothing may be loaded for it.
std::string LibraryFilePath(LPCWSTR fileName);
// The running executable's full path, whatever its length; empty when it cannot be read.
std::string ExecutablePath();
