#include "WoffBuilder.h"

#include "SfntCheck.h"

#include <algorithm>
#include <zlib.h>

namespace enginetest {

void Poke32(Bytes& data, size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) data.at(offset + size_t(i)) = std::uint8_t(value >> (24 - 8 * i));
}

Bytes HeadBytes()
{
    Bytes head = Noise(54, 77);
    Poke32(head, 8, 0x12345678);
    return head;
}

Bytes BuildWoff(std::uint32_t flavor, const std::vector<WoffTable>& tables, const Bytes& metadata)
{
    Bytes out(kWoffHeader + kWoffEntry * tables.size(), 0);
    std::uint32_t sfntSize = 12 + 16 * std::uint32_t(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) {
        const WoffTable& t = tables[i];
        Bytes stored = t.data;
        if (t.compress && !t.data.empty()) {
            uLongf length = compressBound(t.data.size());
            Bytes packed(length);
            compress2(packed.data(), &length, t.data.data(), t.data.size(), 9);
            if (length < t.data.size()) stored.assign(packed.begin(), packed.begin() + long(length));
        }
        std::copy(t.tag.begin(), t.tag.begin() + 4, out.begin() + long(WoffField(i, 0)));
        Poke32(out, WoffField(i, 4), std::uint32_t(out.size()));
        Poke32(out, WoffField(i, 8), std::uint32_t(stored.size()));
        Poke32(out, WoffField(i, 12), std::uint32_t(t.data.size()));
        Poke32(out, WoffField(i, 16), FreshChecksum(t.tag, t.data));
        out.insert(out.end(), stored.begin(), stored.end());
        while (out.size() % 4) out.push_back(0);
        sfntSize += (std::uint32_t(t.data.size()) + 3) & ~3u;
    }
    if (!metadata.empty()) {
        uLongf length = compressBound(metadata.size());
        Bytes packed(length);
        compress2(packed.data(), &length, metadata.data(), metadata.size(), 9);
        Poke32(out, 24, std::uint32_t(out.size()));
        Poke32(out, 28, std::uint32_t(length));
        Poke32(out, 32, std::uint32_t(metadata.size()));
        out.insert(out.end(), packed.begin(), packed.begin() + long(length));
    }
    std::copy_n("wOFF", 4, out.begin());
    Poke32(out, 4, flavor);
    Poke32(out, 8, std::uint32_t(out.size()));
    out[12] = std::uint8_t(tables.size() >> 8);
    out[13] = std::uint8_t(tables.size());
    Poke32(out, 16, sfntSize);
    out[21] = 1;
    return out;
}

} // namespace enginetest
