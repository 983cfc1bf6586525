#include "DirectoryCheck.h"

#include "ByteIO.h"
#include "Layout.h"
#include "Limits.h"

#include <algorithm>
#include <unordered_set>

namespace {

bool TagsAreUnique(const std::vector<TableSpan>& tables)
{
    std::unordered_set<DWORD> seen;
    for (const TableSpan& table : tables)
        if (!seen.insert(GetBe32(table.tag)).second) return false;
    return true;
}

// The first "head" decides: it is the one whose checkSumAdjustment the writers set.
bool HasUsableHead(const std::vector<TableSpan>& tables)
{
    for (const TableSpan& table : tables)
        if (TagIs(table.tag, "head")) return table.length >= kMinHeadLength;
    return false;
}

bool TablesFitFile(const std::vector<TableSpan>& tables, const DirectoryRules& rules)
{
    ULONGLONG stored = 0;
    for (const TableSpan& table : tables) {
        if (ULONGLONG(table.offset) + table.stored > rules.fileLength) return false;
        stored += table.stored;
    }
    return stored <= rules.storedPerFileByte * rules.fileLength;
}

// Sorted by where they start, each block need only be compared with the furthest end reached
// before it: among the tables for a reserved block, among all blocks for a table. Blocks of no
// bytes share none. Reserved blocks may share bytes with one another; that is not for the
// tables' check to judge.
bool TablesAreDisjoint(const std::vector<TableSpan>& tables, const std::vector<FileBlock>& reserved)
{
    struct Block {
        ULONGLONG start, end;
        bool table;
    };
    std::vector<Block> blocks;
    blocks.reserve(tables.size() + reserved.size());
    for (const TableSpan& table : tables)
        if (table.stored) blocks.push_back({table.offset, ULONGLONG(table.offset) + table.stored, true});
    for (const FileBlock& block : reserved)
        if (block.length) blocks.push_back({block.offset, block.offset + block.length, false});
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
    ULONGLONG tablesEnd = 0, blocksEnd = 0;
    for (const Block& block : blocks) {
        if (block.start < (block.table ? blocksEnd : tablesEnd)) return false;
        blocksEnd = std::max(blocksEnd, block.end);
        if (block.table) tablesEnd = std::max(tablesEnd, block.end);
    }
    return true;
}

ULONGLONG FontSize(const std::vector<TableSpan>& tables)
{
    ULONGLONG size = kOffsetTableSize + kSfntEntrySize * ULONGLONG(tables.size());
    for (const TableSpan& table : tables) size += PaddedLength(table.length);
    return size;
}

} // namespace

TableSpan SpanOf(const sfnt_DirectoryEntry& entry)
{
    TableSpan table{};
    std::memcpy(table.tag, entry.tag, 4);
    table.offset = entry.offset;
    table.stored = table.length = entry.length;
    return table;
}

TableSpan SpanOf(const WOFFTableDirectoryEntry& entry)
{
    TableSpan table{};
    std::memcpy(table.tag, entry.tag, 4);
    table.offset = entry.offset;
    table.stored = entry.compLength;
    table.length = entry.origLength;
    return table;
}

bool DirectoryIsSound(const std::vector<TableSpan>& tables, const DirectoryRules& rules)
{
    return rules.directoryEnd <= rules.fileLength && HasUsableHead(tables) && TablesFitFile(tables, rules) &&
           (!rules.uniqueTags || TagsAreUnique(tables)) && FontSize(tables) <= kMaxSfntSize &&
           (!rules.disjointTables || TablesAreDisjoint(tables, rules.reserved));
}
