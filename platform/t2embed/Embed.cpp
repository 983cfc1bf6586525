// The exported entry point: argument checks, reading the file, the embedding permission, and
// handing the finished structure to the caller's callback.
#include "CodePage.h"
#include "EotHeader.h"
#include "Exceptions.h"
#include "Mtx.h"
#include "PlatformLimits.h"
#include "Sfnt.h"
#include "String.h"
#include "T2embed.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

using namespace t2e;

namespace {

constexpr ULONG kKnownFlags = TTEMBED_SUBSET | TTEMBED_TTCOMPRESSED | TTEMBED_FAILIFVARIATIONSIMULATED |
                              TTEMBED_EMBEDEUDC | TTEMBED_WEBOBJECT | TTEMBED_XORENCRYPTDATA;
constexpr std::uint8_t kXorKey = 0x50;
// The path arrives in the program's ANSI code page, which is Japanese from start-up on.
constexpr UINT kAnsiCodePage = 932;
constexpr size_t kOs2FsType = 8;

// fsType usage bits.
constexpr std::uint16_t kUsageMask = 0x000F;
constexpr std::uint16_t kBitmapOnly = 0x0200;

[[noreturn]] void Fail(long code) { throw EmbedError{code}; }

std::string FileSystemPath(LPCSTR ansiPath)
{
    const int units = MultiByteToWideChar(kAnsiCodePage, MB_ERR_INVALID_CHARS, ansiPath, -1, nullptr, 0);
    if (units <= 0) Fail(E_FILE_NOT_FOUND);
    std::u16string wide(static_cast<size_t>(units), u'\0');
    if (MultiByteToWideChar(kAnsiCodePage, MB_ERR_INVALID_CHARS, ansiPath, -1, wide.data(), units) != units) {
        Fail(E_FILE_NOT_FOUND);
    }
    wide.resize(static_cast<size_t>(units - 1));
    if (wide.empty()) Fail(E_FILE_NOT_FOUND);
    return CString(wide).ToUtf8();
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Only a regular file is a font file. Anything else is refused before it is opened, so that a
// pipe does not wait for its writer nor a device wake; the open itself does not block, for the
// name may have come to mean something else since the look.
int OpenRegularFile(const std::string& path, struct stat& st)
{
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) Fail(E_FILE_NOT_FOUND);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) Fail(E_FILE_NOT_FOUND);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        Fail(E_FILE_NOT_FOUND);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

Bytes ReadFontFile(const std::string& path)
{
    struct stat st {};
    FileDescriptor file(OpenRegularFile(path, st));
    if (static_cast<ULONGLONG>(st.st_size) > kMaxEmbedFontFileBytes) Fail(E_ERRORREADINGFONTDATA);
    Bytes data(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = read(file.Get(), data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(E_ERRORREADINGFONTDATA);
        got += static_cast<size_t>(n);
    }
    return data;
}

// Reports the least restrictive licence the font grants; E_FONTNOTEMBEDDABLE when it grants
// none that covers its outlines.
void CheckPermission(const SfntFont& font, ULONG* pulPrivStatus)
{
    const Span os2 = *font.Find(Tag("OS/2"));
    if (os2.size < kOs2FsType + 2) Fail(E_ERRORREADINGFONTDATA);
    const std::uint16_t fsType = PeekU16(os2, kOs2FsType);
    const std::uint16_t usage = fsType & kUsageMask;
    ULONG privilege = EMBED_NOEMBEDDING;
    if (usage == LICENSE_INSTALLABLE) privilege = EMBED_INSTALLABLE;
    else if (usage & LICENSE_EDITABLE) privilege = EMBED_EDITABLE;
    else if (usage & LICENSE_PREVIEWPRINT) privilege = EMBED_PREVIEWPRINT;
    *pulPrivStatus = privilege;
    // Only outlines are embedded here, so a font that allows its bitmaps alone is refused too.
    if (privilege == EMBED_NOEMBEDDING || (fsType & kBitmapOnly)) Fail(E_FONTNOTEMBEDDABLE);
}

void Send(WRITEEMBEDPROC write, LPVOID stream, const Bytes& bytes)
{
    if (bytes.empty()) return;
    if (write(stream, bytes.data(), bytes.size()) != bytes.size()) Fail(E_SAVETOSTREAMFAILED);
}

LONG Embed(LPCSTR fileName, USHORT index, ULONG flags, ULONG charSet, ULONG* pulPrivStatus, ULONG* pulStatus,
           WRITEEMBEDPROC write, LPVOID stream, const TTEMBEDINFO* info)
{
    if (!pulPrivStatus) return E_PRIVSTATUSINVALID;
    if (!pulStatus) return E_STATUSINVALID;
    *pulPrivStatus = 0;
    *pulStatus = 0;
    if (!write) return E_STREAMINVALID;
    if (flags & ~kKnownFlags) return E_FLAGSINVALID;
    if ((flags & TTEMBED_SUBSET) || !(flags & TTEMBED_TTCOMPRESSED)) return E_API_NOTIMPL;
    if (charSet != CHARSET_UNICODE && charSet != CHARSET_SYMBOL && charSet != CHARSET_GLYPHIDX) return E_CHARSETINVALID;
    if (info && (info->usStructSize < sizeof(TTEMBEDINFO) || (info->usRootStrSize && !info->pusRootStr) ||
                 info->usRootStrSize > 0x7FFF)) {
        return E_INPUTPARAMINVALID;
    }
    if (!fileName) return E_FILE_NOT_FOUND;

    const Bytes file = ReadFontFile(FileSystemPath(fileName));
    const SfntFont font = SfntFont::Open(Span{file.data(), file.size()}, index);
    CheckPermission(font, pulPrivStatus);

    Bytes fontData = BuildMtx(BuildCtf(font));
    if (flags & TTEMBED_XORENCRYPTDATA) {
        for (std::uint8_t& b : fontData) b ^= kXorKey;
    }
    const ULONG headerFlags = TTEMBED_TTCOMPRESSED | (flags & TTEMBED_XORENCRYPTDATA);
    const Bytes header = BuildEotHeader(font, headerFlags, static_cast<std::uint32_t>(fontData.size()),
                                        info ? info->pusRootStr : nullptr, info ? info->usRootStrSize : 0);
    Send(write, stream, header);
    Send(write, stream, fontData);
    return E_NONE;
}

} // namespace

extern "C" __attribute__((visibility("default"))) LONG WINAPI TTEmbedFontFromFileA(
    HDC, LPCSTR szFontFileName, USHORT usTTCIndex, ULONG ulFlags, ULONG ulCharSet, ULONG* pulPrivStatus,
    ULONG* pulStatus, WRITEEMBEDPROC lpfnWriteToStream, LPVOID lpvWriteStream, USHORT*, USHORT, USHORT,
    TTEMBEDINFO* pTTEmbedInfo)
{
    // Nothing may leave this function but a result code: the caller is another module.
    try {
        return Embed(szFontFileName, usTTCIndex, ulFlags, ulCharSet, pulPrivStatus, pulStatus, lpfnWriteToStream,
                     lpvWriteStream, pTTEmbedInfo);
    } catch (const EmbedError& e) {
        return static_cast<LONG>(e.code);
    } catch (const std::bad_alloc&) {
        return E_NOFREEMEMORY;
    } catch (CException* e) {
        // Thrown by the caller's stream object from inside the callback.
        e->Delete();
        return E_SAVETOSTREAMFAILED;
    } catch (...) {
        return E_EXCEPTION;
    }
}
