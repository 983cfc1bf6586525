#include "SfntCheck.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

namespace enginetest {

using testfonts::Be16;
using testfonts::Be32;

std::vector<OutEntry> DirectoryOf(const Bytes& font, size_t start)
{
    std::vector<OutEntry> directory;
    const size_t n = Be16(font, start + 4);
    for (size_t i = 0; i < n; ++i) {
        const size_t rec = start + 12 + 16 * i;
        directory.push_back({std::string(font.begin() + long(rec), font.begin() + long(rec) + 4), Be32(font, rec + 4),
                             Be32(font, rec + 8), Be32(font, rec + 12)});
    }
    return directory;
}

Bytes TableOf(const Bytes& font, const OutEntry& entry)
{
    if (size_t(entry.offset) + entry.length > font.size()) {
        ADD_FAILURE() << entry.tag << " lies beyond the end of the file";
        return {};
    }
    return Bytes(font.begin() + long(entry.offset), font.begin() + long(entry.offset + entry.length));
}

std::vector<std::string> DataOrder(const std::vector<OutEntry>& directory)
{
    std::vector<OutEntry> sorted = directory;
    std::stable_sort(sorted.begin(), sorted.end(), [](const OutEntry& a, const OutEntry& b) { return a.offset < b.offset; });
    std::vector<std::string> tags;
    for (const OutEntry& e : sorted) tags.push_back(e.tag);
    return tags;
}

std::vector<std::string> ExpectedOrder(const std::vector<OutEntry>& directory, const std::vector<std::string>& list)
{
    std::vector<std::string> order;
    for (const std::string& tag : list)
        if (std::any_of(directory.begin(), directory.end(), [&](const OutEntry& e) { return e.tag == tag; }))
            order.push_back(tag);
    for (const OutEntry& e : directory)
        if (std::find(list.begin(), list.end(), e.tag) == list.end()) order.push_back(e.tag);
    return order;
}

std::uint32_t FreshChecksum(const std::string& tag, Bytes table)
{
    if (tag == "head" && table.size() >= 12) std::fill(table.begin() + 8, table.begin() + 12, 0);
    return Checksum(table);
}

std::uint32_t WholeFileSum(const Bytes& font)
{
    return Checksum(font);
}

std::string RunFontTools(const std::string& program, const std::vector<std::string>& args)
{
    testfonts::TempDir dir;
    const std::string script = dir.File("script.py");
    testfonts::WriteFile(script, Bytes(program.begin(), program.end()));
    // Built by appending: g++ 12 at -O3 takes a string literal put in front of a string for an
    // overlapping copy (-Wrestrict).
    std::string command = "(/usr/bin/python3 ";
    command.append(testfonts::Quote(script));
    for (const std::string& a : args) command.append(" ").append(testfonts::Quote(a));
    // Standard error apart, so that a warning cannot mix into the data.
    command.append(" 2>").append(testfonts::Quote(dir.File("err"))).append(")");
    const auto result = testfonts::Run(command);
    if (result.exitCode != 0) {
        const Bytes err = testfonts::ReadFile(dir.File("err"));
        ADD_FAILURE() << "fontTools failed: " << std::string(err.begin(), err.end());
    }
    return result.output;
}

} // namespace enginetest
