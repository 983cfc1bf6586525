#include "Woff2Step.h"

#include "FenwrapDlg.h"
#include "File.h"
#include "FileErrors.h"
#include "Limits.h"
#include "MessageBox.h"
#include "SfntWriter.h"
#include "Thread.h"
#include "WOFF.h"
#include "resource.h"

#include <woff2/decode.h>
#include <woff2/encode.h>
#include <woff2/output.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

constexpr const char16_t* kMsgConverting = u"WOFF2に変換中です。";
constexpr const char16_t* kMsgConverted = u"正常に変換しました。";
constexpr const char16_t* kMsgWOFF2Failed = u"WOFF2の作成に失敗しました。";
constexpr const char16_t* kMsgWOFF2DecodeFailed = u"WOFF2をフォントに変換できませんでした。";

// Files are read and written in pieces, as CFile counts bytes in 32 bits.
constexpr size_t kFilePiece = size_t(1) << 30;

const BYTE* Bytes(std::string_view data) { return reinterpret_cast<const BYTE*>(data.data()); }

// What the status line adds to "WOFF2に変換中です。" for a font of size bytes.
const char16_t* SizeNote(ULONGLONG size)
{
    if (size >= 41943040) return u"10分以上かかると思われます。";
    if (size >= 2097152) return u"数分かかると思われます。";
    if (size >= 1048576) return u"しばらくお待ちください。";
    return u"";
}

using Buffer = std::unique_ptr<BYTE, decltype(&std::free)>;

// The font, encoded with the metadata as its extended metadata, into an output buffer of the
// library's own size for both, so that a metadata file of any size the library takes fits;
// length becomes the WOFF2's. Null when the library refuses.
Buffer EncodeWOFF2(const std::string& font, std::string metaData, size_t& length)
{
    length = woff2::MaxWOFF2CompressedSize(Bytes(font), font.size(), metaData);
    // Zeros, as the library pads between what it writes. Taken zeroed from the system, so the
    // part of a buffer the size of the font that the much smaller output leaves alone costs no
    // memory.
    Buffer buffer(static_cast<BYTE*>(std::calloc(length, 1)), &std::free);
    if (!buffer) throw std::bad_alloc();
    woff2::WOFF2Params params;
    params.extended_metadata = std::move(metaData);
    if (!woff2::ConvertTTFToWOFF2(Bytes(font), font.size(), buffer.get(), &length, params)) buffer.reset();
    return buffer;
}

// The library encodes some fonts into files that its own decoder refuses (a table tag outside
// ASCII, for one); such a file is no WOFF2 to report as made.
bool DecodesAgain(const BYTE* data, size_t length)
{
    const size_t size = woff2::ComputeWOFF2FinalSize(data, length);
    if (size == 0) return false;
    std::string font;
    woff2::WOFF2StringOut out(&font);
    out.SetMaxSize(size);
    return woff2::ConvertWOFF2ToTTF(data, length, &out);
}

// The worker's whole job, on its own copies of the paths; any exception means failure.
bool MakeWOFF2File(const CString& fontPath, const CString& woff2Path, const CString& metaDataPath)
{
    // WOFF2 counts a font's size in 32 bits, and the engine reads no font this large; a metadata
    // file past the cap that every reader applies would make a WOFF2 that no decoder takes.
    std::string metaData = ReadWholeFile(metaDataPath, kMaxMetaDataSize);
    const std::string font = ReadWholeFile(fontPath, kMaxSfntSize);
    size_t length = 0;
    const Buffer woff2 = EncodeWOFF2(font, std::move(metaData), length);
    if (!woff2 || !DecodesAgain(woff2.get(), length)) return false;
    const std::string_view written(reinterpret_cast<const char*>(woff2.get()), length);
    return WriteWholeFile(woff2Path, written) == WriteResult::Written;
}

// The WOFF2 file at src decoded into font, which holds what the decoder wrote; claimed becomes
// the header's totalSfntSize, which the decoder may not write past and which the font file is
// made as long as. sourceLength is the file's size as the engine found it. False when the file
// is implausible, cannot be held or decoded.
bool DecodeWOFF2(LPCWSTR src, ULONGLONG sourceLength, std::string& font, size_t& claimed)
{
    if (sourceLength > kMaxSfntSize) return false;
    try {
        const std::string woff2 = ReadWholeFile(src);
        claimed = woff2::ComputeWOFF2FinalSize(Bytes(woff2), woff2.size());
        if (claimed == 0 || claimed > kMaxSfntSize || claimed > woff2.size() * kMaxWOFF2Expansion) return false;
        // The output grows with what the decoder writes: a claim without the data behind it
        // costs no memory.
        woff2::WOFF2StringOut out(&font);
        out.SetMaxSize(claimed);
        return woff2::ConvertWOFF2ToTTF(Bytes(woff2), woff2.size(), &out);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

void WritePieces(CFile& file, const char* data, size_t size)
{
    for (size_t done = 0; done < size;) {
        const size_t n = std::min(kFilePiece, size - done);
        file.Write(data + done, static_cast<UINT>(n));
        done += n;
    }
}

// Zeros are written from one small block, so that a long run of them is never held whole.
void WriteZeros(CFile& file, ULONGLONG count)
{
    static const char kZeros[64 * 1024] = {};
    for (ULONGLONG done = 0; done < count;) {
        const size_t n = static_cast<size_t>(std::min<ULONGLONG>(sizeof kZeros, count - done));
        WritePieces(file, kZeros, n);
        done += n;
    }
}

void EnableButton(CWnd& dialog, int id, BOOL enable)
{
    if (CWnd* button = dialog.GetDlgItem(id)) button->EnableWindow(enable);
}

} // namespace

std::string ReadWholeFile(LPCWSTR path, ULONGLONG cap)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead)) return {};
    std::string data;
    try {
        const ULONGLONG expected = file.GetLength();
        if (expected > cap || expected > data.max_size()) throw std::bad_alloc();
        data.resize(static_cast<size_t>(expected));
        size_t done = 0;
        while (done < data.size()) {
            const UINT n = file.Read(data.data() + done, static_cast<UINT>(std::min(kFilePiece, data.size() - done)));
            if (n == 0) break;
            done += n;
        }
        data.resize(done);
        // Whatever its size said, a file is read to its end (one that grew, a pipe).
        char piece[65536];
        while (const UINT n = file.Read(piece, sizeof piece)) {
            data.append(piece, n);
            if (data.size() > cap) throw std::bad_alloc();
        }
    } catch (CFileException* e) {
        e->Delete();
        return {};
    } catch (const std::length_error&) {
        throw std::bad_alloc();
    }
    return data;
}

