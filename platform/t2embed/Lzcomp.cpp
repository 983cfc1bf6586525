#include "Lzcomp.h"

#include "AdaptiveHuffman.h"
#include "T2embed.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <vector>

namespace t2e {

namespace {

constexpr int kMaxMatch = 4096;
constexpr int kMaxChain = 32;
constexpr int kNiceMatch = 48;  // a copy this long is taken without looking further
constexpr int kSureMatch = 16;  // a copy this long always costs less than its literals
constexpr int kWindowBits = 18;  // 256 KiB: farther copies save under 2 % and cost twice the time
constexpr int kHashBits = 17;
constexpr std::uint32_t kLongDistance = 512;  // from here a copy needs 3 bytes

// The history every decoder starts with: pairs (k, j) for k < 32, j < 96, then each byte
// value four times.
std::vector<std::uint8_t> PresetHistory()
{
    std::vector<std::uint8_t> h;
    h.reserve(kLzcompHistory);
    for (int k = 0; k < 32; ++k) {
        for (int j = 0; j < 96; ++j) {
            h.push_back(static_cast<std::uint8_t>(k));
            h.push_back(static_cast<std::uint8_t>(j));
        }
    }
    for (int j = 0; j < 256; ++j) h.insert(h.end(), 4, static_cast<std::uint8_t>(j));
    return h;
}

int BitsUsed(std::uint32_t v)
{
    int n = 1;
    while (v >> n) ++n;
    return n;
}

class Encoder {
public:
    Encoder(Span data, LzcompOptions options)
        : m_options(options), m_length(data.size)
    {
        m_buf = PresetHistory();
        m_buf.insert(m_buf.end(), data.data, data.data + data.size);
        m_ranges = 1;
        for (std::uint64_t reach = 8; reach < m_length; reach *= 8) ++m_ranges;
        m_distMax = std::uint64_t(1) << (3 * m_ranges);
        m_dup2 = 256 + 8 * m_ranges;
        m_sym.emplace(m_dup2 + 3);
        m_len.emplace(8);
        m_dist.emplace(8);
        if (m_options.copies) {
            m_head.assign(size_t(1) << kHashBits, -1);
            // A chain link per position of the window, but no more than the positions there
            // are: a small font's three streams would otherwise each fill a megabyte.
            m_prev.assign(std::min(size_t(1) << kWindowBits, std::bit_ceil(m_buf.size())), -1);
        }
    }

    Bytes Run()
    {
        m_bits.Bit(0);
        m_bits.Write(static_cast<std::uint32_t>(m_length), 24);
        const size_t end = m_buf.size();
        if (m_options.copies) {
            for (size_t p = 0; p + 2 < kLzcompHistory && p + 2 < end; ++p) Insert(p);
        }
        size_t pos = kLzcompHistory;
        Match pending{};
        bool havePending = false;
        while (pos < end) {
            Match m{};
            if (havePending) m = pending;
            else if (m_options.copies) m = BestMatch(pos);
            havePending = false;
            if (m.length >= 2 && m.length < kNiceMatch && pos + 1 < end) {
                // One step of lazy evaluation: a clearly longer copy one byte later wins.
                const Match next = BestMatch(pos + 1);
                if (next.length > m.length + 1) {
                    m.length = 0;
                    pending = next;
                    havePending = true;
                }
            }
            if (m.length >= 2 && (m.length >= kSureMatch || CopyCost(m) < LiteralCost(pos, m.length))) {
                EncodeCopy(m);
                for (size_t k = 0; k < size_t(m.length); ++k) Insert(pos + k);
                pos += size_t(m.length);
            } else {
                EncodeByte(pos);
                if (m_options.copies) Insert(pos);
                ++pos;
            }
        }
        return m_bits.Finish();
    }

private:
    struct Match {
        int length;
        std::uint32_t distance;  // from the copy's last source byte back to pos
    };

