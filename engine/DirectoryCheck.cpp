#include "DirectoryCheck.h"

#include "ByteIO.h"
#include "Layout.h"
#include "Limits.h"

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
           (!rules.uniqueTags || TagsAreUnique(tables)) && FontSize(tables) <= kMaxSfntSize;
}
