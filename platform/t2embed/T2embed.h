// The font-embedding library's interface as the program calls it: the file-based embedding
// entry point, its callback type, the request flags, status values and result codes.
//
// The library is a shared library of its own, loaded at run time (LoadLibraryW("T2embed.dll"),
// then GetProcAddress(module, "TTEmbedFontFromFileA")); the program includes this header only
// for the types and the values. The calling-convention macros are empty: Linux has one
// calling convention per architecture.
#pragma once

#include "Types.h"

#ifndef WINAPI
#define WINAPI
#endif
#ifndef WINAPIV
#define WINAPIV
#endif

struct HDC__;
using HDC = HDC__*;
using USHORT = std::uint16_t;

// Receives the next piece of the embedded-font structure; returns the number of bytes taken.
typedef unsigned long(WINAPIV* WRITEEMBEDPROC)(void* stream, const void* buffer, const unsigned long size);
typedef unsigned long(WINAPIV* READEMBEDPROC)(void* stream, void* buffer, const unsigned long size);

// Optional root strings (addresses the embedded font may be used from): usRootStrSize counts
// wide characters, terminators included; several strings are separated by a NUL.
struct TTEMBEDINFO {
    USHORT usStructSize;
    USHORT usRootStrSize;
    USHORT* pusRootStr;
};

// Request flags (ulFlags). The same bits, where they describe the data, appear in the
// embedded-font structure's own Flags field.
inline constexpr ULONG TTEMBED_RAW = 0x00000000;
inline constexpr ULONG TTEMBED_SUBSET = 0x00000001;
inline constexpr ULONG TTEMBED_TTCOMPRESSED = 0x00000004;
inline constexpr ULONG TTEMBED_FAILIFVARIATIONSIMULATED = 0x00000010;
inline constexpr ULONG TTEMBED_EMBEDEUDC = 0x00000020;
inline constexpr ULONG TTEMBED_WEBOBJECT = 0x00000080;
inline constexpr ULONG TTEMBED_XORENCRYPTDATA = 0x10000000;

// Status bits (*pulStatus).
inline constexpr ULONG TTEMBED_VARIATIONSIMULATED = 0x00000001;
inline constexpr ULONG TTEMBED_EUDCEMBEDDED = 0x00000002;
inline constexpr ULONG TTEMBED_SUBSETCANCEL = 0x00000004;

// Character sets of the subset character list (ulCharSet).
inline constexpr ULONG CHARSET_UNICODE = 1;
inline constexpr ULONG CHARSET_DEFAULT = 1;
inline constexpr ULONG CHARSET_SYMBOL = 2;
inline constexpr ULONG CHARSET_GLYPHIDX = 3;

// Embedding privileges (*pulPrivStatus): the least restrictive licence the font grants.
inline constexpr ULONG EMBED_PREVIEWPRINT = 1;
inline constexpr ULONG EMBED_EDITABLE = 2;
inline constexpr ULONG EMBED_INSTALLABLE = 3;
inline constexpr ULONG EMBED_NOEMBEDDING = 4;

// Licence bits of OS/2 fsType.
inline constexpr USHORT LICENSE_INSTALLABLE = 0x0000;
inline constexpr USHORT LICENSE_DEFAULT = 0x0000;
inline constexpr USHORT LICENSE_NOEMBEDDING = 0x0002;
inline constexpr USHORT LICENSE_PREVIEWPRINT = 0x0004;
inline constexpr USHORT LICENSE_EDITABLE = 0x0008;

