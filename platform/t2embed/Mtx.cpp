#include "Mtx.h"

#include "T2embed.h"

#include <algorithm>

namespace t2e {

namespace {

constexpr std::uint64_t kMax24 = 0xFFFFFF;
constexpr std::uint8_t kBlockCount = 3;

} // namespace

Bytes BuildMtx(const CtfBlocks& blocks, LzcompOptions options)
{
    const Bytes* parts[3] = {&blocks.font, &blocks.pushes, &blocks.code};
    // The decoder may size its history from the copy limit: the longest block plus the
    // preset history covers every copy.
    std::uint64_t longest = 0;
    for (const Bytes* p : parts) longest = std::max<std::uint64_t>(longest, p->size());
    const std::uint64_t copyLimit = longest + kLzcompHistory;
    if (copyLimit > kMax24) throw EmbedError{E_ERRORCOMPRESSINGFONTDATA};

    Bytes compressed[3];
    for (int i = 0; i < 3; ++i) compressed[i] = LzcompCompress(Span{parts[i]->data(), parts[i]->size()}, options);
    const std::uint64_t offset2 = 10 + compressed[0].size();
    const std::uint64_t offset3 = offset2 + compressed[1].size();
    if (offset2 > kMax24 || offset3 > kMax24) throw EmbedError{E_ERRORCOMPRESSINGFONTDATA};

    Writer w;
    w.U8(kBlockCount);
    w.Be24(static_cast<std::uint32_t>(copyLimit));
    w.Be24(static_cast<std::uint32_t>(offset2));
    w.Be24(static_cast<std::uint32_t>(offset3));
    for (const Bytes& c : compressed) w.Append(c);
    return std::move(w.Out());
}

} // namespace t2e
