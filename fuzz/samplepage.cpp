// The sample page composer on any file names and sample string: the page as text, then as the
// bytes that are stored. Input: [flags] then UTF-16 big-endian text, split at U+FFFF into the
// WOFF, WOFF2, EOT and source file names and the sample (the rest). Bit 0, 1 and 2 of flags
// give the WOFF2, EOT and source names, bit 3 says the source is OpenType.
//
// The stored bytes must be UTF-8 that gives back the page unit for unit, a lone surrogate
// standing in for one character; the page must name every file given in its @font-face rule,
// offer a format only for a file given, and end with the sample as the user typed it.
#include "FuzzSupport.h"
#include "SamplePage.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char16_t kFieldEnd = 0xFFFF;
constexpr const char16_t* kPageStart = u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" ";
constexpr const char16_t* kPageEnd = u"</span>」です。</p>\n</body>\n</html>\n";

bool IsSurrogate(char16_t c)
{
    return c >= 0xD800 && c < 0xE000;
}

// Every unit of the page comes back, but a surrogate without its partner, which comes back as
// one character of its own.
void CheckBytes(const std::u16string& page, const std::string& bytes)
{
    std::u16string back;
    fuzz::Check(fuzz::StrictUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), back),
                "the stored page is not UTF-8");
    size_t at = 0;
    for (size_t i = 0; i < page.size(); ++i, ++at) {
        fuzz::Check(at < back.size(), "the stored page is shorter than the page");
        const bool pair = i + 1 < page.size() && page[i] >= 0xD800 && page[i] < 0xDC00 && page[i + 1] >= 0xDC00 && page[i + 1] < 0xE000;
        if (pair) {
            fuzz::Check(back[at] == page[i] && back[at + 1] == page[i + 1], "a surrogate pair changed on its way");
            ++i;
            ++at;
        } else if (!IsSurrogate(page[i])) {
            fuzz::Check(back[at] == page[i], "a character changed on its way");
        } else {
            fuzz::Check(!IsSurrogate(back[at]), "a lone surrogate stored as a surrogate");
        }
    }
    fuzz::Check(at == back.size(), "the stored page is longer than the page");
}

// A file name as the page must write it inside url("…"): what would end the string, leave the
// style sheet or the XML, give the address another meaning, or be stripped from either end of
// it, as percent-encoded UTF-8.
std::u16string Address(const std::u16string& name)
{
    static const std::u16string kMeaningful = u"\"#%&:<>?\\";
    size_t lead = 0, trail = 0;
    while (lead < name.size() && name[lead] == u' ') ++lead;
    while (trail < name.size() - lead && name[name.size() - 1 - trail] == u' ') ++trail;
    std::u16string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        const bool edge = c == u' ' && (i < lead || i >= name.size() - trail);
        if (c >= 0x20 && !edge && !(c >= 0x7F && c < 0xA0) && kMeaningful.find(c) == std::u16string::npos) {
            out += c;
            continue;
        }
        const unsigned bytes[] = {c < 0x80 ? c : 0xC0u | (c >> 6), 0x80u | (c & 0x3F)};
        for (size_t k = 0; k < (c < 0x80 ? 1u : 2u); ++k) {
            out += u'%';
            out += u"0123456789ABCDEF"[bytes[k] >> 4];
            out += u"0123456789ABCDEF"[bytes[k] & 0xF];
        }
    }
    return out;
}

bool Holds(const std::u16string& text, const std::u16string& part)
{
    return text.find(part) != std::u16string::npos;
}

void CheckPage(const std::u16string& page, const std::vector<std::u16string>& fields, uint8_t flags)
{
    fuzz::Check(page.rfind(kPageStart, 0) == 0, "the page does not begin with its document type");
    const std::u16string end = fields[4] + kPageEnd;
    fuzz::Check(page.size() >= end.size() && page.compare(page.size() - end.size(), end.size(), end) == 0,
                "the page does not end with the sample");
    const bool given[] = {true, (flags & 1) && !fields[1].empty(), (flags & 2) && !fields[2].empty(),
                          (flags & 4) && !fields[3].empty()};
    for (int i = 0; i < 4; ++i)
        if (given[i])
            fuzz::Check(Holds(page, u"url(\"" + Address(fields[i]) + (i == 2 ? u"?\")" : u"\")")), "a file given is not named");
    // A field could itself spell a format; the rule's formats are checked where none does.
    for (const std::u16string& field : fields)
        if (Holds(field, u"format(")) return;
    fuzz::Check(Holds(page, u"format('woff')"), "the WOFF file offered without its format");
    fuzz::Check(Holds(page, u"format('woff2')") == given[1], "a WOFF2 format offered other than for a WOFF2 file");
    fuzz::Check(Holds(page, u"format('eot')") == given[2], "an EOT format offered other than for an EOT file");
    const bool openType = Holds(page, u"format('opentype')"), trueType = Holds(page, u"format('truetype')");
    fuzz::Check(openType == (given[3] && (flags & 8)) && trueType == (given[3] && !(flags & 8)),
                "the source offered in another format than its own");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Chooser choose(data, size);
    const uint8_t flags = choose.Byte();
    std::vector<std::u16string> fields(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] << 8 | data[i + 1]);
        if (unit == kFieldEnd && fields.size() < 5) fields.emplace_back();
        else fields.back() += unit;
    }
    fields.resize(5);
    // A file name reaches the composer as a terminated string.
    for (int i = 0; i < 4; ++i) fields[i].resize(std::min(fields[i].size(), fields[i].find(u'\0')));
    auto name = [&](int i, bool given) { return given ? fields[i].c_str() : nullptr; };
    const std::u16string page = fuzz::Guarded([&] {
        return ComposeSampleHtml(fields[0].c_str(), name(1, flags & 1), name(2, flags & 2), name(3, flags & 4), (flags & 8) != 0,
                                 CString(std::u16string(fields[4])))
            .Str();
    });
    CheckPage(page, fields, flags);
    CheckBytes(page, fuzz::Guarded([&] { return SampleHtmlBytes(CString(std::u16string(page))); }));
    return 0;
}
