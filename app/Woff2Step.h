// Everything that goes through the woff2 library: the WOFF2 output of an encoding run, made on
// a worker thread while the window stays responsive, and decoding a WOFF2 source into a font.
// The encoder holds the font and its WOFF2 whole in memory; the decoder holds the WOFF2 and
// writes the font as it makes it.
#pragma once

#include "Exceptions.h"
#include "String.h"
#include "Types.h"
#include "Window.h"

#include <string>
#include <string_view>

class CWOFF;

// Posted by the worker to the main window once per run: wParam 0 when the WOFF2 file was
// written, 1 when it was not; lParam 0.
inline constexpr UINT WM_WOFF2_FINISHED = WM_USER + 100;

// The worker's parameters. There is one, a function-local static of
// CFenwrapDlg::StartWOFF2Conversion; the worker copies it first thing and never reads it again.
struct WOFF2ThreadParam {
    WOFF2ThreadParam() = default;
    ~WOFF2ThreadParam() = default;

    CString strFontPath;      // the sfnt font to encode
    CString strWOFF2Path;     // the ".woff2" to write
    CString strMetaDataPath;  // empty: no metadata block
    HWND hWnd = nullptr;      // receives WM_WOFF2_FINISHED
};

// The whole content of the file at path; empty when it cannot be opened or read. A file too
// large to be held, or larger than cap, raises std::bad_alloc, so that no caller mistakes it
// for an empty one.
std::string ReadWholeFile(LPCWSTR path, ULONGLONG cap = ~ULONGLONG(0));

// What became of WriteWholeFile.
enum class WriteResult {
    Written,
    NotOpened,   // the target could not be created: the open-failure message applies
    NotWritten,  // writing or committing it failed: the write-failure message applies
};

// Writes data to path as a new file. The content goes to a temporary file that replaces the target only once it is complete, so a
// failure leaves an earlier file of that name as it was. On failure, error (when given)
// receives the cause and the file name for the file-error messages.
WriteResult WriteWholeFile(LPCWSTR path, std::string_view data, CFileException* error = nullptr);

// The worker: encodes the font named in the WOFF2ThreadParam at param into the WOFF2 file and
// posts WM_WOFF2_FINISHED. Returns 0.
UINT WOFF2ConvertThreadProc(LPVOID param);

// Decodes the WOFF2 source that woff (on its open file) reads into a font file at dst: shows
// the source's metadata first, then reads the open file and closes it; src, the path it was
// opened by, is not read again. The font goes into its file as the decoder makes it, not held
// in memory. TRUE when the font was written; FALSE after the user cancelled or the failure was
// reported.
BOOL ConvertWOFF2ToFont(CWOFF* woff, LPCWSTR src, LPCWSTR dst);
