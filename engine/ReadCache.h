// What the structure readers have read of an engine object's input file, kept in blocks so that
// reading the same bytes again costs a copy instead of a seek and a read of the file. The font
// picker's walk reads every member's offset table, directory and name table; members that share
// or overlap those structures are then read from memory. The input file is never written while
// an engine object reads it, so what was read stays true.
#pragma once

#include "File.h"

#include <deque>
#include <vector>

class CReadCache {
public:
    explicit CReadCache(CFile* file);

    // Up to n bytes at offset into bytes (whose room is kept): fewer where the file ends, none
    // past it.
    void Read(ULONGLONG offset, size_t n, std::vector<BYTE>& bytes);
    ULONGLONG Length() const { return m_length; }

private:
    const std::vector<BYTE>& Block(size_t index);

    CFile* m_file;
    ULONGLONG m_length;
    std::vector<std::vector<BYTE>> m_blocks;  // by block number; empty while not read
    std::deque<size_t> m_resident;            // block numbers in the order they were read
};
