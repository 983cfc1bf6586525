// The one check of a table directory read from a file, which the encoder, the decoder and the
// collection extraction each run once, before any table is read or anything is written. Once
// it has passed, the operation trusts what it was handed:
//   - the directory's entries lie whole inside the file (none was made up by the reader from
//     an entry that the file ends inside);
//   - every table the operation will read lies inside the file, and together they name the
//     file's bytes no more often than the operation allows; where it asks for it, no two of
//     them share a byte, and none shares one with the blocks it reserves (a WOFF's header and
//     directory, metadata and private data);
//   - there is a "head" table that holds checkSumAdjustment;
//   - where the operation asks for it, no tag comes twice;
//   - the font it describes stays below kMaxSfntSize.
// Each operation lists only the tables it reads: the encoder and the decoder leave "DSIG" out,
// so that a damaged "DSIG" entry does not stop them.
#pragma once

#include "WOFF.h"

#include <vector>

// One table as an operation will read it.
struct TableSpan {
    BYTE tag[4];
    DWORD offset;  // where its bytes start in the file
    DWORD stored;  // how many bytes of the file it reads there
    DWORD length;  // its length in the font that it belongs to (written, or decoded to)
};

// A stretch of the file that is not table data.
struct FileBlock {
    ULONGLONG offset;
    ULONGLONG length;
};

struct DirectoryRules {
    ULONGLONG fileLength;
    ULONGLONG directoryEnd;        // where the directory's last entry ends in the file
    bool uniqueTags;
    ULONGLONG storedPerFileByte;   // how often the tables together may name the file's bytes
    bool disjointTables = false;   // no two tables share a byte, nor a table and a reserved block
    std::vector<FileBlock> reserved = {};
};

// A font's table, whose bytes are read as they are; a WOFF's, whose stored bytes decode to
// origLength.
TableSpan SpanOf(const sfnt_DirectoryEntry& entry);
TableSpan SpanOf(const WOFFTableDirectoryEntry& entry);

bool DirectoryIsSound(const std::vector<TableSpan>& tables, const DirectoryRules& rules);
