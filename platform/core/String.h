// CString: a UTF-16 string with the operations the program uses. Conversions to and from
// UTF-8 are the bridge to the file system and to the window toolkit.
#pragma once

#include "Types.h"

#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char16_t* text) : m_str(text ? text : u"") {}
    CString(const char16_t* text, int length) : m_str(text, static_cast<size_t>(length < 0 ? 0 : length)) {}
    CString(std::u16string text) : m_str(std::move(text)) {}
    CString(std::u16string_view text) : m_str(text) {}
    CString(char16_t ch, int repeat) : m_str(static_cast<size_t>(repeat < 0 ? 0 : repeat), ch) {}

    static CString FromUtf8(std::string_view utf8);
    // Loads string id of the string table (StringTable.h); FALSE leaves the string as it was.
    BOOL LoadString(UINT id);
    std::string ToUtf8() const;

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator LPCTSTR() const { return m_str.c_str(); }
    LPCTSTR GetString() const { return m_str.c_str(); }
    const std::u16string& Str() const { return m_str; }
    char16_t GetAt(int index) const { return m_str.at(static_cast<size_t>(index)); }
    void SetAt(int index, char16_t ch) { m_str.at(static_cast<size_t>(index)) = ch; }

    CString& operator+=(const CString& other) { m_str += other.m_str; return *this; }
    CString& operator+=(const char16_t* other) { if (other) m_str += other; return *this; }
    CString& operator+=(char16_t ch) { m_str += ch; return *this; }
    friend CString operator+(CString a, const CString& b) { a += b; return a; }
    friend CString operator+(CString a, const char16_t* b) { a += b; return a; }
    friend CString operator+(const char16_t* a, const CString& b) { CString r(a); r += b; return r; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char16_t* b) { return a.m_str == (b ? b : u""); }

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    int Find(char16_t ch, int start = 0) const;
    int Find(const char16_t* sub, int start = 0) const;
    int ReverseFind(char16_t ch) const;
    CString& MakeLower();  // ASCII letters only, as extension comparisons need
    CString& MakeUpper();
    int CompareNoCase(const char16_t* other) const;
    int Replace(const char16_t* oldText, const char16_t* newText);
    // White space at either end goes: ASCII white space and the ideographic space (U+3000) that
    // a Japanese input method types.
    CString& TrimRight();
    CString& TrimLeft();

    // printf-like formatting of %s (a UTF-16 string), %d %i %u %x %X %c and %%, with
    // optional flags, width and an 'l' or 'h' length modifier.
    void Format(const char16_t* format, ...);

private:
    std::u16string m_str;
};
