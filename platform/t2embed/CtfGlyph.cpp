#include "CtfGlyph.h"

#include "Lzcomp.h"
#include "T2embed.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace t2e {

namespace {

[[noreturn]] void Damaged() { throw EmbedError{E_ERRORREADINGFONTDATA}; }

// Simple-glyph point flags.
constexpr std::uint8_t kOnCurve = 0x01;
constexpr std::uint8_t kXShort = 0x02;
constexpr std::uint8_t kYShort = 0x04;
constexpr std::uint8_t kRepeat = 0x08;
constexpr std::uint8_t kXSameOrPositive = 0x10;
constexpr std::uint8_t kYSameOrPositive = 0x20;

// Composite component flags.
constexpr std::uint16_t kArgsAreWords = 0x0001;
constexpr std::uint16_t kHaveScale = 0x0008;
constexpr std::uint16_t kMoreComponents = 0x0020;
constexpr std::uint16_t kHaveXYScale = 0x0040;
constexpr std::uint16_t kHaveTwoByTwo = 0x0080;
constexpr std::uint16_t kHaveInstructions = 0x0100;

// Escape in place of numberOfContours: the stored bounding box follows, because the one the
// decoder would compute from the points differs from it.
constexpr std::uint16_t kBboxEscape = 0x7FFF;

struct Point {
    std::int32_t dx, dy;
    bool onCurve;
};

// One point as a flag byte (bit 7 set for off-curve) and 1 to 4 coordinate bytes, in the
// shortest of the triplet classes that holds it.
void WriteTriplet(const Point& p, Writer& flags, Writer& coords)
{
    const std::uint32_t ax = static_cast<std::uint32_t>(std::abs(p.dx));
    const std::uint32_t ay = static_cast<std::uint32_t>(std::abs(p.dy));
    const std::uint32_t s = (p.dx >= 0 ? 1u : 0u) | (p.dy >= 0 ? 2u : 0u);
    std::uint32_t index;
    if (p.dx == 0 && ay < 1280) {
        index = 2 * (ay >> 8) + (p.dy >= 0 ? 1 : 0);
        coords.U8(ay & 0xFF);
    } else if (p.dy == 0 && ax < 1280) {
        index = 10 + 2 * (ax >> 8) + (p.dx >= 0 ? 1 : 0);
        coords.U8(ax & 0xFF);
    } else if (ax >= 1 && ax <= 64 && ay >= 1 && ay <= 64) {
        const std::uint32_t x = ax - 1, y = ay - 1;
        index = 20 + (((x >> 4) << 4) | ((y >> 4) << 2) | s);
        coords.U8(((x & 15) << 4) | (y & 15));
    } else if (ax >= 1 && ax <= 768 && ay >= 1 && ay <= 768) {
        const std::uint32_t x = ax - 1, y = ay - 1;
        index = 84 + 12 * (x >> 8) + ((y >> 8) << 2) + s;
        coords.U8(x & 0xFF);
        coords.U8(y & 0xFF);
    } else if (ax < 4096 && ay < 4096) {
        index = 120 + s;
        coords.U8(ax >> 4);
        coords.U8(((ax & 15) << 4) | (ay >> 8));
        coords.U8(ay & 0xFF);
    } else {
        index = 124 + s;
        coords.Be16(ax);
        coords.Be16(ay);
    }
    flags.U8(index | (p.onCurve ? 0u : 0x80u));
}

struct SimpleGlyph {
    std::int16_t bbox[4];
    std::vector<std::uint16_t> endPts;
    Span instructions;
    std::vector<Point> points;
};

SimpleGlyph ParseSimple(Reader& r, std::int16_t numContours)
{
    SimpleGlyph g{};
    for (auto& v : g.bbox) {
        if (!r.S16(v)) Damaged();
    }
    g.endPts.resize(static_cast<size_t>(numContours));
    for (int i = 0; i < numContours; ++i) {
        if (!r.U16(g.endPts[i])) Damaged();
        if (i > 0 && g.endPts[i] < g.endPts[i - 1]) Damaged();
    }
    std::uint16_t instrLength = 0;
    if (!r.U16(instrLength) || !r.Take(instrLength, g.instructions)) Damaged();
    const size_t numPoints = size_t(g.endPts.back()) + 1;
    std::vector<std::uint8_t> flags;
    flags.reserve(numPoints);
    while (flags.size() < numPoints) {
        std::uint8_t flag = 0, repeat = 0;
        if (!r.U8(flag)) Damaged();
        if ((flag & kRepeat) && !r.U8(repeat)) Damaged();
        if (numPoints - flags.size() < size_t(repeat) + 1) Damaged();
        flags.insert(flags.end(), size_t(repeat) + 1, flag);
    }
    g.points.resize(numPoints);
    for (size_t i = 0; i < numPoints; ++i) {
        const std::uint8_t f = flags[i];
        std::int32_t d = 0;
        if (f & kXShort) {
            std::uint8_t b = 0;
            if (!r.U8(b)) Damaged();
            d = (f & kXSameOrPositive) ? b : -std::int32_t(b);
        } else if (!(f & kXSameOrPositive)) {
            std::int16_t v = 0;
            if (!r.S16(v)) Damaged();
            d = v;
        }
        g.points[i].dx = d;
        g.points[i].onCurve = (f & kOnCurve) != 0;
    }
    for (size_t i = 0; i < numPoints; ++i) {
        const std::uint8_t f = flags[i];
        std::int32_t d = 0;
        if (f & kYShort) {
            std::uint8_t b = 0;
            if (!r.U8(b)) Damaged();
            d = (f & kYSameOrPositive) ? b : -std::int32_t(b);
        } else if (!(f & kYSameOrPositive)) {
            std::int16_t v = 0;
            if (!r.S16(v)) Damaged();
            d = v;
        }
        g.points[i].dy = d;
    }
    return g;
}

// Whether the stored box is the one of the points (what the decoder computes when no box is
// stored). Coordinates accumulate in 16 bits, as every reader of glyf does.
bool BboxMatchesPoints(const SimpleGlyph& g)
{
    std::int16_t x = 0, y = 0;
    std::int16_t box[4] = {32767, 32767, -32768, -32768};
    for (const Point& p : g.points) {
        x = static_cast<std::int16_t>(x + p.dx);
        y = static_cast<std::int16_t>(y + p.dy);
        box[0] = std::min(box[0], x);
        box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x);
        box[3] = std::max(box[3], y);
    }
    return std::equal(box, box + 4, g.bbox);
}

