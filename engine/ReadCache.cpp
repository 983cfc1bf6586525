#include "ReadCache.h"

#include "FileIO.h"
#include "Limits.h"

#include <algorithm>
#include <cstring>

CReadCache::CReadCache(CFile* file)
    : m_file(file), m_length(file->GetLength()), m_blocks(static_cast<size_t>(m_length / kReadCacheBlock) + 1)
{
}

const std::vector<BYTE>& CReadCache::Block(size_t index)
{
    std::vector<BYTE>& block = m_blocks[index];
    if (!block.empty()) return block;
    if (m_resident.size() * kReadCacheBlock >= kMaxReadCacheBytes) {
        std::vector<BYTE>().swap(m_blocks[m_resident.front()]);
        m_resident.pop_front();
    }
    const ULONGLONG start = ULONGLONG(index) * kReadCacheBlock;
    m_file->Seek(static_cast<LONGLONG>(start), CFile::begin);
    block = ReadBlock(m_file, static_cast<size_t>(std::min<ULONGLONG>(kReadCacheBlock, m_length - start)));
    if (!block.empty()) m_resident.push_back(index);
    return block;
}

void CReadCache::Read(ULONGLONG offset, size_t n, std::vector<BYTE>& bytes)
{
    bytes.clear();
    if (offset >= m_length) return;
    bytes.resize(static_cast<size_t>(std::min<ULONGLONG>(n, m_length - offset)));
    for (size_t done = 0; done < bytes.size();) {
        const ULONGLONG at = offset + done;
        const std::vector<BYTE>& block = Block(static_cast<size_t>(at / kReadCacheBlock));
        const size_t within = static_cast<size_t>(at % kReadCacheBlock);
        if (within >= block.size()) {
            bytes.resize(done);  // the file was shorter than it said
            break;
        }
        const size_t count = std::min(bytes.size() - done, block.size() - within);
        std::memcpy(bytes.data() + done, block.data() + within, count);
        done += count;
    }
}
