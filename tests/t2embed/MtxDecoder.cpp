#include "MtxDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace mtxtest {

namespace {

[[noreturn]] void Bad(const std::string& what) { throw DecodeError(what); }

class In {
public:
    In(const std::uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit In(const Bytes& b) : In(b.data(), b.size()) {}
    std::uint8_t U8()
    {
        if (m_pos >= m_size) Bad("truncated");
        return m_data[m_pos++];
    }
    std::uint16_t Be16() { const std::uint16_t hi = U8(); return static_cast<std::uint16_t>(hi << 8 | U8()); }
    std::uint32_t Be32() { const std::uint32_t hi = Be16(); return hi << 16 | Be16(); }
    std::uint16_t Le16() { const std::uint16_t lo = U8(); return static_cast<std::uint16_t>(lo | U8() << 8); }
    std::uint32_t Le32() { const std::uint32_t lo = Le16(); return lo | std::uint32_t(Le16()) << 16; }
    Bytes Take(size_t n)
    {
        if (m_size - m_pos < n) Bad("truncated");
        Bytes b(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return b;
    }
    std::uint32_t U255()
    {
        const std::uint8_t b = U8();
        if (b == 253) return Be16();
        if (b == 254) return 506u + U8();
        if (b == 255) return 253u + U8();
        return b;
    }
    size_t Pos() const { return m_pos; }
    bool AtEnd() const { return m_pos == m_size; }

private:
    const std::uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void PutBe16(Bytes& b, std::uint32_t v) { b.push_back(std::uint8_t(v >> 8)); b.push_back(std::uint8_t(v)); }
void PutBe32(Bytes& b, std::uint32_t v) { PutBe16(b, v >> 16); PutBe16(b, v); }

class Bits {
public:
    explicit Bits(const Bytes& b) : m_b(b) {}
    int Bit()
    {
        if (m_pos / 8 >= m_b.size()) Bad("bit stream ends early");
        const int bit = (m_b[m_pos / 8] >> (7 - m_pos % 8)) & 1;
        ++m_pos;
        return bit;
    }
    std::uint32_t Read(int n)
    {
        std::uint32_t v = 0;
        while (n--) v = v << 1 | std::uint32_t(Bit());
        return v;
    }

private:
    const Bytes& m_b;
    size_t m_pos = 0;
};

// The decoding side of the adaptive coder: a tree kept in sibling order by weight.
class Tree {
public:
    explicit Tree(int symbols) : n(symbols), up(2 * n), left(2 * n), right(2 * n), sym(2 * n, -1), w(2 * n), leaf(n)
    {
        for (int i = 2; i < 2 * n; ++i) { up[i] = i / 2; w[i] = 1; }
        for (int i = 1; i < n; ++i) { left[i] = 2 * i; right[i] = 2 * i + 1; }
        for (int s = 0; s < n; ++s) { sym[n + s] = s; leaf[s] = n + s; }
        for (int i = n - 1; i >= 1; --i) w[i] = w[2 * i] + w[2 * i + 1];
        if (n > 256 && n < 512) {
            Bump(leaf[256]);
            Bump(leaf[257]);
            for (int i = 0; i < 12; ++i) Bump(leaf[n - 3]);
            for (int i = 0; i < 6; ++i) Bump(leaf[n - 2]);
        } else {
            for (int k = 0; k < 2; ++k) for (int s = 0; s < n; ++s) Bump(leaf[s]);
        }
    }
    int Decode(Bits& bits)
    {
        int a = 1;
        while (sym[a] < 0) a = bits.Bit() ? right[a] : left[a];
        const int s = sym[a];
        Bump(a);
        return s;
    }

private:
    void Exchange(int a, int b)
    {
        std::swap(left[a], left[b]);
        std::swap(right[a], right[b]);
        std::swap(sym[a], sym[b]);
        std::swap(w[a], w[b]);
        for (int x : {a, b}) {
            if (sym[x] < 0) { up[left[x]] = x; up[right[x]] = x; }
            else leaf[sym[x]] = x;
        }
    }
    void Bump(int a)
    {
        while (a != 1) {
            int b = a;
            while (b - 1 >= 1 && w[b - 1] == w[a]) --b;
            if (b != a && b > 1) { Exchange(a, b); a = b; }
            ++w[a];
            a = up[a];
        }
        ++w[1];
    }

    int n;
    std::vector<int> up, left, right, sym, w, leaf;
};

Bytes History()
{
    Bytes h;
    for (int k = 0; k < 32; ++k) for (int j = 0; j < 96; ++j) { h.push_back(std::uint8_t(k)); h.push_back(std::uint8_t(j)); }
    for (int j = 0; j < 256; ++j) h.insert(h.end(), 4, std::uint8_t(j));
    return h;
}

std::uint32_t Checksum(const Bytes& b)
{
    std::uint32_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 4) {
        std::uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) word = word << 8 | (i + k < b.size() ? b[i + k] : 0);
        sum += word;
    }
    return sum;
}

struct Point {
    int x, y;
    bool on;
};

// One simple glyph back in the plain glyf form: every coordinate as a 16-bit delta.
Bytes SimpleGlyph(In& g, In& code, int contours, bool explicitBox)
{
    std::int16_t box[4] = {0, 0, 0, 0};
    if (explicitBox) for (auto& v : box) v = static_cast<std::int16_t>(g.Be16());
    std::vector<std::uint32_t> endPts;
    std::uint32_t points = 0;
    for (int c = 0; c < contours; ++c) {
        const std::uint32_t v = g.U255();
        points = c == 0 ? v + 1 : points + v;
        endPts.push_back(points - 1);
    }
    if (points > 0xFFFF) Bad("too many points");
    Bytes flags = g.Take(points);
    std::vector<Point> pts;
    for (std::uint8_t f : flags) {
        const int i = f & 0x7F;
        int dx = 0, dy = 0, s = 0;
        if (i < 10) { dy = 256 * (i >> 1) + g.U8(); if (!(i & 1)) dy = -dy; }
        else if (i < 20) { dx = 256 * ((i - 10) >> 1) + g.U8(); if (!(i & 1)) dx = -dx; }
        else {
            if (i < 84) {
                const int j = i - 20, b = g.U8();
                s = j & 3;
                dx = 1 + 16 * (j >> 4) + (b >> 4);
                dy = 1 + 16 * ((j >> 2) & 3) + (b & 15);
            } else if (i < 120) {
                const int j = i - 84;
                s = j & 3;
                dx = 1 + 256 * (j / 12) + g.U8();
                dy = 1 + 256 * ((j % 12) >> 2) + g.U8();
            } else if (i < 124) {
                s = i - 120;
                const int b1 = g.U8(), b2 = g.U8(), b3 = g.U8();
                dx = b1 << 4 | b2 >> 4;
                dy = (b2 & 15) << 8 | b3;
            } else {
                s = i - 124;
                dx = g.Be16();
                dy = g.Be16();
            }
            if (!(s & 1)) dx = -dx;
            if (!(s & 2)) dy = -dy;
        }
        pts.push_back({dx, dy, (f & 0x80) == 0});
    }
    if (g.U255() != 0) Bad("push values are not expected");
    const std::uint32_t codeSize = g.U255();
    Bytes instructions = code.Take(codeSize);
    if (!explicitBox) {
        std::int16_t x = 0, y = 0;
        box[0] = box[1] = 32767;
        box[2] = box[3] = -32768;
        for (const Point& p : pts) {
            x = static_cast<std::int16_t>(x + p.x);
            y = static_cast<std::int16_t>(y + p.y);
            box[0] = std::min(box[0], x); box[1] = std::min(box[1], y);
            box[2] = std::max(box[2], x); box[3] = std::max(box[3], y);
        }
    }
    Bytes out;
    PutBe16(out, std::uint32_t(contours));
    for (auto v : box) PutBe16(out, std::uint16_t(v));
    for (auto e : endPts) PutBe16(out, e);
    PutBe16(out, codeSize);
    out.insert(out.end(), instructions.begin(), instructions.end());
    for (const Point& p : pts) out.push_back(p.on ? 1 : 0);
    for (const Point& p : pts) PutBe16(out, std::uint16_t(p.x));
    for (const Point& p : pts) PutBe16(out, std::uint16_t(p.y));
    return out;
}

Bytes CompositeGlyph(In& g, In& code)
{
    Bytes out;
    PutBe16(out, 0xFFFF);
    Bytes box = g.Take(8);
    out.insert(out.end(), box.begin(), box.end());
    std::uint16_t flags = 0;
    do {
        flags = g.Be16();
        PutBe16(out, flags);
        size_t n = 2 + ((flags & 1) ? 4 : 2);
        if (flags & 0x8) n += 2;
        else if (flags & 0x40) n += 4;
        else if (flags & 0x80) n += 8;
        Bytes rest = g.Take(n);
        out.insert(out.end(), rest.begin(), rest.end());
    } while (flags & 0x20);
    if (flags & 0x100) {
        if (g.U255() != 0) Bad("push values are not expected");
        const std::uint32_t size = g.U255();
        PutBe16(out, size);
        Bytes instructions = code.Take(size);
        out.insert(out.end(), instructions.begin(), instructions.end());
    }
    return out;
}

Bytes DecodeCvt(const Bytes& table)
{
    In in(table);
    const std::uint16_t count = in.Be16();
    Bytes out;
    std::uint16_t value = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t b = in.U8();
        int d;
        if (b < 238) d = b;
        else if (b == 238) d = static_cast<std::int16_t>(in.Be16());
        else if (b < 248) d = -(238 * (b - 239) + in.U8());
        else d = 238 * (b - 247) + in.U8();
        value = static_cast<std::uint16_t>(value + d);
        PutBe16(out, value);
    }
    return out;
}

} // namespace

