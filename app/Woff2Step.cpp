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
#include <optional>
#include <vector>

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
// library's size for the font alone (its length and 1 KiB): the compressed metadata has to fit
// the margin. length becomes the WOFF2's. Null when the library refuses.
Buffer EncodeWOFF2(const std::string& font, std::string metaData, size_t& length)
{
    length = woff2::MaxWOFF2CompressedSize(Bytes(font), font.size());
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

// Whether the WOFF2 the library made is one to report as made. The library encodes some fonts
// into files that its own decoder refuses (a table tag outside ASCII, for one), and the
// browsers' sanitizers refuse a WOFF2 longer than the font it holds (large metadata can make one
// within the buffer's margin).
bool IsSoundWOFF2(const BYTE* data, size_t length)
{
    const size_t size = woff2::ComputeWOFF2FinalSize(data, length);
    if (size == 0 || length > size) return false;
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
    if (!woff2 || !IsSoundWOFF2(woff2.get(), length)) return false;
    const std::string_view written(reinterpret_cast<const char*>(woff2.get()), length);
    return WriteWholeFile(woff2Path, written) == WriteResult::Written;
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

// The decoder's output, written into the file being saved as it comes instead of being held:
// the decoder appends, and only goes back to fill in the table directory and the checksum
// adjustment, never reading what it wrote. Appends are gathered into one block first, as the
// glyphs come a few bytes at a time. Nothing is written past limit.
class FileOut : public woff2::WOFF2Out {
public:
    FileOut(CFile& file, size_t limit) : m_file(file), m_limit(limit) {}

    bool Write(const void* data, size_t n) override { return Write(data, m_size, n); }
    bool Write(const void* data, size_t offset, size_t n) override
    {
        if (offset > m_limit || n > m_limit - offset) return false;
        const char* bytes = static_cast<const char*>(data);
        if (offset == m_size && n < kBlock) {
            if (m_pending.size() + n > kBlock && !Flush()) return false;
            m_pending.insert(m_pending.end(), bytes, bytes + n);
            m_size += n;
            return true;
        }
        if (!Flush() || !Put(bytes, offset, n)) return false;
        m_size = std::max(m_size, offset + n);
        return true;
    }
    size_t Size() override { return m_size; }

    bool Flush()
    {
        if (!m_pending.empty() && !Put(m_pending.data(), m_size - m_pending.size(), m_pending.size())) return false;
        m_pending.clear();
        return true;
    }
    // The cause when writing the file failed, rather than the decoder.
    const CFileException* Error() const { return m_error ? &*m_error : nullptr; }

private:
    static constexpr size_t kBlock = 64 * 1024;

    bool Put(const char* data, size_t offset, size_t n)
    {
        try {
            m_file.Seek(static_cast<LONGLONG>(offset), CFile::begin);
            WritePieces(m_file, data, n);
            return true;
        } catch (CFileException* e) {
            m_error = *e;
            e->Delete();
            return false;
        }
    }

    CFile& m_file;
    size_t m_limit;
    size_t m_size = 0;
    std::vector<char> m_pending;  // the last bytes before m_size, not yet written
    std::optional<CFileException> m_error;
};

// Decodes woff2 into a font file at dst, exactly as long as the header's totalSfntSize: zeros
// after what the decoder wrote. Reports its failures; an earlier file at dst is kept on any.
BOOL DecodeWOFF2(const std::string& woff2, LPCWSTR dst)
{
    const size_t claimed = woff2::ComputeWOFF2FinalSize(Bytes(woff2), woff2.size());
    if (claimed == 0 || claimed > kMaxSfntSize || claimed > woff2.size() * kMaxWOFF2Expansion) {
        AfxMessageBox(kMsgWOFF2DecodeFailed, MB_OK);
        return FALSE;
    }
    CFileException error;
    CFile file;
    if (!file.Open(dst, CFile::modeCreate | CFile::modeWrite, &error)) {
        ReportFileOpenError(&error);
        return FALSE;
    }
    FileOut out(file, claimed);
    bool decoded = false;
    try {
        decoded = woff2::ConvertWOFF2ToTTF(Bytes(woff2), woff2.size(), &out) && out.Flush();
    } catch (const std::bad_alloc&) {
    }
    if (!decoded) {
        file.Abort();
        if (out.Error()) {
            error = *out.Error();
            ReportFileWriteError(&error);
        } else {
            AfxMessageBox(kMsgWOFF2DecodeFailed, MB_OK);
        }
        return FALSE;
    }
    try {
        file.Seek(static_cast<LONGLONG>(out.Size()), CFile::begin);
        WriteZeros(file, claimed - out.Size());
        file.Close();
    } catch (CFileException* e) {
        file.Abort();
        ReportFileWriteError(e);
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

// The rest of file from its start; a file larger than cap raises std::bad_alloc.
std::string ReadFromStart(CFile& file, ULONGLONG cap)
{
    std::string data;
    try {
        file.SeekToBegin();
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
    } catch (const std::length_error&) {
        throw std::bad_alloc();
    }
    return data;
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
    try {
        return ReadFromStart(file, cap);
    } catch (CFileException* e) {
        e->Delete();
        return {};
    }
}

WriteResult WriteWholeFile(LPCWSTR path, std::string_view data, CFileException* error)
{
    CFileException openError;
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite, &openError)) {
        if (error) *error = openError;
        return WriteResult::NotOpened;
    }
    try {
        WritePieces(file, data.data(), data.size());
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

BOOL ConvertWOFF2ToFont(CWOFF* pWOFF, LPCWSTR, LPCWSTR dst)
{
    if (!pWOFF->ShowWOFF2MetaData()) return FALSE;
    // The bytes of the file the run opened and checked, read before it is closed: whatever has
    // been put at its name since (while the viewer or a question was open) is never read.
    std::string woff2;
    bool held = false;
    try {
        woff2 = ReadFromStart(*pWOFF->m_pFile, kMaxSfntSize);
        held = true;
    } catch (const std::bad_alloc&) {
    } catch (CException* e) {
        e->Delete();
    }
    pWOFF->m_pFile->Close();
    if (!held) {
        AfxMessageBox(kMsgWOFF2DecodeFailed, MB_OK);
        return FALSE;
    }
    return DecodeWOFF2(woff2, dst);
}
