// WOFF 1.0 files built in memory for the decoder's tests: tables stored or compressed as the
// test asks, in the order it gives, with an optional metadata block.
#pragma once

#include "Builders.h"
#include "MetaDataViewer.h"

namespace enginetest {

struct WoffTable {
    std::string tag;
    Bytes data;
    bool compress = true;  // stored as zlib gives it (when that is shorter), else as it is
};

inline constexpr size_t kWoffHeader = 44;
inline constexpr size_t kWoffEntry = 20;

// A WOFF whose directory and data follow tables in the given order; every checksum is the
// table's own, "head" counted with its checkSumAdjustment as zero. Metadata, when given, is
// compressed into a block at the end.
Bytes BuildWoff(std::uint32_t flavor, const std::vector<WoffTable>& tables, const Bytes& metadata = {});

// Overwrites the big-endian 32-bit number at offset.
void Poke32(Bytes& data, size_t offset, std::uint32_t value);

// The position of a field of WOFF directory entry i: 4 offset, 8 compLength, 12 origLength,
// 16 origChecksum.
inline size_t WoffField(size_t i, size_t field)
{
    return kWoffHeader + kWoffEntry * i + field;
}

// A "head" table of 54 bytes with a stale checkSumAdjustment.
Bytes HeadBytes();

// Installs viewer (an empty one: none) for the life of the object, then puts back the one before.
class ViewerScope {
public:
    explicit ViewerScope(MetaDataViewer viewer) : m_previous(SetMetaDataViewer(std::move(viewer))) {}
    ~ViewerScope() { SetMetaDataViewer(std::move(m_previous)); }
    ViewerScope(const ViewerScope&) = delete;
    ViewerScope& operator=(const ViewerScope&) = delete;

private:
    MetaDataViewer m_previous;
};

} // namespace enginetest
