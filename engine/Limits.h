// Every cap the program applies to its input, in the engine and in the application alike: what
// a damaged or hostile file may claim before it counts as damaged, and how much memory and work
// reading it may cost. They live in one place so that the reader that checks a value and the
// writer that produces it agree on the bound. The platform, which includes nothing of the
// engine, keeps its own in platform/core/PlatformLimits.h.
#pragma once

#include "Types.h"

// A decoded or extracted font is never this large; a directory that adds up to more is damaged.
inline constexpr ULONGLONG kMaxSfntSize = ULONGLONG(1) << 30;

// Metadata blocks are a few kilobytes of XML; one claiming more is damaged. Below this, a block
// whose stated size its compressed bytes cannot give simply fails to decompress. A metadata file
// to attach is held to it too, so that no WOFF is written that a reader would refuse.
inline constexpr ULONGLONG kMaxMetaDataSize = ULONGLONG(64) << 20;

// Of each string of a 'name' table the engine keeps this many bytes: the font picker lists a
// member under a name of at most one byte less, in Shift-JIS, and its terminator.
inline constexpr WORD kMaxNameStringBytes = 512;

// A "head" table must hold checkSumAdjustment (bytes 8 to 11), which every font the engine
// writes gets afresh; the encoder refuses a shorter one, since the decoder could not finish the
// font that the WOFF would decode to.
inline constexpr DWORD kMinHeadLength = 12;

// How many times over the tables of one font may name the bytes of its file. Tables normally do
// not overlap (once over); a few fonts let two tags share one range, such as bitmap data kept
// for two platforms. A directory naming its file many times over is damaged or hostile, and
// copying or compressing it as it asks would cost work out of all proportion to the file.
inline constexpr ULONGLONG kMaxTableBytesPerFileByte = 4;

// Wherever a font of a collection is chosen it is named by a 16-bit number (the conversion's
// font number, the embedding library's index), so no more members than that can be named; a
// header claiming more keeps the first this many.
inline constexpr size_t kMaxCollectionFonts = size_t(1) << 16;

// The font picker's walk over a collection reads, for every member, its offset table, its
// directory and its name table, and fills a 512-byte buffer for each name record. In a sound
// collection those structures are the members' own and lie side by side, so the walk costs a few
// times the file's size at most (the buffers being larger than the records); members that share
// or overlap them can make it read the same bytes without end. The walk may cost this many bytes
// per byte of its file, plus a fixed allowance for small collections whose members share one
// font, before the next member counts as damaged.
inline constexpr ULONGLONG kMaxWalkBytesPerFileByte = 16;
inline constexpr ULONGLONG kWalkAllowance = ULONGLONG(128) << 20;
// A member whose name table is the one read for the member before it gets that table without a
// read; what remains is the picker's look through its records, counted at this many bytes each.
inline constexpr ULONGLONG kSharedNameRecordCost = 4;

// The structure readers keep what they read of their input in blocks of this size, up to this
// much in all, so that members sharing or overlapping their structures are read from memory.
inline constexpr size_t kReadCacheBlock = size_t(64) << 10;
inline constexpr size_t kMaxReadCacheBytes = size_t(16) << 20;

// A WOFF2 font header that claims more than this many times its file's size is damaged: the
// woff2 library refuses a compressed stream that claims more than 100 times the file's size, and
// rebuilding outlines and index tables from that stream at most about quadruples it: 400 times.
// The bound leaves more than twice that: a claim costs memory only for what the decoder writes.
inline constexpr ULONGLONG kMaxWOFF2Expansion = 1024;
