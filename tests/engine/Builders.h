// Small font, collection and WOFF files built in memory, so that the engine's readers and
// encoder meet exactly the damage a test wants: short files, tables past the end, tags out of
// order, zero-length tables.
#pragma once

#include "File.h"
#include "TestFonts.h"

#include <memory>
#include <string>
#include <vector>

namespace enginetest {

using testfonts::Bytes;

struct Table {
    std::string tag;  // four characters
    Bytes data;
};

// A directory record written as given, whatever the data says.
struct Entry {
    std::string tag;
    std::uint32_t checkSum;
    std::uint32_t offset;
    std::uint32_t length;
};

void Put16(Bytes& out, std::uint16_t v);
void Put32(Bytes& out, std::uint32_t v);
void PutTag(Bytes& out, const std::string& tag);

// The sfnt checksum, computed independently of the engine.
std::uint32_t Checksum(const Bytes& data);

// An sfnt font whose tables follow the directory in the given order, each padded to 4 bytes,
// with correct checksums. base is where the font starts in its file (a collection member):
// table offsets count from the start of the file.
Bytes BuildSfnt(std::uint32_t version, const std::vector<Table>& tables, std::uint32_t base = 0);

// An offset table claiming numTables, followed by exactly the given directory records.
Bytes BuildDirectory(std::uint32_t version, std::uint16_t numTables, const std::vector<Entry>& entries);

// A collection: header, offset list and the members one after another.
Bytes BuildCollection(const std::vector<std::vector<Table>>& members);

// A memory file holding data, positioned at 0.
std::unique_ptr<CMemFile> MemFile(const Bytes& data);
Bytes Contents(const CMemFile& file);

// Bytes that zlib cannot shrink (a fixed pseudo-random sequence) and bytes it shrinks well.
Bytes Noise(size_t n, std::uint32_t seed = 1);
Bytes Repeated(size_t n, std::uint8_t value = 'A');

// A memory file that counts the bytes read from it, so that the reads of a walk can be weighed.
class CountingFile : public CMemFile {
public:
    UINT Read(void* buffer, UINT count) override
    {
        const UINT n = CMemFile::Read(buffer, count);
        m_read += n;
        return n;
    }
    ULONGLONG m_read = 0;
};

} // namespace enginetest
