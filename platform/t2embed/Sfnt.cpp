#include "Sfnt.h"

#include "T2embed.h"

#include <algorithm>

namespace t2e {

namespace {

constexpr std::uint32_t kCollectionTag = Tag("ttcf");
constexpr std::uint32_t kTrueTypeVersion = 0x00010000;
constexpr std::uint32_t kAppleTrueTypeVersion = Tag("true");
constexpr std::uint32_t kCffVersion = Tag("OTTO");

[[noreturn]] void Fail(long code) { throw EmbedError{code}; }

// Offset of the member's offset table inside the file.
std::uint32_t MemberOffset(Span file, std::uint16_t index, bool& fromCollection)
{
    Reader r(file);
    std::uint32_t tag = 0;
    if (!r.U32(tag)) Fail(E_NOTATRUETYPEFONT);
    fromCollection = tag == kCollectionTag;
    if (!fromCollection) {
        if (index != 0) Fail(E_TTC_INDEX_OUT_OF_RANGE);
        return 0;
    }
    std::uint32_t version = 0, numFonts = 0;
    if (!r.U32(version) || !r.U32(numFonts)) Fail(E_ERRORREADINGFONTDATA);
    if (index >= numFonts) Fail(E_TTC_INDEX_OUT_OF_RANGE);
    std::uint32_t offset = 0;
    if (!r.Skip(size_t(index) * 4) || !r.U32(offset)) Fail(E_ERRORREADINGFONTDATA);
    return offset;
}

} // namespace

SfntFont SfntFont::Open(Span file, std::uint16_t index)
{
    SfntFont font;
    const std::uint32_t start = MemberOffset(file, index, font.m_fromCollection);
    Reader r(file);
    std::uint16_t numTables = 0;
    if (!r.Seek(start) || !r.U32(font.m_version) || !r.U16(numTables) || !r.Skip(6)) {
        Fail(font.m_fromCollection ? E_ERRORREADINGFONTDATA : E_NOTATRUETYPEFONT);
    }
    if (font.m_version == kCffVersion) Fail(E_NOTATRUETYPEFONT);
    if (font.m_version != kTrueTypeVersion && font.m_version != kAppleTrueTypeVersion) {
        Fail(font.m_fromCollection ? E_ERRORREADINGFONTDATA : E_NOTATRUETYPEFONT);
    }
    // The directory must fit in the file before its count is trusted for anything.
    if (r.Left() / 16 < numTables) Fail(E_ERRORREADINGFONTDATA);
    font.m_tables.reserve(numTables);
    for (std::uint16_t i = 0; i < numTables; ++i) {
        std::uint32_t tag = 0, checksum = 0, offset = 0, length = 0;
        r.U32(tag);
        r.U32(checksum);
        r.U32(offset);
        r.U32(length);
        Table t{tag, {}};
        if (!file.Sub(offset, length, t.data)) Fail(E_ERRORREADINGFONTDATA);
        font.m_tables.push_back(t);
    }
    std::sort(font.m_tables.begin(), font.m_tables.end(), [](const Table& a, const Table& b) { return a.tag < b.tag; });
    for (size_t i = 1; i < font.m_tables.size(); ++i) {
        if (font.m_tables[i].tag == font.m_tables[i - 1].tag) Fail(E_ERRORREADINGFONTDATA);
    }
    if (font.Find(Tag("CFF ")) || font.Find(Tag("CFF2")) || !font.Find(Tag("glyf"))) Fail(E_NOTATRUETYPEFONT);
    for (std::uint32_t required : {Tag("loca"), Tag("head"), Tag("maxp"), Tag("hmtx")}) {
        if (!font.Find(required)) Fail(E_ERRORREADINGFONTDATA);
    }
    if (!font.Find(Tag("OS/2"))) Fail(E_NOOS2);
    return font;
}

const Span* SfntFont::Find(std::uint32_t tag) const
{
    auto it = std::lower_bound(m_tables.begin(), m_tables.end(), tag, [](const Table& t, std::uint32_t v) { return t.tag < v; });
    return it != m_tables.end() && it->tag == tag ? &it->data : nullptr;
}

std::uint32_t TableChecksum(Span data)
{
    std::uint32_t sum = 0;
    size_t i = 0;
    for (; data.size - i >= 4; i += 4) sum += PeekU32(data, i);
    if (i < data.size) {
        std::uint8_t last[4] = {0, 0, 0, 0};
        for (size_t k = 0; i + k < data.size; ++k) last[k] = data.data[i + k];
        sum += PeekU32(Span{last, 4}, 0);
    }
    return sum;
}

SearchFields SearchFieldsFor(std::uint16_t numTables)
{
    std::uint16_t selector = 0;
    while (numTables > 0 && (2u << selector) <= numTables) ++selector;
    const std::uint16_t range = numTables > 0 ? static_cast<std::uint16_t>(16u << selector) : 0;
    return {range, selector, static_cast<std::uint16_t>(numTables * 16u - range)};
}

std::uint32_t StandaloneChecksumAdjustment(const std::vector<Table>& tables, std::uint32_t version)
{
    const auto n = static_cast<std::uint16_t>(tables.size());
    const SearchFields sf = SearchFieldsFor(n);
    std::uint32_t sum = version + ((std::uint32_t(n) << 16) | sf.searchRange) +
                        ((std::uint32_t(sf.entrySelector) << 16) | sf.rangeShift);
    std::uint32_t offset = 12 + 16 * std::uint32_t(n);
    for (const Table& t : tables) {
        std::uint32_t checksum = TableChecksum(t.data);
        if (t.tag == Tag("head")) checksum -= PeekU32(t.data, 8);
        sum += t.tag + checksum + offset + static_cast<std::uint32_t>(t.data.size);
        sum += checksum;
        offset += (static_cast<std::uint32_t>(t.data.size) + 3) & ~3u;
    }
    return 0xB1B0AFBAu - sum;
}

} // namespace t2e