Bytes LzcompDecompress(const Bytes& stream)
{
    Bits bits(stream);
    if (bits.Bit()) Bad("run-length pre-pass is not expected");
    const std::uint32_t length = bits.Read(24);
    int ranges = 1;
    for (std::uint64_t reach = 8; reach < length; reach *= 8) ++ranges;
    const int dup2 = 256 + 8 * ranges;
    Tree symbols(dup2 + 3), lengths(8), distances(8);
    Bytes out = History();
    const size_t start = out.size();
    while (out.size() - start < length) {
        const int s = symbols.Decode(bits);
        if (s < 256) {
            out.push_back(std::uint8_t(s));
        } else if (s >= dup2) {
            out.push_back(out[out.size() - size_t(2 * (s - dup2 + 1))]);
        } else {
            const int r = (s - 256) / 8 + 1;
            int group = (s - 256) % 8;
            std::uint32_t v = group & 3;
            while (group & 4) {
                group = lengths.Decode(bits);
                v = v << 2 | (group & 3);
            }
            std::uint32_t d = 0;
            for (int i = 0; i < r; ++i) d = d << 3 | std::uint32_t(distances.Decode(bits));
            d += 1;
            std::uint32_t l = v + 2 + (d >= 512 ? 1 : 0);
            if (d + l - 1 > out.size() || out.size() - start + l > length) Bad("copy out of range");
            const size_t from = out.size() - d - l + 1;
            for (std::uint32_t i = 0; i < l; ++i) out.push_back(out[from + i]);
        }
    }
    return Bytes(out.begin() + std::ptrdiff_t(start), out.end());
}