void EncodeSimple(Reader& r, std::int16_t numContours, GlyphStreams& out, Writer& glyphs)
{
    const SimpleGlyph g = ParseSimple(r, numContours);
    if (numContours == static_cast<std::int16_t>(kBboxEscape) || !BboxMatchesPoints(g)) {
        glyphs.Be16(kBboxEscape);
        glyphs.Be16(static_cast<std::uint16_t>(numContours));
        for (std::int16_t v : g.bbox) glyphs.Be16(static_cast<std::uint16_t>(v));
    } else {
        glyphs.Be16(static_cast<std::uint16_t>(numContours));
    }
    Write255UShort(glyphs, g.endPts[0]);
    for (size_t i = 1; i < g.endPts.size(); ++i) Write255UShort(glyphs, g.endPts[i] - g.endPts[i - 1]);
    Writer coords;
    for (const Point& p : g.points) WriteTriplet(p, glyphs, coords);
    glyphs.Append(coords.Out());
    // The whole program goes to the code stream and no push values are split off: the
    // decoder then gives back the very same bytes, and maxp's instruction limits stay true.
    Write255UShort(glyphs, 0);
    Write255UShort(glyphs, static_cast<std::uint32_t>(g.instructions.size));
    out.code.insert(out.code.end(), g.instructions.data, g.instructions.data + g.instructions.size);
    out.decodedBound += 12 + 2 * g.endPts.size() + g.instructions.size + 5 * g.points.size() + 1;
}

