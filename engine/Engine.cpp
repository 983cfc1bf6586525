#include "ByteIO.h"
#include "FileIO.h"
#include "ReadCache.h"
#include "WOFF.h"

#include <cstring>

CWOFF::CWOFF(CFile* pFile, BOOL bFontInput)
    : m_pFile(pFile),
      m_nFontNumber(0),
      m_bFontInput(bFontInput),
      m_bTTC(FALSE),
      m_bTrueType(FALSE),
      m_bCFF(FALSE),
      m_bWOFF2(FALSE),
      m_ttcHeader{},
      m_offsetTable{},
      m_woffHeader{},
      m_nTotalCompressedSize(0),
      m_nNameIndex(-1),
      m_nHeadIndex(-1),
      m_nOS2Index(-1),
      m_nGlyfIndex(-1),
      m_nCFFIndex(-1),
      m_nameTable{},
      m_nWalkBytes(0)
{
}

CWOFF::~CWOFF()
{
    FreeNameTable();
    delete[] m_ttcHeader.tableDirectoryOffsets;
    m_ttcHeader.tableDirectoryOffsets = nullptr;
    m_woffDirectory.RemoveAll();
    m_sfntDirectory.RemoveAll();
}

void CWOFF::FreeNameTable()
{
    if (m_nameTable.ppStrings) {
        for (WORD i = 0; i < m_nameTable.count; ++i) delete[] m_nameTable.ppStrings[i];
        delete[] m_nameTable.ppStrings;
    }
    delete[] m_nameTable.pNameRecords;
    m_nameTable.ppStrings = nullptr;
    m_nameTable.pNameRecords = nullptr;
    m_nameTable.count = 0;
    m_nameTableOffset.reset();
}

BOOL CWOFF::CheckFileType()
{
    m_bTTC = m_bTrueType = m_bCFF = m_bWOFF2 = FALSE;
    m_nFontNumber = 0;
    m_nNameIndex = m_nHeadIndex = m_nOS2Index = m_nGlyfIndex = m_nCFFIndex = -1;
    FreeNameTable();
    m_pReadCache.reset();
    m_nWalkBytes = 0;

    // Bytes the file does not hold count as zeros.
    BYTE magic[4] = {};
    m_pFile->Seek(0, CFile::begin);
    m_pFile->Read(magic, 4);

    if (m_bFontInput) {
        if (TagIs(magic, "ttcf")) return m_bTTC = TRUE;
        if (GetBe32(magic) == 0x00010000 || TagIs(magic, "true")) return m_bTrueType = TRUE;
        if (TagIs(magic, "OTTO")) return m_bCFF = TRUE;
        return FALSE;
    }

    if (TagIs(magic, "wOF2"))
        m_bWOFF2 = TRUE;
    else if (!TagIs(magic, "wOFF"))
        return FALSE;
    BYTE flavor[4] = {};
    m_pFile->Read(flavor, 4);
    if (GetBe32(flavor) == 0x00010000 || TagIs(flavor, "true")) return m_bTrueType = TRUE;
    if (TagIs(flavor, "OTTO")) return m_bCFF = TRUE;
    if (TagIs(flavor, "ttcf")) m_bTTC = TRUE;
    return FALSE;
}

void CWOFF::ReadFontHeader()
{
    ReadOffsetTable(m_pFile);
    ReadTableDirectory(m_pFile);
    if (m_nGlyfIndex != -1)
        m_bTrueType = TRUE;
    else if (m_nCFFIndex != -1)
        m_bCFF = TRUE;
}
