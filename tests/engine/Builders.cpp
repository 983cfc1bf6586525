#include "Builders.h"

namespace enginetest {

void Put16(Bytes& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void Put32(Bytes& out, std::uint32_t v)
{
    Put16(out, static_cast<std::uint16_t>(v >> 16));
    Put16(out, static_cast<std::uint16_t>(v));
}

void PutTag(Bytes& out, const std::string& tag)
{
    for (size_t i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

std::uint32_t Checksum(const Bytes& data)
{
    std::uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); ++i) sum += std::uint32_t(data[i]) << (24 - 8 * (i % 4));
    return sum;
}

Bytes BuildSfnt(std::uint32_t version, const std::vector<Table>& tables, std::uint32_t base)
{
    Bytes out;
    Put32(out, version);
    Put16(out, static_cast<std::uint16_t>(tables.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    std::uint32_t offset = base + 12 + 16 * static_cast<std::uint32_t>(tables.size());
    for (const Table& t : tables) {
        PutTag(out, t.tag);
        Put32(out, Checksum(t.data));
        Put32(out, offset);
        Put32(out, static_cast<std::uint32_t>(t.data.size()));
        offset += (static_cast<std::uint32_t>(t.data.size()) + 3) & ~3u;
    }
    for (const Table& t : tables) {
        out.insert(out.end(), t.data.begin(), t.data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

Bytes BuildDirectory(std::uint32_t version, std::uint16_t numTables, const std::vector<Entry>& entries)
{
    Bytes out;
    Put32(out, version);
    Put16(out, numTables);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    for (const Entry& e : entries) {
        PutTag(out, e.tag);
        Put32(out, e.checkSum);
        Put32(out, e.offset);
        Put32(out, e.length);
    }
    return out;
}

Bytes BuildCollection(const std::vector<std::vector<Table>>& members)
{
    Bytes out;
    PutTag(out, "ttcf");
    Put32(out, 0x00010000);
    Put32(out, static_cast<std::uint32_t>(members.size()));
    std::uint32_t base = 12 + 4 * static_cast<std::uint32_t>(members.size());
    std::vector<Bytes> built;
    for (const auto& tables : members) {
        Put32(out, base);
        built.push_back(BuildSfnt(0x00010000, tables, base));
        base += static_cast<std::uint32_t>(built.back().size());
    }
    for (const Bytes& b : built) out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::unique_ptr<CMemFile> MemFile(const Bytes& data)
{
    auto file = std::make_unique<CMemFile>();
    if (!data.empty()) file->Write(data.data(), static_cast<UINT>(data.size()));
    file->Seek(0, CFile::begin);
    return file;
}

Bytes Contents(const CMemFile& file)
{
    const auto* p = file.Data();
    return p ? Bytes(p, p + file.GetLength()) : Bytes();
}

Bytes Noise(size_t n, std::uint32_t seed)
{
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

Bytes Repeated(size_t n, std::uint8_t value)
{
    return Bytes(n, value);
}

} // namespace enginetest