void EncodeComposite(Reader& r, Span glyph, GlyphStreams& out, Writer& glyphs)
{
    if (!r.Skip(8)) Damaged();
    glyphs.Be16(0xFFFF);
    std::uint16_t flags = 0;
    do {
        if (!r.U16(flags) || !r.Skip(2)) Damaged();
        size_t extra = (flags & kArgsAreWords) ? 4 : 2;
        if (flags & kHaveScale) extra += 2;
        else if (flags & kHaveXYScale) extra += 4;
        else if (flags & kHaveTwoByTwo) extra += 8;
        if (!r.Skip(extra)) Damaged();
    } while (flags & kMoreComponents);
    // Box and component records go over unchanged; the instruction count is replaced by the
    // pair of counts of the compact form.
    const size_t end = r.Position();
    glyphs.Append(Span{glyph.data + 2, end - 2});
    Span instructions;
    if (flags & kHaveInstructions) {
        std::uint16_t length = 0;
        if (!r.U16(length) || !r.Take(length, instructions)) Damaged();
        Write255UShort(glyphs, 0);
        Write255UShort(glyphs, length);
        out.code.insert(out.code.end(), instructions.data, instructions.data + instructions.size);
    }
    out.decodedBound += end + 2 + instructions.size + 1;
}

std::uint32_t LocaEntry(Span loca, std::int16_t format, std::uint32_t i)
{
    return format == 0 ? 2u * PeekU16(loca, size_t(i) * 2) : PeekU32(loca, size_t(i) * 4);
}

} // namespace

void Write255UShort(Writer& w, std::uint32_t value)
{
    if (value < 253) {
        w.U8(value);
    } else if (value < 506) {
        w.U8(255);
        w.U8(value - 253);
    } else if (value < 762) {
        w.U8(254);
        w.U8(value - 506);
    } else {
        w.U8(253);
        w.Be16(value);
    }
}

GlyphStreams EncodeGlyphs(Span glyf, Span loca, std::int16_t indexToLocFormat, std::uint16_t numGlyphs)
{
    if (indexToLocFormat != 0 && indexToLocFormat != 1) Damaged();
    const std::uint64_t entrySize = indexToLocFormat == 0 ? 2 : 4;
    if (loca.size / entrySize < std::uint64_t(numGlyphs) + 1) Damaged();
    GlyphStreams out;
    Writer glyphs;
    for (std::uint32_t id = 0; id < numGlyphs; ++id) {
        const std::uint32_t start = LocaEntry(loca, indexToLocFormat, id);
        const std::uint32_t end = LocaEntry(loca, indexToLocFormat, id + 1);
        Span glyph;
        if (end < start || !glyf.Sub(start, end - start, glyph)) Damaged();
        Reader r(glyph);
        std::int16_t numContours = 0;
        if (glyph.size == 0 || !r.S16(numContours) || numContours == 0) {
            glyphs.Be16(0);
        } else if (numContours > 0) {
            EncodeSimple(r, numContours, out, glyphs);
        } else {
            EncodeComposite(r, glyph, out, glyphs);
        }
        // Repeated point flags let a small glyf describe streams hundreds of times its size;
        // stop as soon as a stream outgrows what one block can carry.
        if (glyphs.Size() > kLzcompMaxLength || out.code.size() > kLzcompMaxLength) {
            throw EmbedError{E_ERRORCOMPRESSINGFONTDATA};
        }
    }
    out.glyphs = std::move(glyphs.Out());
    return out;
}

Bytes EncodeCvt(Span cvt)
{
    Writer w;
    const size_t count = cvt.size / 2;
    if (count > 0xFFFF) Damaged();
    w.Be16(static_cast<std::uint32_t>(count));
    std::uint16_t previous = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::uint16_t value = PeekU16(cvt, 2 * i);
        const int d = static_cast<std::int16_t>(static_cast<std::uint16_t>(value - previous));
        previous = value;
        if (d >= 0 && d < 238) {
            w.U8(static_cast<std::uint32_t>(d));
        } else if (d >= 238 && d < 238 * 9) {
            const int k = d / 238;
            w.U8(static_cast<std::uint32_t>(247 + k));
            w.U8(static_cast<std::uint32_t>(d - 238 * k));
        } else if (d < 0 && d > -238 * 9) {
            const int k = -d / 238;
            w.U8(static_cast<std::uint32_t>(239 + k));
            w.U8(static_cast<std::uint32_t>(-d - 238 * k));
        } else {
            w.U8(238);
            w.Be16(static_cast<std::uint16_t>(d));
        }
    }
    return std::move(w.Out());
}

} // namespace t2e