EotFile ParseEot(const Bytes& file)
{
    In in(file);
    EotFile e{};
    e.eotSize = in.Le32();
    e.fontDataSize = in.Le32();
    e.version = in.Le32();
    e.flags = in.Le32();
    for (auto& b : e.panose) b = in.U8();
    e.charset = in.U8();
    e.italic = in.U8();
    e.weight = in.Le32();
    e.fsType = in.Le16();
    e.magic = in.Le16();
    for (auto& v : e.unicodeRange) v = in.Le32();
    for (auto& v : e.codePageRange) v = in.Le32();
    e.checkSumAdjustment = in.Le32();
    for (int i = 0; i < 4; ++i) if (in.Le32() != 0) Bad("reserved field not 0");
    for (std::u16string* name : {&e.familyName, &e.styleName, &e.versionName, &e.fullName}) {
        if (in.Le16() != 0) Bad("padding not 0");
        const std::uint16_t size = in.Le16();
        if (size % 2) Bad("odd name size");
        for (std::uint16_t i = 0; i < size / 2; ++i) name->push_back(char16_t(in.Le16()));
    }
    if (in.Le16() != 0) Bad("padding not 0");
    e.rootString = in.Take(in.Le16());
    e.rootStringCheckSum = in.Le32();
    e.eudcCodePage = in.Le32();
    if (in.Le16() != 0) Bad("padding not 0");
    e.signatureSize = in.Le16();
    in.Take(e.signatureSize);
    e.eudcFlags = in.Le32();
    e.eudcFontSize = in.Le32();
    in.Take(e.eudcFontSize);
    e.fontData = in.Take(e.fontDataSize);
    if (!in.AtEnd() || e.eotSize != file.size()) Bad("sizes do not add up");
    return e;
}

Blocks UnpackMtx(const Bytes& data)
{
    In in(data);
    if (in.U8() != 3) Bad("block count");
    const std::uint32_t copyLimit = std::uint32_t(in.U8()) << 16 | in.Be16();
    const std::uint32_t off2 = std::uint32_t(in.U8()) << 16 | in.Be16();
    const std::uint32_t off3 = std::uint32_t(in.U8()) << 16 | in.Be16();
    if (off2 < 10 || off3 < off2 || off3 > data.size()) Bad("block offsets");
    auto part = [&](size_t a, size_t b) { return LzcompDecompress(Bytes(data.begin() + std::ptrdiff_t(a), data.begin() + std::ptrdiff_t(b))); };
    Blocks blocks{part(10, off2), part(off2, off3), part(off3, data.size())};
    for (const Bytes* b : {&blocks.font, &blocks.pushes, &blocks.code}) {
        if (b->size() + 7168 > copyLimit) Bad("copy limit below a block");
    }
    return blocks;
}

