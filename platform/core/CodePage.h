// Code-page conversions as the program calls them: UTF-16 to and from UTF-8 and code page 932
// (Shift-JIS as Windows extends it), through glibc's iconv. The thread locale decides what
// CP_ACP and CP_THREAD_ACP mean: 932 under Japanese (1041), 1252 otherwise.
#pragma once

#include "Types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

LCID GetThreadLocale();
BOOL SetThreadLocale(LCID locale);
DWORD GetLastError();
void SetLastError(DWORD error);

// A length of -1 means "up to and including the terminating zero". A destination size of 0
// asks for the size needed. Characters the code page lacks become defaultChar (or '?') and set
// *usedDefaultChar; a destination too small gives 0 and ERROR_INSUFFICIENT_BUFFER.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst, int dstSize,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
// Malformed input is replaced with U+FFFD (U+30FB for code page 932) unless
// MB_ERR_INVALID_CHARS asks for failure.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstSize);
