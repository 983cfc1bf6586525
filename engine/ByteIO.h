// Byte-level building blocks of the engine: big-endian numbers, tags, and FieldReader, the one
// reader through which every structure read from a font or WOFF file is decoded. Nothing here
// touches a file, so all of it can be tested and fuzzed on plain byte arrays.
#pragma once

#include "Types.h"

#include <cstddef>
#include <cstring>

inline WORD GetBe16(const BYTE* p)
{
    return static_cast<WORD>((p[0] << 8) | p[1]);
}

inline DWORD GetBe32(const BYTE* p)
{
    return (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | DWORD(p[3]);
}

inline void PutBe16(BYTE* p, WORD v)
{
    p[0] = static_cast<BYTE>(v >> 8);
    p[1] = static_cast<BYTE>(v);
}

inline void PutBe32(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v >> 24);
    p[1] = static_cast<BYTE>(v >> 16);
    p[2] = static_cast<BYTE>(v >> 8);
    p[3] = static_cast<BYTE>(v);
}

// The four bytes of a tag compared with a four-character literal such as "CFF ".
inline bool TagIs(const BYTE* tag, const char (&name)[5])
{
    return std::memcmp(tag, name, 4) == 0;
}

// The sfnt versions of the fonts the engine reads: TrueType (00 01 00 00 or "true") and CFF
// ("OTTO").
inline bool IsFontFlavor(DWORD version)
{
    return version == 0x00010000 || version == 0x74727565 || version == 0x4F54544F;
}

// Decodes fields, in order, from bytes that were read from a file, by the engine's field-read
// rule:
//   - a number wholly present is taken, converted from big-endian;
//   - a number that the data ends inside is not stored and marks the reader cut (the caller
//     shows the read-error message once); the reader is then at the end;
//   - a number past the end is not stored, silently;
//   - a raw run (tag, signature) takes whatever of its bytes are there.
// No read ever leaves the data, whatever the caller asks for.
class FieldReader {
public:
    FieldReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    void Raw(BYTE* dst, size_t n)
    {
        const size_t have = Remaining() < n ? Remaining() : n;
        // A whole run is copied at its own size, which the compiler knows for a tag: one move,
        // not a loop of byte stores that a read of the tag right after would stall on.
        if (have == n)
            std::memcpy(dst, m_data + m_offset, n);
        else if (have)
            std::memcpy(dst, m_data + m_offset, have);
        m_offset += have;
    }
    void U16(WORD& field)
    {
        if (const BYTE* p = Take(2)) field = GetBe16(p);
    }
    void U32(DWORD& field)
    {
        if (const BYTE* p = Take(4)) field = GetBe32(p);
    }

    bool AtEnd() const { return m_offset >= m_size; }
    bool Cut() const { return m_cut; }
    size_t Offset() const { return m_offset; }
    size_t Remaining() const { return m_size - m_offset; }

private:
    const BYTE* Take(size_t n)
    {
        if (Remaining() >= n) {
            const BYTE* p = m_data + m_offset;
            m_offset += n;
            return p;
        }
        if (Remaining() > 0) m_cut = true;
        m_offset = m_size;
        return nullptr;
    }

    const BYTE* m_data;
    size_t m_size;
    size_t m_offset = 0;
    bool m_cut = false;
};
