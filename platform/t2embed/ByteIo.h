// Byte-level reading and writing for the embedding library.
//
// Reader: every read checks the bytes left first (overflow-free: `size - pos < n`) and, on
// failure, reports false and stays where it was; nothing is read from outside the span.
// Writer: appends big- or little-endian integers to a growing byte vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace t2e {

using Bytes = std::vector<std::uint8_t>;

struct Span {
    const std::uint8_t* data = nullptr;
    size_t size = 0;

    // The sub-span [offset, offset + length), or an empty span with ok = false when it does
    // not lie inside this one.
    bool Sub(std::uint64_t offset, std::uint64_t length, Span& out) const
    {
        if (offset > size || length > size - offset) return false;
        out = Span{data + offset, static_cast<size_t>(length)};
        return true;
    }
};

class Reader {
public:
    explicit Reader(Span span) : m_span(span) {}

    size_t Position() const { return m_pos; }
    size_t Left() const { return m_span.size - m_pos; }
    bool Seek(size_t pos)
    {
        if (pos > m_span.size) return false;
        m_pos = pos;
        return true;
    }
    bool Skip(size_t n)
    {
        if (Left() < n) return false;
        m_pos += n;
        return true;
    }
    bool U8(std::uint8_t& v)
    {
        if (Left() < 1) return false;
        v = m_span.data[m_pos++];
        return true;
    }
    bool U16(std::uint16_t& v)
    {
        if (Left() < 2) return false;
        v = static_cast<std::uint16_t>((m_span.data[m_pos] << 8) | m_span.data[m_pos + 1]);
        m_pos += 2;
        return true;
    }
    bool S16(std::int16_t& v)
    {
        std::uint16_t u;
        if (!U16(u)) return false;
        v = static_cast<std::int16_t>(u);
        return true;
    }
    bool U32(std::uint32_t& v)
    {
        if (Left() < 4) return false;
        const std::uint8_t* p = m_span.data + m_pos;
        v = (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
        m_pos += 4;
        return true;
    }
    // A view of the next n bytes, consumed.
    bool Take(size_t n, Span& out)
    {
        if (Left() < n) return false;
        out = Span{m_span.data + m_pos, n};
        m_pos += n;
        return true;
    }

private:
    Span m_span;
    size_t m_pos = 0;
};

inline std::uint16_t PeekU16(Span s, size_t offset)
{
    return offset <= s.size && s.size - offset >= 2 ? static_cast<std::uint16_t>((s.data[offset] << 8) | s.data[offset + 1]) : 0;
}

inline std::uint32_t PeekU32(Span s, size_t offset)
{
    return offset <= s.size && s.size - offset >= 4
               ? (std::uint32_t(s.data[offset]) << 24) | (std::uint32_t(s.data[offset + 1]) << 16) |
                     (std::uint32_t(s.data[offset + 2]) << 8) | s.data[offset + 3]
               : 0;
}

class Writer {
public:
    Bytes& Out() { return m_out; }
    size_t Size() const { return m_out.size(); }
    void U8(std::uint32_t v) { m_out.push_back(static_cast<std::uint8_t>(v)); }
    void Be16(std::uint32_t v)
    {
        U8(v >> 8);
        U8(v);
    }
    void Be24(std::uint32_t v)
    {
        U8(v >> 16);
        Be16(v);
    }
    void Be32(std::uint32_t v)
    {
        Be16(v >> 16);
        Be16(v);
    }
    void Le16(std::uint32_t v)
    {
        U8(v);
        U8(v >> 8);
    }
    void Le32(std::uint32_t v)
    {
        Le16(v);
        Le16(v >> 16);
    }
    void Append(Span s) { m_out.insert(m_out.end(), s.data, s.data + s.size); }
    void Append(const Bytes& b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    void Pad4()
    {
        while (m_out.size() % 4) U8(0);
    }

private:
    Bytes m_out;
};

// The failure of one step of the embedding, carrying the library's result code.
struct EmbedError {
    long code;
};

} // namespace t2e
