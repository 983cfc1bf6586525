#include "EngineMessages.h"
#include "FileIO.h"
#include "MessageBox.h"
#include "WOFF.h"

#include <algorithm>
#include <bit>

std::unique_ptr<BYTE[]> AllocBuffer(size_t n)
{
    BYTE* p = new (std::nothrow) BYTE[n ? n : 1];
    if (!p) AfxThrowMemoryException();
    return std::unique_ptr<BYTE[]>(p);
}

BOOL Refuse(const char16_t* message)
{
    AfxMessageBox(message);
    return FALSE;
}

void ShowReadError()
{
    AfxMessageBox(kMsgReadError, MB_OK);
}

std::vector<BYTE> ReadBlock(CFile* file, size_t n)
{
    // Read in steps, so that a length the file only claims allocates at most one step more
    // than the file really holds.
    constexpr size_t kStep = 64 * 1024;
    std::vector<BYTE> block;
    try {
        while (block.size() < n) {
            const size_t want = std::min(kStep, n - block.size());
            const size_t have = block.size();
            block.resize(have + want);
            const UINT got = file->Read(block.data() + have, static_cast<UINT>(want));
            block.resize(have + got);
            if (got < want) break;
        }
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    return block;
}

UINT ReadBigEndian(CFile* file, BYTE* dst, UINT itemSize, UINT count)
{
    if (itemSize == 1) return file->Read(dst, count);
    BYTE scratch[8];
    if (itemSize == 0 || itemSize > sizeof scratch) return 0;
    UINT stored = 0;
    for (UINT i = 0; i < count; ++i) {
        const UINT got = file->Read(scratch, itemSize);
        if (got == 0) break;
        if (got < itemSize) {
            ShowReadError();
            break;
        }
        if constexpr (std::endian::native == std::endian::little)
            std::reverse_copy(scratch, scratch + itemSize, dst);
        else
            std::copy(scratch, scratch + itemSize, dst);
        dst += itemSize;
        stored += itemSize;
    }
    return stored;
}
