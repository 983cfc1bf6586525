#include "CtfFont.h"

#include "CtfGlyph.h"
#include "T2embed.h"

namespace t2e {

namespace {

constexpr size_t kHeadIndexToLocFormat = 50;
constexpr size_t kMaxpNumGlyphs = 4;
// Largest glyf that short loca offsets can address.
constexpr std::uint64_t kShortLocaLimit = 0x1FFFE;

bool Dropped(std::uint32_t tag)
{
    return tag == Tag("hdmx") || tag == Tag("VDMX") || tag == Tag("DSIG");
}

} // namespace

CtfBlocks BuildCtf(const SfntFont& font)
{
    const Span head = *font.Find(Tag("head"));
    const Span maxp = *font.Find(Tag("maxp"));
    if (head.size < kHeadIndexToLocFormat + 2 || maxp.size < kMaxpNumGlyphs + 2) throw EmbedError{E_ERRORREADINGFONTDATA};
    const auto locFormat = static_cast<std::int16_t>(PeekU16(head, kHeadIndexToLocFormat));
    const std::uint16_t numGlyphs = PeekU16(maxp, kMaxpNumGlyphs);
    GlyphStreams glyphs = EncodeGlyphs(*font.Find(Tag("glyf")), *font.Find(Tag("loca")), locFormat, numGlyphs);

    // The decoder rebuilds loca in head's format; rebuilt glyphs can outgrow what short
    // offsets reach, so such a font asks for long ones.
    Bytes newHead(head.data, head.data + head.size);
    if (glyphs.decodedBound > kShortLocaLimit) {
        newHead[kHeadIndexToLocFormat] = 0;
        newHead[kHeadIndexToLocFormat + 1] = 1;
    }
    Bytes cvt;
    if (const Span* source = font.Find(Tag("cvt "))) cvt = EncodeCvt(*source);

    std::vector<Table> tables;
    for (const Table& t : font.Tables()) {
        if (Dropped(t.tag)) continue;
        Table out = t;
        if (t.tag == Tag("glyf")) out.data = Span{glyphs.glyphs.data(), glyphs.glyphs.size()};
        else if (t.tag == Tag("loca")) out.data = Span{};
        else if (t.tag == Tag("cvt ")) out.data = Span{cvt.data(), cvt.size()};
        else if (t.tag == Tag("head")) out.data = Span{newHead.data(), newHead.size()};
        tables.push_back(out);
    }

    Writer w;
    const auto numTables = static_cast<std::uint16_t>(tables.size());
    const SearchFields sf = SearchFieldsFor(numTables);
    w.Be32(font.Version());
    w.Be16(numTables);
    w.Be16(sf.searchRange);
    w.Be16(sf.entrySelector);
    w.Be16(sf.rangeShift);
    // Checksums stay 0: the decoder computes its own, and a compact table's checksum would
    // describe bytes that never appear in the decoded font.
    std::uint64_t offset = 12 + 16 * std::uint64_t(numTables);
    for (const Table& t : tables) {
        const bool loca = t.tag == Tag("loca");
        w.Be32(t.tag);
        w.Be32(0);
        w.Be32(loca ? 0 : static_cast<std::uint32_t>(offset));
        w.Be32(static_cast<std::uint32_t>(t.data.size));
        offset += (t.data.size + 3) & ~std::uint64_t(3);
    }
    // A compact font beyond what one block holds fails in the compressor; the offsets above
    // are only wrong in that case, which never reaches the output.
    for (const Table& t : tables) {
        w.Append(t.data);
        w.Pad4();
    }
    return CtfBlocks{std::move(w.Out()), std::move(glyphs.pushes), std::move(glyphs.code)};
}

} // namespace t2e
