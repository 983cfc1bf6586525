// The engine's side of its file objects: allocation that raises the class library's memory
// exception, reading a structure's bytes without trusting the counts the file claims, and the
// read-error message of the field-read rule.
#pragma once

#include "ByteIO.h"
#include "File.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

// n value-initialised (zeroed) elements from new[]; raises the memory exception on failure.
template <typename T>
T* EngineNew(size_t n)
{
    T* p = new (std::nothrow) T[n]();
    if (!p) AfxThrowMemoryException();
    return p;
}

// An uninitialised byte buffer; raises the memory exception on failure.
std::unique_ptr<BYTE[]> AllocBuffer(size_t n);

struct FreeBytes {
    void operator()(BYTE* p) const { std::free(p); }
};
using ZeroedBytes = std::unique_ptr<BYTE[], FreeBytes>;

// n zeroed bytes (at least one) from calloc, which takes large blocks from the system as fresh
// pages that are zero already: the pages of such a block that nothing writes cost no memory.
// Raises the memory exception on failure.
inline ZeroedBytes AllocZeroed(size_t n)
{
    auto* p = static_cast<BYTE*>(std::calloc(n ? n : 1, 1));
    if (!p) AfxThrowMemoryException();
    return ZeroedBytes(p);
}

// The message of a field cut short by the end of the file.
void ShowReadError();

// Reads up to n bytes from the file's current position, stopping at the end of the file. The
// buffer grows with what actually arrives, so a count claimed by the file costs no more memory
// than the file holds.
std::vector<BYTE> ReadBlock(CFile* file, size_t n);

// Hands bytes read from a file to parse(FieldReader&); a field cut short shows the read-error
// message once, as the field-read rule asks.
template <typename Parse>
void ParseFields(const std::vector<BYTE>& block, Parse&& parse)
{
    FieldReader reader(block.data(), block.size());
    parse(reader);
    if (reader.Cut()) ShowReadError();
}

// Reads up to n bytes at the file's position and parses them as ParseFields does.
template <typename Parse>
void ReadFields(CFile* file, size_t n, Parse&& parse)
{
    ParseFields(ReadBlock(file, n), parse);
}
