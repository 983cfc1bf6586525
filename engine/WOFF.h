// The font container engine: CWOFF reads sfnt fonts, font collections and the headers of
// WOFF 1.0 and WOFF2 files, encodes an sfnt font into WOFF 1.0, decodes WOFF 1.0 back into an
// sfnt font, writes one member of a collection as a font of its own and shows a WOFF2 file's
// metadata block.
//
// The application reads and writes several fields directly (m_pFile, m_nFontNumber, m_bTTC,
// m_bTrueType, m_bCFF, m_bWOFF2, m_ttcHeader.numFonts, m_nNameIndex, m_nameTable), so they are
// public and keep their order.
//
// Ownership: every array the object owns (tableDirectoryOffsets, pNameRecords, ppStrings and
// each buffer ppStrings points to) is allocated with new[] (see EngineNew in FileIO.h) and
// released with delete[] by the object.
#pragma once

#include "Array.h"
#include "Exceptions.h"
#include "File.h"
#include "Types.h"

#include <memory>
#include <optional>
#include <vector>

class CReadCache;

// Collection header: the tag is kept as a big-endian number, the rest in host order.
struct TTCHeader {
    DWORD ttcTag;
    DWORD version;
    DWORD numFonts;                 // never more than the offsets the file holds (see ReadTTCHeader)
    DWORD* tableDirectoryOffsets;   // owned, numFonts entries, NULL until read
};

// sfnt offset table of the selected font.
struct OffsetTable {
    DWORD sfntVersion;
    WORD numTables;
    WORD searchRange;
    WORD entrySelector;
    WORD rangeShift;
};

// One record of an sfnt table directory; the tag in file order, numbers in host order.
struct sfnt_DirectoryEntry {
    BYTE tag[4];
    DWORD checkSum;
    DWORD offset;
    DWORD length;
};

// The WOFF 1.0 header; a WOFF2 header fills the same fields (its totalCompressedSize is kept
// in CWOFF::m_nTotalCompressedSize).
struct WOFFHeader {
    BYTE signature[4];
    DWORD flavor;
    DWORD length;
    WORD numTables;
    WORD reserved;
    DWORD totalSfntSize;
    WORD majorVersion;
    WORD minorVersion;
    DWORD metaOffset;
    DWORD metaLength;
    DWORD metaOrigLength;
    DWORD privOffset;
    DWORD privLength;
};

// One record of a WOFF 1.0 table directory.
struct WOFFTableDirectoryEntry {
    BYTE tag[4];
    DWORD offset;
    DWORD compLength;
    DWORD origLength;
    DWORD origChecksum;
};

// One record of a 'name' table; length is limited to the 512 bytes kept of each string.
struct NameRecord {
    WORD platformID;
    WORD encodingID;
    WORD languageID;
    WORD nameID;
    WORD length;
    WORD offset;
};

// The 'name' table: either empty (count 0, both pointers NULL) or both arrays hold count
// entries; each string buffer is 512 bytes of raw string data without a terminator.
struct NameTable {
    WORD format;
    WORD count;
    WORD stringOffset;
    NameRecord* pNameRecords;
    BYTE** ppStrings;
};

using CSfntDirectory = CArray<sfnt_DirectoryEntry, sfnt_DirectoryEntry&>;
using CWOFFDirectory = CArray<WOFFTableDirectoryEntry, WOFFTableDirectoryEntry&>;

class CWOFF : public CObject {
public:
    // Keeps the file (not owned, never closed) and whether it is a font or a WOFF/WOFF2 file.
    // Reads and allocates nothing.
    CWOFF(CFile* pFile, BOOL bFontInput);
    ~CWOFF() override;
    CWOFF(const CWOFF&) = delete;
    CWOFF& operator=(const CWOFF&) = delete;

    // Input detection and the outline test of a picked collection member.
    BOOL CheckFileType();
    void ReadFontHeader();

    // sfnt and collection structures. A collection keeps every member whose offset the file
    // holds. The readers keep what they read of m_pFile, so that members sharing or
    // overlapping their structures cost a copy rather than a read of the file.
    void ReadTTCHeader(CFile* file);
    void ReadOffsetTable(CFile* file);
    void WriteOffsetTable(CFile* file);
    void ReadTableDirectory(CFile* file);
    static void WriteTableDirectory(CFile* file, CSfntDirectory* pDirectory, BOOL bSeek);
    // TRUE when every table of m_sfntDirectory lies within the file, and the walk over the
    // collection's members since ReadTTCHeader has cost no more than the file justifies
    // (kMaxWalkBytesPerFileByte, kWalkAllowance): a member past that point counts as damage,
    // so that no file makes the font picker's walk cost more than its size warrants.
    BOOL CheckTableBounds(CFile* file);
    sfnt_DirectoryEntry FindSfntTableEntry(const BYTE* tag);
    DWORD SumTableChecksums();