WriteResult WriteWholeFile(LPCWSTR path, std::string_view data, CFileException* error, ULONGLONG length)
{
    CFileException openError;
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite, &openError)) {
        if (error) *error = openError;
        return WriteResult::NotOpened;
    }
    try {
        WritePieces(file, data.data(), data.size());
        WriteZeros(file, length > data.size() ? length - data.size() : 0);
        file.Close();
    } catch (CFileException* e) {
        file.Abort();
        if (error) *error = *e;
        e->Delete();
        return WriteResult::NotWritten;
    }
    return WriteResult::Written;
}

UINT WOFF2ConvertThreadProc(LPVOID pParam)
{
    const auto* block = static_cast<const WOFF2ThreadParam*>(pParam);
    const HWND hWnd = block->hWnd;
    WPARAM result = 1;
    try {
        const CString fontPath = block->strFontPath;
        const CString woff2Path = block->strWOFF2Path;
        const CString metaDataPath = block->strMetaDataPath;
        if (MakeWOFF2File(fontPath, woff2Path, metaDataPath)) result = 0;
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
        // Out of memory, or the library gave up in its own way: the window still hears of it.
    }
    PostMessageW(hWnd, WM_WOFF2_FINISHED, result, 0);
    return 0;
}

void CFenwrapDlg::StartWOFF2Conversion(LPCWSTR font, LPCWSTR woff2Path, LPCWSTR metaPath)
{
    static WOFF2ThreadParam param;
    param.strFontPath = CString(font);
    param.strWOFF2Path = CString(woff2Path);
    param.strMetaDataPath = CString(metaPath);
    param.hWnd = GetSafeHwnd();

    CFileStatus status;
    if (!CFile::GetStatus(param.strFontPath, status)) status.m_size = 0;
    SetDlgItemText(IDC_STATIC_STATUS, CString(kMsgConverting) + SizeNote(status.m_size));

    m_bWOFF2Running = TRUE;
    const bool started = AfxBeginThread(WOFF2ConvertThreadProc, &param) != nullptr;
    EnableButton(*this, IDOK, FALSE);
    EnableButton(*this, IDCANCEL, FALSE);
    // No worker will ever post: this thread says so itself, and the buttons come back.
    if (!started) OnWOFF2Finished(1, 0);
}

LRESULT CFenwrapDlg::OnWOFF2Finished(WPARAM wParam, LPARAM)
{
    SetDlgItemText(IDC_STATIC_STATUS, u"");
    AfxMessageBox(wParam == 0 ? kMsgConverted : kMsgWOFF2Failed, MB_OK);
    EnableButton(*this, IDOK, TRUE);
    EnableButton(*this, IDCANCEL, TRUE);
    m_bWOFF2Running = FALSE;
    m_woff2Source.reset();
    return 0;
}

void CFenwrapDlg::OnCancel()
{
    // The worker writes its file by path and posts to this window: the window stays until its
    // notice has been handled, whichever way it was asked to close.
    if (m_bWOFF2Running) return;
    CDialog::OnCancel();
}

BOOL ConvertWOFF2ToFont(CWOFF* pWOFF, LPCWSTR src, LPCWSTR dst)
{
    if (!pWOFF->ShowWOFF2MetaData()) return FALSE;
    const ULONGLONG sourceLength = pWOFF->m_pFile->GetLength();
    pWOFF->m_pFile->Close();

    std::string font;
    size_t claimed = 0;
    if (!DecodeWOFF2(src, sourceLength, font, claimed)) {
        AfxMessageBox(kMsgWOFF2DecodeFailed, MB_OK);
        return FALSE;
    }
    // The font file is as long as its header claims, zeros after what the decoder wrote.
    CFileException error;
    switch (WriteWholeFile(dst, font, &error, claimed)) {
    case WriteResult::Written:
        return TRUE;
    case WriteResult::NotOpened:
        ReportFileOpenError(&error);
        return FALSE;
    case WriteResult::NotWritten:
        ReportFileWriteError(&error);
        return FALSE;
    }
    return FALSE;
}