// Result codes.
inline constexpr LONG E_NONE = 0x0000;
inline constexpr LONG E_API_NOTIMPL = 0x0001;
inline constexpr LONG E_CHARCODECOUNTINVALID = 0x0002;
inline constexpr LONG E_CHARCODESETINVALID = 0x0003;
inline constexpr LONG E_DEVICETRUETYPEFONT = 0x0004;
inline constexpr LONG E_HDCINVALID = 0x0006;
inline constexpr LONG E_NOFREEMEMORY = 0x0007;
inline constexpr LONG E_FONTREFERENCEINVALID = 0x0008;
inline constexpr LONG E_NOTATRUETYPEFONT = 0x000A;
inline constexpr LONG E_ERRORACCESSINGFONTDATA = 0x000C;
inline constexpr LONG E_ERRORACCESSINGFACENAME = 0x000D;
inline constexpr LONG E_ERRORUNICODECONVERSION = 0x0011;
inline constexpr LONG E_ERRORCONVERTINGCHARS = 0x0012;
inline constexpr LONG E_EXCEPTION = 0x0013;
inline constexpr LONG E_RESERVEDPARAMNOTNULL = 0x0014;
inline constexpr LONG E_CHARSETINVALID = 0x0015;
inline constexpr LONG E_FILE_NOT_FOUND = 0x0017;
inline constexpr LONG E_TTC_INDEX_OUT_OF_RANGE = 0x0018;
inline constexpr LONG E_INPUTPARAMINVALID = 0x0019;
inline constexpr LONG E_ERRORCOMPRESSINGFONTDATA = 0x0100;
inline constexpr LONG E_FONTDATAINVALID = 0x0102;
inline constexpr LONG E_NAMECHANGEFAILED = 0x0103;
inline constexpr LONG E_FONTNOTEMBEDDABLE = 0x0104;
inline constexpr LONG E_PRIVSINVALID = 0x0105;
inline constexpr LONG E_SUBSETTINGFAILED = 0x0106;
inline constexpr LONG E_READFROMSTREAMFAILED = 0x0107;
inline constexpr LONG E_SAVETOSTREAMFAILED = 0x0108;
inline constexpr LONG E_NOOS2 = 0x0109;
inline constexpr LONG E_T2NOFREEMEMORY = 0x010A;
inline constexpr LONG E_ERRORREADINGFONTDATA = 0x010B;
inline constexpr LONG E_FLAGSINVALID = 0x010C;
inline constexpr LONG E_ERRORCREATINGFONTFILE = 0x010D;
inline constexpr LONG E_FONTALREADYEXISTS = 0x010E;
inline constexpr LONG E_FONTNAMEALREADYEXISTS = 0x010F;
inline constexpr LONG E_FONTINSTALLFAILED = 0x0110;
inline constexpr LONG E_ERRORDECOMPRESSINGFONTDATA = 0x0111;
inline constexpr LONG E_ERRORACCESSINGEXCLUDELIST = 0x0112;
inline constexpr LONG E_FACENAMEINVALID = 0x0113;
inline constexpr LONG E_STREAMINVALID = 0x0114;
inline constexpr LONG E_STATUSINVALID = 0x0115;
inline constexpr LONG E_PRIVSTATUSINVALID = 0x0116;
inline constexpr LONG E_PERMISSIONSINVALID = 0x0117;
inline constexpr LONG E_PBENABLEDINVALID = 0x0118;
inline constexpr LONG E_SUBSETTINGEXCEPTION = 0x0119;
inline constexpr LONG E_SUBSTRING_TEST_FAIL = 0x011A;
inline constexpr LONG E_FONTVARIATIONSIMULATED = 0x011B;
inline constexpr LONG E_FONTFAMILYNAMENOTINFULL = 0x011D;
inline constexpr LONG E_ADDFONTFAILED = 0x0200;
inline constexpr LONG E_COULDNTCREATETEMPFILE = 0x0201;
inline constexpr LONG E_FONTFILECREATEFAILED = 0x0203;
inline constexpr LONG E_WINDOWSAPI = 0x0204;
inline constexpr LONG E_FONTFILENOTFOUND = 0x0205;
inline constexpr LONG E_RESOURCEFILECREATEFAILED = 0x0206;
inline constexpr LONG E_ERROREXPANDINGFONTDATA = 0x0207;
inline constexpr LONG E_ERRORGETTINGDC = 0x0208;
inline constexpr LONG E_EXCEPTIONINDECOMPRESSION = 0x0209;
inline constexpr LONG E_EXCEPTIONINCOMPRESSION = 0x020A;

// Reads the font file szFontFileName (8-bit text in the Japanese ANSI code page, 932), member
// usTTCIndex of a collection (0 for a single font; anything but a regular file, such as a folder,
// a pipe or a device, gives E_FILE_NOT_FOUND at once, unopened), and hands the whole embedded-font
// structure, in order, to lpfnWriteToStream(lpvWriteStream, ...) before returning E_NONE.
// This library writes only the compressed form of the whole font: without TTEMBED_TTCOMPRESSED,
// or with TTEMBED_SUBSET, the result is E_API_NOTIMPL. The character list, its count and the
// language (subsetting only) and hDC are not used.
extern "C" LONG WINAPI TTEmbedFontFromFileA(HDC hDC, LPCSTR szFontFileName, USHORT usTTCIndex, ULONG ulFlags,
                                            ULONG ulCharSet, ULONG* pulPrivStatus, ULONG* pulStatus,
                                            WRITEEMBEDPROC lpfnWriteToStream, LPVOID lpvWriteStream,
                                            USHORT* pusCharCodeSet, USHORT usCharCodeCount, USHORT usLanguage,
                                            TTEMBEDINFO* pTTEmbedInfo);

using PFN_TTEmbedFontFromFileA = decltype(&TTEmbedFontFromFileA);