    // The 'name' table of the selected font: the records the file holds, each with its string.
    void ReadNameTable(CFile* file);

    // WOFF and WOFF2 headers and the WOFF directory.
    void ReadWOFFHeader(CFile* file);
    void ReadWOFF2Header(CFile* file);
    void WriteWOFFHeader(CFile* file);
    void ReadWOFFTableDirectory(CFile* file);
    void WriteWOFFTableDirectory(CFile* file);
    WOFFTableDirectoryEntry FindWOFFTableEntry(const BYTE* tag);

    // WOFF 1.0 encoder: the selected font, with an optional metadata block, into out.
    BOOL EncodeWOFF(CFile* out, BYTE* pMetaData, UINT nMetaDataLength);

    // Shows a WOFF2 file's metadata block; TRUE when there is none or the user goes on.
    BOOL ShowWOFF2MetaData();

    // WOFF 1.0 decoder: the input file back into an sfnt font in out.
    BOOL DecodeWOFF(CFile* out);

    // Writes the picked member of a collection into out as a font of its own.
    BOOL ExtractFont(CFile* out);

    CFile* m_pFile;
    int m_nFontNumber;
    BOOL m_bFontInput;
    BOOL m_bTTC;
    BOOL m_bTrueType;
    BOOL m_bCFF;
    BOOL m_bWOFF2;
    TTCHeader m_ttcHeader;
    OffsetTable m_offsetTable;
    CSfntDirectory m_sfntDirectory;
    WOFFHeader m_woffHeader;
    DWORD m_nTotalCompressedSize;
    CWOFFDirectory m_woffDirectory;
    int m_nNameIndex;
    int m_nHeadIndex;
    int m_nOS2Index;
    int m_nGlyfIndex;
    int m_nCFFIndex;
    NameTable m_nameTable;

private:
    // Sets the index of the table that tag names, if it is one the engine looks for.
    void NoteTableIndex(const BYTE* tag, int index);
    // Frees the name table's records and strings and leaves it empty.
    void FreeNameTable();
    // File offset of the selected font's offset table; FALSE when m_nFontNumber names no
    // member whose offset was read, in which case nothing may be read for it.
    BOOL GetFontStart(DWORD& start) const;
    // Up to n bytes of file at offset, for the structure readers: from m_pReadCache when file is
    // the input, and counted in m_nWalkBytes. They stand in m_structureBytes until the next read.
    const std::vector<BYTE>& ReadAt(CFile* file, ULONGLONG offset, size_t n);
    ULONGLONG LengthOf(CFile* file);

    std::unique_ptr<CReadCache> m_pReadCache;  // made on the first structure read
    // Kept from member to member: the font picker's walk would otherwise allocate, fault in and
    // free up to a megabyte of directory for each member.
    std::vector<BYTE> m_structureBytes;
    // What the structure readers have read and filled since the collection header was read:
    // the cost of the font picker's walk so far, which CheckTableBounds holds to what the file
    // justifies.
    ULONGLONG m_nWalkBytes;
    // Where in m_pFile the name table in m_nameTable was read from, while it holds one read
    // there: the next member whose name table starts there gets it without a read.
    std::optional<DWORD> m_nameTableOffset;
};

// Reads count items of itemSize bytes (1, 2, 3, 4 or 8) from the file's current position into
// dst, each converted from big-endian to host order. Returns the number of bytes stored. An
// item cut short by the end of the file shows "リードエラーが発生しました" and ends the read;
// the end of the file itself ends it silently. Stored items only: the rest of dst is untouched.
UINT ReadBigEndian(CFile* file, BYTE* dst, UINT itemSize, UINT count);

// The sfnt table checksum: big-endian 32-bit words summed modulo 2^32, a last group of 1 to 3
// bytes padded with zeros on the right.
DWORD CalcTableChecksum(const BYTE* data, UINT length);

// Converts nChars big-endian UTF-16 code units, one at a time, to Shift-JIS; characters
// without a Shift-JIS form are dropped. dst needs 2 * nChars bytes; no terminator is written.
// Returns the number of bytes written.
int ConvertUTF16BEToShiftJIS(const BYTE* src, BYTE* dst, int nChars);
