#include "Writers.h"

#include "CodePage.h"
#include "EngineMessages.h"
#include "FenwrapApp.h"
#include "FileAlias.h"
#include "FileErrors.h"
#include "MessageBox.h"
#include "SfntWriter.h"
#include "WOFF.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(BYTE* p) const { std::free(p); }
};

} // namespace

BOOL SaveMemFile(CMemFile& memory, LPCWSTR path)
{
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeCreate | CFile::modeReadWrite, &error)) {
        ReportFileOpenError(&error);
        return FALSE;
    }
    const auto length = static_cast<UINT>(memory.GetLength());
    const std::unique_ptr<BYTE, FreeDeleter> buffer(memory.Detach());
    file.Write(buffer.get(), length);
    file.Close();
    return TRUE;
}

namespace {

// The metadata file's bytes. FALSE (reported) when it cannot be opened or is larger than any
// metadata block a reader accepts: the WOFF would be written, but no decoder would take it.
BOOL ReadMetaDataFile(LPCWSTR path, std::vector<BYTE>& bytes)
{
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead, &error)) {
        ReportFileOpenError(&error);
        return FALSE;
    }
    const ULONGLONG length = file.GetLength();
    if (length > kMaxMetaDataSize) {
        AfxMessageBox(kMsgCompressFailed);
        return FALSE;
    }
    bytes.resize(static_cast<size_t>(length));
    if (!bytes.empty()) bytes.resize(file.Read(bytes.data(), static_cast<UINT>(bytes.size())));
    file.Close();
    return TRUE;
}

// The source path as the embedding library reads it: 8-bit text in the thread's code page,
// two bytes for every UTF-16 unit. A name the code page cannot spell would reach the library
// with '?' in it and name another file, or none, so such a file is handed over by an alias.
std::string AnsiSourcePath(LPCWSTR src, const CFileAlias& alias)
{
    const int units = CString(src).GetLength() + 1;
    std::vector<char> ansi(static_cast<size_t>(units) * 2, '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, src, -1, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
    std::vector<WCHAR> back(static_cast<size_t>(units) + 1, u'\0');
    const int got = MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), -1, back.data(), static_cast<int>(back.size()));
    if (got == units && CString(back.data()) == CString(src)) return ansi.data();
    return alias.GetPath();
}

} // namespace

BOOL WriteWOFFFile(CWOFF* pWOFF, LPCWSTR woffPath, LPCWSTR metaPath)
{
    std::vector<BYTE> metaData;
    if (metaPath && *metaPath && !ReadMetaDataFile(metaPath, metaData)) return FALSE;

    CMemFile memory(kMemFileGrowth);
    const BOOL encoded = pWOFF->EncodeWOFF(&memory, metaData.empty() ? nullptr : metaData.data(),
                                           static_cast<UINT>(metaData.size()));
    std::vector<BYTE>().swap(metaData);
    if (!encoded) return FALSE;
    return SaveMemFile(memory, woffPath);
}

unsigned long WriteEmbedProc(void* stream, const void* buffer, const unsigned long size)
{
    static_cast<CFile*>(stream)->Write(buffer, static_cast<UINT>(size));
    return size;
}

BOOL MakeEOTByT2embed(LPCWSTR src, LPCWSTR eotPath, int fontIndex)
{
    HDC hdc = GetDC(nullptr);
    const CFileAlias alias(src);
    const std::string ansiPath = AnsiSourcePath(src, alias);

    ULONG privStatus = 0;
    ULONG status = 0;
    CMemFile memory(kMemFileGrowth);
    const LONG result = g_pfnTTEmbedFontFromFileA(hdc, ansiPath.c_str(), static_cast<USHORT>(fontIndex),
                                                  TTEMBED_TTCOMPRESSED, CHARSET_UNICODE, &privStatus, &status,
                                                  WriteEmbedProc, &memory, nullptr, 0, 0, nullptr);
    ReleaseDC(nullptr, hdc);
    if (result != 0) {
        CString message;
        message.Format(u"EOTの作成に失敗しました。(エラーコード %d)", static_cast<int>(result));
        AfxMessageBox(message, MB_OK, 0);
        return FALSE;
    }
    return SaveMemFile(memory, eotPath);
}

BOOL WriteFontFromWOFF(CWOFF* pWOFF, LPCWSTR fontPath)
{
    CMemFile memory(kMemFileGrowth);
    if (!pWOFF->DecodeWOFF(&memory)) return FALSE;
    return SaveMemFile(memory, fontPath);
}