Bytes RebuildSfnt(const Blocks& blocks)
{
    In dir(blocks.font);
    const std::uint32_t version = dir.Be32();
    const std::uint16_t numTables = dir.Be16();
    dir.Take(6);
    std::map<std::uint32_t, Bytes> tables;
    for (std::uint16_t i = 0; i < numTables; ++i) {
        const std::uint32_t tag = dir.Be32();
        dir.Be32();
        const std::uint32_t offset = dir.Be32(), length = dir.Be32();
        if (offset > blocks.font.size() || length > blocks.font.size() - offset) Bad("table outside the font");
        tables[tag] = Bytes(blocks.font.begin() + offset, blocks.font.begin() + offset + length);
    }
    const std::uint32_t kHead = 0x68656164, kMaxp = 0x6D617870, kGlyf = 0x676C7966, kLoca = 0x6C6F6361, kCvt = 0x63767420;
    if (!tables.count(kHead) || !tables.count(kMaxp) || !tables.count(kGlyf) || !tables.count(kLoca)) Bad("tables missing");
    Bytes& head = tables[kHead];
    const bool longLoca = head.at(51) == 1;
    const std::uint16_t numGlyphs = static_cast<std::uint16_t>(tables[kMaxp].at(4) << 8 | tables[kMaxp].at(5));
    In g(tables[kGlyf]), code(blocks.code);
    Bytes glyf, loca;
    for (std::uint32_t id = 0; id <= numGlyphs; ++id) {
        if (longLoca) PutBe32(loca, std::uint32_t(glyf.size()));
        else if (glyf.size() / 2 > 0xFFFF) Bad("glyf too big for short loca");
        else PutBe16(loca, std::uint32_t(glyf.size() / 2));
        if (id == numGlyphs) break;
        const auto contours = static_cast<std::int16_t>(g.Be16());
        Bytes glyph;
        if (contours == 0x7FFF) glyph = SimpleGlyph(g, code, static_cast<std::int16_t>(g.Be16()), true);
        else if (contours > 0) glyph = SimpleGlyph(g, code, contours, false);
        else if (contours == -1) glyph = CompositeGlyph(g, code);
        else if (contours != 0) Bad("bad contour count");
        glyf.insert(glyf.end(), glyph.begin(), glyph.end());
        if (glyf.size() % 2) glyf.push_back(0);
    }
    if (!g.AtEnd() || !code.AtEnd()) Bad("streams not used up");
    tables[kGlyf] = glyf;
    tables[kLoca] = loca;
    if (tables.count(kCvt)) tables[kCvt] = DecodeCvt(tables[kCvt]);
    head.at(8) = head.at(9) = head.at(10) = head.at(11) = 0;

    Bytes out;
    PutBe32(out, version);
    PutBe16(out, std::uint32_t(tables.size()));
    std::uint32_t selector = 0;
    while ((2u << selector) <= tables.size()) ++selector;
    PutBe16(out, 16u << selector);
    PutBe16(out, selector);
    PutBe16(out, std::uint32_t(tables.size()) * 16 - (16u << selector));
    std::uint32_t offset = 12 + 16 * std::uint32_t(tables.size());
    for (const auto& [tag, data] : tables) {
        PutBe32(out, tag);
        PutBe32(out, Checksum(data));
        PutBe32(out, offset);
        PutBe32(out, std::uint32_t(data.size()));
        offset += (std::uint32_t(data.size()) + 3) & ~3u;
    }
    size_t headOffset = 0;
    for (const auto& [tag, data] : tables) {
        if (tag == kHead) headOffset = out.size();
        out.insert(out.end(), data.begin(), data.end());
        while (out.size() % 4) out.push_back(0);
    }
    const std::uint32_t adjust = 0xB1B0AFBAu - Checksum(out);
    for (int i = 0; i < 4; ++i) out[headOffset + 8 + size_t(i)] = std::uint8_t(adjust >> (24 - 8 * i));
    return out;
}

Bytes DecodeEot(const Bytes& eotFile)
{
    EotFile e = ParseEot(eotFile);
    if (e.flags & 0x10000000) for (auto& b : e.fontData) b ^= 0x50;
    return RebuildSfnt(UnpackMtx(e.fontData));
}

} // namespace mtxtest
