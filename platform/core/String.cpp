#include "String.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsAsciiUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsAsciiLower(char16_t c) { return c >= u'a' && c <= u'z'; }
char16_t FoldAscii(char16_t c) { return IsAsciiUpper(c) ? static_cast<char16_t>(c + 32) : c; }

} // namespace

CString CString::FromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t need = 0;
        if (b0 < 0x80) { cp = b0; need = 0; }
        else if (b0 >= 0xC2 && b0 < 0xE0) { cp = b0 & 0x1F; need = 1; }
        else if (b0 >= 0xE0 && b0 < 0xF0) { cp = b0 & 0x0F; need = 2; }
        else if (b0 >= 0xF0 && b0 < 0xF5) { cp = b0 & 0x07; need = 3; }
        else { out += u'\uFFFD'; ++i; continue; }
        size_t j = 1;
        for (; j <= need; ++j) {
            if (i + j >= s.size()) break;
            const auto b = static_cast<unsigned char>(s[i + j]);
            if ((b & 0xC0) != 0x80) break;
            cp = (cp << 6) | (b & 0x3F);
        }
        const bool complete = j == need + 1;
        const bool overlong = (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000);
        if (!complete || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += u'\uFFFD';
            i += complete ? j : std::max<size_t>(j, 1);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += j;
    }
    return CString(std::move(out));
}

std::string CString::ToUtf8() const
{
    std::string out;
    out.reserve(m_str.size());
    for (size_t i = 0; i < m_str.size(); ++i) {
        char32_t cp = m_str[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < m_str.size() && m_str[i + 1] >= 0xDC00 && m_str[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (m_str[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        AppendUtf8(out, cp);
    }
    return out;
}

CString CString::Left(int count) const
{
    if (count <= 0) return {};
    return CString(m_str.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    if (count <= 0) return {};
    const size_t n = std::min(static_cast<size_t>(count), m_str.size());
    return CString(m_str.substr(m_str.size() - n));
}

CString CString::Mid(int first) const
{
    if (first < 0) first = 0;
    if (static_cast<size_t>(first) >= m_str.size()) return {};
    return CString(m_str.substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const
{
    if (first < 0) first = 0;
    if (count <= 0 || static_cast<size_t>(first) >= m_str.size()) return {};
    return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char16_t ch, int start) const
{
    if (start < 0) start = 0;
    const size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char16_t* sub, int start) const
{
    if (start < 0) start = 0;
    const size_t pos = m_str.find(sub ? sub : u"", static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char16_t ch) const
{
    const size_t pos = m_str.rfind(ch);
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

CString& CString::MakeLower()
{
    for (auto& c : m_str) c = FoldAscii(c);
    return *this;
}

CString& CString::MakeUpper()
{
    for (auto& c : m_str)
        if (IsAsciiLower(c)) c = static_cast<char16_t>(c - 32);
    return *this;
}

int CString::CompareNoCase(const char16_t* other) const
{
    std::u16string_view b(other ? other : u"");
    const size_t n = std::min(m_str.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldAscii(m_str[i]);
        const char16_t y = FoldAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (m_str.size() == b.size()) return 0;
    return m_str.size() < b.size() ? -1 : 1;
}

int CString::Replace(const char16_t* oldText, const char16_t* newText)
{
    std::u16string_view from(oldText ? oldText : u"");
    std::u16string_view to(newText ? newText : u"");
    if (from.empty()) return 0;
    int count = 0;
    std::u16string out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = m_str.find(from, pos);
        if (hit == std::u16string::npos) break;
        out.append(m_str, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count) {
        out.append(m_str, pos);
        m_str = std::move(out);
    }
    return count;
}

void CString::Format(const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string out;
    for (const char16_t* p = format; p && *p; ++p) {
        if (*p != u'%') { out += *p; continue; }
        ++p;
        if (*p == u'%') { out += u'%'; continue; }
        std::string printfFormat = "%";
        while (*p == u'-' || *p == u'0' || *p == u'+' || *p == u' ' || *p == u'#') printfFormat += static_cast<char>(*p++);
        int width = 0;
        while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
        bool isLong = false;
        while (*p == u'l' || *p == u'h') isLong |= (*p++ == u'l');
        const bool leftAlign = printfFormat.find('-') != std::string::npos;
        auto pad = [&](std::u16string piece) {
            if (static_cast<int>(piece.size()) < width) {
                const std::u16string fill(static_cast<size_t>(width) - piece.size(), u' ');
                piece = leftAlign ? piece + fill : fill + piece;
            }
            out += piece;
        };
        switch (*p) {
        case u's': {
            const char16_t* s = va_arg(args, const char16_t*);
            pad(s ? s : u"(null)");
            break;
        }
        case u'c':
            pad(std::u16string(1, static_cast<char16_t>(va_arg(args, int))));
            break;
        case u'd': case u'i': case u'u': case u'x': case u'X': {
            if (width) printfFormat += std::to_string(width);
            char buf[64];
            const char conv = static_cast<char>(*p);
            if (isLong) {
                printfFormat += 'l';
                printfFormat += conv;
                if (conv == 'd' || conv == 'i') std::snprintf(buf, sizeof buf, printfFormat.c_str(), va_arg(args, long));
                else std::snprintf(buf, sizeof buf, printfFormat.c_str(), va_arg(args, unsigned long));
            } else {
                printfFormat += conv;
                if (conv == 'd' || conv == 'i') std::snprintf(buf, sizeof buf, printfFormat.c_str(), va_arg(args, int));
                else std::snprintf(buf, sizeof buf, printfFormat.c_str(), va_arg(args, unsigned int));
            }
            for (const char* q = buf; *q; ++q) out += static_cast<char16_t>(*q);
            break;
        }
        case 0:
            --p;  // a lone '%' at the end stands for itself
            out += u'%';
            break;
        default:
            out += u'%';
            out += *p;
            break;
        }
    }
    va_end(args);
    m_str = std::move(out);
}

namespace {

bool IsTrimmedSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r') || c == u'\u3000'; }

} // namespace

CString& CString::TrimRight()
{
    size_t end = m_str.size();
    while (end > 0 && IsTrimmedSpace(m_str[end - 1])) --end;
    m_str.erase(end);
    return *this;
}

CString& CString::TrimLeft()
{
    size_t start = 0;
    while (start < m_str.size() && IsTrimmedSpace(m_str[start])) ++start;
    m_str.erase(0, start);
    return *this;
}