    std::uint32_t Hash(size_t p) const
    {
        const std::uint32_t v = (std::uint32_t(m_buf[p]) << 16) | (std::uint32_t(m_buf[p + 1]) << 8) | m_buf[p + 2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    void Insert(size_t p)
    {
        if (!m_options.copies || p + 2 >= m_buf.size()) return;
        const std::uint32_t h = Hash(p);
        m_prev[p & (m_prev.size() - 1)] = m_head[h];
        m_head[h] = static_cast<std::int32_t>(p);
    }

    Match BestMatch(size_t pos) const
    {
        Match best{0, 0};
        if (pos + 2 >= m_buf.size()) return best;
        const size_t left = m_buf.size() - pos;
        const int lengthCap = static_cast<int>(std::min<size_t>(left, kMaxMatch));
        std::int64_t cand = m_head[Hash(pos)];
        const size_t window = size_t(1) << kWindowBits;
        for (int chain = 0; chain < kMaxChain && cand >= 0; ++chain) {
            const size_t c = static_cast<size_t>(cand);
            if (c >= pos) break;
            const size_t offset = pos - c;
            if (offset >= window || offset > m_distMax + size_t(lengthCap)) break;
            // Source and destination may not overlap: the copy ends before pos.
            const int cap = static_cast<int>(std::min<size_t>(offset, size_t(lengthCap)));
            if (cap > best.length && m_buf[c + size_t(best.length)] == m_buf[pos + size_t(best.length)]) {
                int l = 0;
                while (l < cap && m_buf[c + size_t(l)] == m_buf[pos + size_t(l)]) ++l;
                const std::uint64_t d = offset - size_t(l) + 1;
                if (l > best.length && d <= m_distMax && (l >= 3 || d < kLongDistance)) {
                    best = {l, static_cast<std::uint32_t>(d)};
                    if (l == lengthCap || l >= kNiceMatch) break;
                }
            }
            cand = m_prev[c & (m_prev.size() - 1)];
            if (cand >= static_cast<std::int64_t>(c)) break;
        }
        return best;
    }

    // The 2-bit groups of the length value, most significant first, each with its
    // "more follows" bit, and the 3-bit groups of the distance.
    struct CopyCodes {
        int lengthGroups[16];
        int lengthCount;
        int distGroups[16];
        int distCount;
    };

    CopyCodes Codes(const Match& m) const
    {
        CopyCodes c{};
        const std::uint32_t v = std::uint32_t(m.length) - (m.distance >= kLongDistance ? 3 : 2);
        const int groups = (BitsUsed(v) + 1) / 2;
        for (int g = groups - 1; g >= 0; --g) {
            c.lengthGroups[c.lengthCount++] = ((g > 0 ? 1 : 0) << 2) | int((v >> (2 * g)) & 3);
        }
        const std::uint32_t dv = m.distance - 1;
        const int ranges = (BitsUsed(dv) + 2) / 3;
        for (int g = ranges - 1; g >= 0; --g) c.distGroups[c.distCount++] = int((dv >> (3 * g)) & 7);
        return c;
    }

    int CopyCost(const Match& m) const
    {
        const CopyCodes c = Codes(m);
        int cost = m_sym->CodeLength(256 + c.lengthGroups[0] + 8 * (c.distCount - 1));
        for (int i = 1; i < c.lengthCount; ++i) cost += m_len->CodeLength(c.lengthGroups[i]);
        for (int i = 0; i < c.distCount; ++i) cost += m_dist->CodeLength(c.distGroups[i]);
        return cost;
    }

    int LiteralCost(size_t pos, int length) const
    {
        int cost = 0;
        for (int i = 0; i < length; ++i) cost += m_sym->CodeLength(m_buf[pos + size_t(i)]);
        return cost;
    }

    void EncodeCopy(const Match& m)
    {
        const CopyCodes c = Codes(m);
        m_sym->Encode(256 + c.lengthGroups[0] + 8 * (c.distCount - 1), m_bits);
        for (int i = 1; i < c.lengthCount; ++i) m_len->Encode(c.lengthGroups[i], m_bits);
        for (int i = 0; i < c.distCount; ++i) m_dist->Encode(c.distGroups[i], m_bits);
    }

    // A literal, or a repeat of the byte 2, 4 or 6 places back: the cheaper one when copies
    // are on, otherwise the first repeat that fits.
    void EncodeByte(size_t pos)
    {
        const std::uint8_t b = m_buf[pos];
        int symbol = b;
        int best = m_options.copies ? m_sym->CodeLength(b) : 1 << 30;
        for (int k = 0; k < 3; ++k) {
            if (m_buf[pos - size_t(2 * k + 2)] != b) continue;
            const int cost = m_options.copies ? m_sym->CodeLength(m_dup2 + k) : 0;
            if (cost < best) {
                best = cost;
                symbol = m_dup2 + k;
            }
        }
        m_sym->Encode(symbol, m_bits);
    }

    LzcompOptions m_options;
    std::uint64_t m_length;
    std::vector<std::uint8_t> m_buf;  // preset history, then the data
    int m_ranges = 1;
    std::uint64_t m_distMax = 8;
    int m_dup2 = 264;
    std::optional<AdaptiveHuffman> m_sym, m_len, m_dist;
    BitWriter m_bits;
    std::vector<std::int32_t> m_head;
    std::vector<std::int32_t> m_prev;
};

} // namespace

Bytes LzcompCompress(Span data, LzcompOptions options)
{
    if (data.size > kLzcompMaxLength) throw EmbedError{E_ERRORCOMPRESSINGFONTDATA};
    Encoder encoder(data, options);
    return encoder.Run();
}

} // namespace t2e
