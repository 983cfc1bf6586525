#include "CodePage.h"

#include "String.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>

namespace {

thread_local LCID t_locale = 1041;
thread_local DWORD t_lastError = ERROR_SUCCESS;

UINT ResolveCodePage(UINT codePage)
{
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP) return t_locale == 1041 ? 932 : 1252;
    return codePage;
}

const char* IconvName(UINT codePage)
{
    switch (codePage) {
    case 932: return "CP932";
    case 1252: return "CP1252";
    default: return nullptr;
    }
}

// One iconv descriptor per thread and direction, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() { if (Ok()) iconv_close(m_cd); }
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Converts in whole; false when a character has no form in the target.
    bool Convert(const char* in, size_t inLen, std::string& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(inLen * 2 + 8);
        char* src = const_cast<char*>(in);
        char* dst = out.data();
        size_t dstLeft = out.size();
        while (inLen > 0) {
            if (iconv(m_cd, &src, &inLen, &dst, &dstLeft) == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    const size_t used = out.size() - dstLeft;
                    out.resize(out.size() * 2);
                    dst = out.data() + used;
                    dstLeft = out.size() - used;
                    continue;
                }
                return false;
            }
        }
        out.resize(out.size() - dstLeft);
        return true;
    }

private:
    iconv_t m_cd;
};

Converter& ToCodePage(UINT cp)
{
    thread_local Converter to932("CP932", "UTF-16LE");
    thread_local Converter to1252("CP1252", "UTF-16LE");
    return cp == 932 ? to932 : to1252;
}

Converter& FromCodePage(UINT cp)
{
    thread_local Converter from932("UTF-16LE", "CP932");
    thread_local Converter from1252("UTF-16LE", "CP1252");
    return cp == 932 ? from932 : from1252;
}

bool IsLeadByte932(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int Deliver(const std::string& bytes, LPSTR dst, int dstSize)
{
    if (dstSize == 0) return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<size_t>(dstSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(dst, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

int Deliver(const std::u16string& units, LPWSTR dst, int dstSize)
{
    if (dstSize == 0) return static_cast<int>(units.size());
    if (units.size() > static_cast<size_t>(dstSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(dst, units.data(), units.size() * sizeof(char16_t));
    return static_cast<int>(units.size());
}

} // namespace

LCID GetThreadLocale() { return t_locale; }
BOOL SetThreadLocale(LCID locale) { t_locale = locale; return TRUE; }
DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst, int dstSize,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar)
{
    if (usedDefaultChar) *usedDefaultChar = FALSE;
    if (!src || srcLength < -1 || dstSize < 0 || (dstSize > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = srcLength == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<size_t>(srcLength);
    const UINT cp = ResolveCodePage(codePage);
    std::string out;
    if (cp == CP_UTF8) {
        out = CString(std::u16string_view(src, length)).ToUtf8();
        return Deliver(out, dst, dstSize);
    }
    if (!IconvName(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string fallback = defaultChar && *defaultChar ? std::string(defaultChar, IsLeadByte932(static_cast<unsigned char>(*defaultChar)) && defaultChar[1] ? 2 : 1) : std::string("?");
    Converter& conv = ToCodePage(cp);
    Converter& back = FromCodePage(cp);
    const bool exactOnly = flags & WC_NO_BEST_FIT_CHARS;
    // Convert one character (a surrogate pair counts as one) at a time, so that a character
    // without a form becomes the default character and the rest is unaffected.
    std::string piece, again;
    for (size_t i = 0; i < length;) {
        size_t n = 1;
        if (src[i] >= 0xD800 && src[i] < 0xDC00 && i + 1 < length && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000) n = 2;
        char le[4];
        for (size_t k = 0; k < n; ++k) {
            le[2 * k] = static_cast<char>(src[i + k] & 0xFF);
            le[2 * k + 1] = static_cast<char>(src[i + k] >> 8);
        }
        bool mapped = conv.Ok() && conv.Convert(le, 2 * n, piece) && !piece.empty();
        // Without best fit, only a form that converts back to the same character counts:
        // iconv's table maps U+00A5 to '\\' and U+2014 to the code of U+2015, which the
        // code page itself does not.
        if (mapped && exactOnly)
            mapped = back.Ok() && back.Convert(piece.data(), piece.size(), again) && again == std::string(le, 2 * n);
        if (mapped) {
            out += piece;
        } else {
            out += fallback;
            if (usedDefaultChar) *usedDefaultChar = TRUE;
        }
        i += n;
    }
    return Deliver(out, dst, dstSize);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstSize)
{
    if (!src || srcLength < -1 || dstSize < 0 || (dstSize > 0 && !dst)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
    const UINT cp = ResolveCodePage(codePage);
    std::u16string out;
    if (cp == CP_UTF8) {
        out = CString::FromUtf8(std::string_view(src, length)).Str();
        if ((flags & MB_ERR_INVALID_CHARS) && out.find(u'\uFFFD') != std::u16string::npos &&
            std::string_view(src, length).find("\xEF\xBF\xBD") == std::string_view::npos) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        return Deliver(out, dst, dstSize);
    }
    if (!IconvName(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Converter& conv = FromCodePage(cp);
    std::string piece;
    for (size_t i = 0; i < length;) {
        const auto b = static_cast<unsigned char>(src[i]);
        size_t n = (cp == 932 && IsLeadByte932(b) && i + 1 < length) ? 2 : 1;
        if (conv.Ok() && conv.Convert(src + i, n, piece) && piece.size() >= 2) {
            for (size_t k = 0; k + 1 < piece.size(); k += 2)
                out += static_cast<char16_t>(static_cast<unsigned char>(piece[k]) | (static_cast<unsigned char>(piece[k + 1]) << 8));
        } else {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            out += cp == 932 ? u'\u30FB' : u'\uFFFD';
        }
        i += n;
    }
    return Deliver(out, dst, dstSize);
}
