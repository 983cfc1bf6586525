// Reading the fonts that the engine writes, independently of the engine: their directory, their
// tables, and the sums that the sfnt format asks of them.
#pragma once

#include "Builders.h"

#include <map>
#include <string>
#include <vector>

namespace enginetest {

struct OutEntry {
    std::string tag;
    std::uint32_t checkSum;
    std::uint32_t offset;
    std::uint32_t length;
};

// The directory of the sfnt starting at start, in file order.
std::vector<OutEntry> DirectoryOf(const Bytes& font, size_t start = 0);
// The bytes of one table, as the directory places them.
Bytes TableOf(const Bytes& font, const OutEntry& entry);
// Tags in the order their data stands in the file.
std::vector<std::string> DataOrder(const std::vector<OutEntry>& directory);
// The order a font written by the engine gives its tables' data: the tags of list that the
// directory holds, in list order, then the other entries in directory order.
std::vector<std::string> ExpectedOrder(const std::vector<OutEntry>& directory, const std::vector<std::string>& list);
// The checksum the sfnt format wants for a table: for "head", with checkSumAdjustment as zero.
std::uint32_t FreshChecksum(const std::string& tag, Bytes table);
// The big-endian word sum of a whole file, which a finished font brings to 0xB1B0AFBA.
std::uint32_t WholeFileSum(const Bytes& font);

// Runs a python program with the system's fontTools; the program's standard output, or a
// failure of the test's assertion.
std::string RunFontTools(const std::string& program, const std::vector<std::string>& args);

} // namespace enginetest
