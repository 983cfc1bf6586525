// The outputs that are built whole in memory before they touch the disk: the WOFF 1.0 file, the
// compressed EOT file and the font decoded from a WOFF 1.0 file. Each writer reports its own
// failures and creates its target only once the whole content exists.
#pragma once

#include "Types.h"

class CWOFF;
class CMemFile;

// The growth step of every output built in memory: the memory file grows geometrically from it.
inline constexpr UINT kMemFileGrowth = 1024;

// Writes the memory file's whole content to path in one piece, creating or replacing it; a
// failed open is reported. The target is replaced only once everything is written: a write
// error raises the file exception and leaves any earlier file as it was.
BOOL SaveMemFile(CMemFile& memory, LPCWSTR path);

// Encodes the engine's font, with the metadata file's bytes (none for a null or empty path).
BOOL WriteWOFFFile(CWOFF* pWOFF, LPCWSTR woffPath, LPCWSTR metaPath);
// The font (or member fontIndex of a collection) at src as a compressed EOT, through the
// font-embedding library bound at start-up. The conversion passes an alias of the source it
// opened (CFileAlias), so that the library reads the file that was checked.
BOOL MakeEOTByT2embed(LPCWSTR src, LPCWSTR eotPath, int fontIndex);
// The embedding library's write callback: appends to the memory file it is given.
unsigned long WriteEmbedProc(void* stream, const void* buffer, const unsigned long size);
// Decodes the engine's WOFF 1.0 file (after its metadata has been shown) into a font file.
BOOL WriteFontFromWOFF(CWOFF* pWOFF, LPCWSTR fontPath);
