#include "SamplePage.h"

#include "CodePage.h"
#include "FenwrapDlg.h"
#include "File.h"
#include "FileErrors.h"
#include "resource.h"

#include <string_view>

namespace {

constexpr const char16_t* kDocType =
    u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n";
constexpr const char16_t* kHtmlStart = u"<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"ja\" lang=\"ja\">\n";

// The src descriptor's entries are aligned on "format(", and its continuation lines indented
// under the first address; a browser ignores both, but users read and copy the page.
constexpr const char16_t* kHeadToFirstAddress =
    u"<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n\n"
    u"<style type=\"text/css\">\n@font-face {\n  font-family: \"myFont\";\n  src: url(\"";
// The "?" keeps the one older browser that reads only EOT from taking the rest of the
// descriptor as part of the address.
constexpr const char16_t* kAfterEot = u"?\")  format('eot'),\n       url(\"";
constexpr const char16_t* kAfterWoff2 = u"\") format('woff2'),\n       url(\"";
constexpr const char16_t* kAfterWoffBeforeSource = u"\")  format('woff'),\n       url(\"";
constexpr const char16_t* kAfterWoffLast = u"\")  format('woff');\n";
constexpr const char16_t* kAfterOpenTypeSource = u"\")   format('opentype');\n";
constexpr const char16_t* kAfterTrueTypeSource = u"\")   format('truetype');\n";
constexpr const char16_t* kRuleEndAndClass =
    u"}\n.myFontClass {\n  font-family: \"myFont\";\n}\n</style>\n";
constexpr const char16_t* kHeadEnd = u"</head>\n";
constexpr const char16_t* kBodyToSample = u"\n<body>\n<p>サンプル文字列は「<span class=\"myFontClass\">";
constexpr const char16_t* kSampleToEnd = u"</span>」です。</p>\n</body>\n</html>\n";

bool Given(LPCWSTR name) { return name && *name; }

// Characters of a file name that would end the quoted address or the style sheet, break the
// XML around it, or give the address another meaning: a fragment, a query, an escape, a
// scheme, a folder separator. Every one of them lies below U+00A0.
bool NeedsPercent(char16_t c)
{
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    return std::u16string_view(u"\"#%&:<>?\\").find(c) != std::u16string_view::npos;
}

void AppendPercent(CString& address, unsigned byte)
{
    constexpr const char16_t* kHex = u"0123456789ABCDEF";
    address += u'%';
    address += kHex[byte >> 4];
    address += kHex[byte & 0xF];
}

// A plain file name as the relative address a browser resolves back to that very file: the
// characters above are written as the percent-encoded bytes of their UTF-8 form, and so are
// spaces at either end, which address parsing strips; the rest, spaces within the name and
// characters beyond ASCII included, stays as the user named it, which browsers resolve alike.
CString AddressOf(LPCWSTR name)
{
    const std::u16string_view whole(name ? name : u"");
    const size_t first = whole.find_first_not_of(u' ');
    const size_t last = whole.find_last_not_of(u' ');
    CString address;
    for (size_t i = 0; i < whole.size(); ++i) {
        const char16_t c = whole[i];
        const bool edgeSpace = c == u' ' && (first == std::u16string_view::npos || i < first || i > last);
        if (!NeedsPercent(c) && !edgeSpace) {
            address += c;
        } else if (c < 0x80) {
            AppendPercent(address, c);
        } else {
            AppendPercent(address, 0xC0 | (c >> 6));
            AppendPercent(address, 0x80 | (c & 0x3F));
        }
    }
    return address;
}

} // namespace

CString ComposeSampleHtml(LPCWSTR woffName, LPCWSTR woff2Name, LPCWSTR eotName, LPCWSTR srcName, BOOL bOpenType,
                          const CString& sample)
{
    CString page(kDocType);
    page += kHtmlStart;
    page += kHeadToFirstAddress;
    if (Given(eotName)) page += AddressOf(eotName) + kAfterEot;
    if (Given(woff2Name)) page += AddressOf(woff2Name) + kAfterWoff2;
    page += AddressOf(woffName);
    if (Given(srcName))
        page += kAfterWoffBeforeSource + AddressOf(srcName) + (bOpenType ? kAfterOpenTypeSource : kAfterTrueTypeSource);
    else
        page += kAfterWoffLast;
    page += kRuleEndAndClass;
    page += kHeadEnd;
    page += kBodyToSample;
    page += sample;
    page += kSampleToEnd;
    return page;
}

std::string SampleHtmlBytes(const CString& page)
{
    const int length = page.GetLength();
    const int size = WideCharToMultiByte(CP_UTF8, 0, page, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, page, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

BOOL CFenwrapDlg::WriteSampleHtml(LPCWSTR htmlPath, LPCWSTR woffName, LPCWSTR woff2Name, LPCWSTR eotName,
                                  LPCWSTR srcName, BOOL bOpenType)
{
    // A created file reaches its name only when closed, so a failed write leaves any earlier
    // page as it was.
    CFile file;
    CFileException error;
    if (!file.Open(htmlPath, CFile::modeCreate | CFile::modeReadWrite, &error)) {
        ReportFileOpenError(&error);
        return FALSE;
    }
    CString sample;
    GetDlgItemText(IDC_EDIT_SAMPLE_STRING, sample);
    const std::string bytes = SampleHtmlBytes(ComposeSampleHtml(woffName, woff2Name, eotName, srcName, bOpenType, sample));
    file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
    return TRUE;
}
