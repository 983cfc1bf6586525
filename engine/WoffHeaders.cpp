// WOFF 1.0 and WOFF2 headers and the WOFF 1.0 table directory.
#include "FileIO.h"
#include "Layout.h"
#include "WOFF.h"

void CWOFF::ReadWOFFHeader(CFile* file)
{
    file->Seek(0, CFile::begin);
    ReadFields(file, kWOFFHeaderSize, [&](FieldReader& reader) { ParseWOFFHeader(reader, m_woffHeader); });
}

void CWOFF::ReadWOFF2Header(CFile* file)
{
    file->Seek(0, CFile::begin);
    ReadFields(file, kWOFF2HeaderSize, [&](FieldReader& reader) {
        ParseWOFF2Header(reader, m_woffHeader, m_nTotalCompressedSize);
    });
}

void CWOFF::WriteWOFFHeader(CFile* file)
{
    BYTE bytes[kWOFFHeaderSize];
    PackWOFFHeader(m_woffHeader, bytes);
    file->Seek(0, CFile::begin);
    file->Write(bytes, sizeof bytes);
}

void CWOFF::ReadWOFFTableDirectory(CFile* file)
{
    // As with the sfnt directory, entries wholly past the end of the file are not made up;
    // fields missing from an entry cut short keep the previous entry's values.
    ReadFields(file, kWOFFEntrySize * m_woffHeader.numTables, [&](FieldReader& reader) {
        WOFFTableDirectoryEntry entry{};
        for (int i = 0; i < m_woffHeader.numTables && !reader.AtEnd(); ++i) {
            ParseWOFFEntry(reader, entry);
            m_woffDirectory.Add(entry);
        }
    });
}

void CWOFF::WriteWOFFTableDirectory(CFile* file)
{
    const size_t count = static_cast<size_t>(m_woffDirectory.GetSize());
    if (count == 0) return;
    std::vector<BYTE> bytes(count * kWOFFEntrySize);
    for (size_t i = 0; i < count; ++i) PackWOFFEntry(m_woffDirectory[INT_PTR(i)], &bytes[i * kWOFFEntrySize]);
    file->Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

WOFFTableDirectoryEntry CWOFF::FindWOFFTableEntry(const BYTE* tag)
{
    for (const WOFFTableDirectoryEntry& entry : m_woffDirectory)
        if (std::memcmp(entry.tag, tag, 4) == 0) return entry;
    return WOFFTableDirectoryEntry{};
}
