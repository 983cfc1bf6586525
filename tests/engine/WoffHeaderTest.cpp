// WOFF 1.0 and WOFF2 header readers, the WOFF directory reader, writer and lookup.
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace enginetest;
using testfonts::Be16;
using testfonts::Be32;

namespace {

const char* const kReadError = "リードエラーが発生しました";

WOFFHeader SampleHeader()
{
    return WOFFHeader{{'w', 'O', 'F', 'F'}, 0x4F54544F, 0x1000, 2, 0, 0x2000, 1, 0, 0x300, 0x40, 0x80, 0x5000, 0x60};
}

WOFFTableDirectoryEntry Entry(const char* tag, DWORD offset, DWORD comp, DWORD orig, DWORD sum)
{
    WOFFTableDirectoryEntry e{{BYTE(tag[0]), BYTE(tag[1]), BYTE(tag[2]), BYTE(tag[3])}, offset, comp, orig, sum};
    return e;
}

TEST(WoffHeader, WrittenHeaderAndDirectoryReadBackAndLieBigEndian)
{
    CMemFile out;
    CWOFF writer(&out, FALSE);
    writer.m_woffHeader = SampleHeader();
    WOFFTableDirectoryEntry cff = Entry("CFF ", 84, 10, 20, 0x01020304);
    writer.m_woffDirectory.Add(cff);
    WOFFTableDirectoryEntry head = Entry("head", 96, 54, 54, 0xA1B2C3D4);
    writer.m_woffDirectory.Add(head);
    writer.WriteWOFFHeader(&out);
    EXPECT_EQ(out.GetPosition(), 44u);
    writer.WriteWOFFTableDirectory(&out);
    EXPECT_EQ(out.GetPosition(), 84u);

    const Bytes bytes = Contents(out);
    ASSERT_EQ(bytes.size(), 84u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "wOFF");
    EXPECT_EQ(Be32(bytes, 4), 0x4F54544Fu);
    EXPECT_EQ(Be32(bytes, 8), 0x1000u);
    EXPECT_EQ(Be16(bytes, 12), 2);
    EXPECT_EQ(Be32(bytes, 16), 0x2000u);
    EXPECT_EQ(Be32(bytes, 20), 0x00010000u);
    EXPECT_EQ(Be32(bytes, 24), 0x300u);
    EXPECT_EQ(Be32(bytes, 40), 0x60u);
    EXPECT_EQ(std::string(bytes.begin() + 44, bytes.begin() + 48), "CFF ");
    EXPECT_EQ(Be32(bytes, 48), 84u);
    EXPECT_EQ(Be32(bytes, 60), 0x01020304u);
    EXPECT_EQ(Be32(bytes, 80), 0xA1B2C3D4u);

    ScriptedResponder responder;
    out.Seek(0, CFile::begin);
    CWOFF reader(&out, FALSE);
    reader.ReadWOFFHeader(&out);
    EXPECT_EQ(out.GetPosition(), 44u);
    reader.ReadWOFFTableDirectory(&out);
    EXPECT_EQ(std::memcmp(&reader.m_woffHeader, &writer.m_woffHeader, sizeof(WOFFHeader)), 0);
    ASSERT_EQ(reader.m_woffDirectory.GetSize(), 2);
    EXPECT_EQ(reader.m_woffDirectory[1].origChecksum, 0xA1B2C3D4u);
    EXPECT_EQ(reader.FindWOFFTableEntry(reinterpret_cast<const BYTE*>("head")).offset, 96u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(WoffHeader, Woff2HeaderKeepsTotalCompressedSizeApart)
{
    Bytes file;
    PutTag(file, "wOF2");
    Put32(file, 0x00010000);
    Put32(file, 500);
    Put16(file, 7);
    Put16(file, 0);
    Put32(file, 9000);
    Put32(file, 321);        // totalCompressedSize
    Put16(file, 3);          // majorVersion at 24
    Put16(file, 4);
    Put32(file, 100);
    Put32(file, 50);
    Put32(file, 200);
    Put32(file, 0);
    Put32(file, 0);
    auto f = MemFile(file);
    CWOFF woff(f.get(), FALSE);
    woff.ReadWOFF2Header(f.get());
    EXPECT_EQ(std::string(woff.m_woffHeader.signature, woff.m_woffHeader.signature + 4), "wOF2");
    EXPECT_EQ(woff.m_woffHeader.numTables, 7);
    EXPECT_EQ(woff.m_woffHeader.totalSfntSize, 9000u);
    EXPECT_EQ(woff.m_nTotalCompressedSize, 321u);
    EXPECT_EQ(woff.m_woffHeader.majorVersion, 3);
    EXPECT_EQ(woff.m_woffHeader.minorVersion, 4);
    EXPECT_EQ(woff.m_woffHeader.metaOffset, 100u);
    EXPECT_EQ(woff.m_woffHeader.metaLength, 50u);
    EXPECT_EQ(woff.m_woffHeader.metaOrigLength, 200u);
    EXPECT_EQ(f->GetPosition(), 48u);
}

TEST(WoffHeader, CutFilesReportOnceAndLeaveLaterFieldsUntouched)
{
    ScriptedResponder responder;
    CMemFile tmp;
    CWOFF writer(&tmp, FALSE);
    writer.m_woffHeader = SampleHeader();
    writer.WriteWOFFHeader(&tmp);
    const Bytes full = Contents(tmp);

    // Cut inside totalSfntSize (offset 16..19).
    auto cut = MemFile(Bytes(full.begin(), full.begin() + 18));
    CWOFF woff(cut.get(), FALSE);
    woff.ReadWOFFHeader(cut.get());
    EXPECT_EQ(woff.m_woffHeader.numTables, 2);
    EXPECT_EQ(woff.m_woffHeader.totalSfntSize, 0u) << "a field cut short is not stored";
    EXPECT_EQ(woff.m_woffHeader.majorVersion, 0);
    EXPECT_EQ(woff.m_woffHeader.privLength, 0u);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});

    // Cut inside the signature: no message, the bytes that were there land in the field.
    responder.Clear();
    auto sig = MemFile({'w', 'O'});
    CWOFF short2(sig.get(), FALSE);
    short2.ReadWOFFHeader(sig.get());
    EXPECT_EQ(short2.m_woffHeader.signature[1], 'O');
    EXPECT_EQ(short2.m_woffHeader.signature[2], 0);
    EXPECT_TRUE(responder.Boxes().empty());

    // Cut inside a 16-bit field of a WOFF2 header.
    auto cut2 = MemFile(Bytes(full.begin(), full.begin() + 13));
    CWOFF woff2(cut2.get(), FALSE);
    woff2.ReadWOFF2Header(cut2.get());
    EXPECT_EQ(woff2.m_woffHeader.length, 0x1000u);
    EXPECT_EQ(woff2.m_woffHeader.numTables, 0);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});
}

TEST(WoffDirectory, ReadsWhatTheFileHoldsAndNoMore)
{
    ScriptedResponder responder;
    CMemFile tmp;
    CWOFF writer(&tmp, FALSE);
    writer.m_woffHeader = SampleHeader();
    writer.m_woffHeader.numTables = 0xFFFF;  // claims far more than the file holds
    writer.WriteWOFFHeader(&tmp);
    WOFFTableDirectoryEntry glyf = Entry("glyf", 1, 2, 3, 4), loca = Entry("loca", 5, 6, 7, 8);
    writer.m_woffDirectory.Add(glyf);
    writer.m_woffDirectory.Add(loca);
    writer.WriteWOFFTableDirectory(&tmp);
    Bytes bytes = Contents(tmp);
    bytes.resize(bytes.size() - 6);  // the second entry loses origLength's last 2 bytes and origChecksum

    auto file = MemFile(bytes);
    CWOFF woff(file.get(), FALSE);
    woff.ReadWOFFHeader(file.get());
    woff.ReadWOFFTableDirectory(file.get());
    ASSERT_EQ(woff.m_woffDirectory.GetSize(), 2);
    const WOFFTableDirectoryEntry& second = woff.m_woffDirectory[1];
    EXPECT_EQ(second.compLength, 6u);
    EXPECT_EQ(second.origLength, 3u) << "a missing field keeps the previous entry's value";
    EXPECT_EQ(second.origChecksum, 4u);
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{kReadError});

    // numTables 0 reads nothing and leaves the position at 44.
    responder.Clear();
    writer.m_woffHeader.numTables = 0;
    tmp.Seek(0, CFile::begin);
    writer.WriteWOFFHeader(&tmp);
    tmp.Seek(0, CFile::begin);
    CWOFF none(&tmp, FALSE);
    none.ReadWOFFHeader(&tmp);
    none.ReadWOFFTableDirectory(&tmp);
    EXPECT_EQ(none.m_woffDirectory.GetSize(), 0);
    EXPECT_EQ(tmp.GetPosition(), 44u);
    EXPECT_TRUE(responder.Boxes().empty());
}

TEST(WoffDirectory, LookupFindsTheFirstOfATagOrAnEmptyEntry)
{
    CMemFile f;
    CWOFF woff(&f, FALSE);
    const BYTE* cmap = reinterpret_cast<const BYTE*>("cmap");
    WOFFTableDirectoryEntry none = woff.FindWOFFTableEntry(cmap);
    EXPECT_EQ(none.tag[0] | none.offset | none.compLength | none.origLength | none.origChecksum, 0u);
    WOFFTableDirectoryEntry a = Entry("cmap", 1, 1, 1, 1), b = Entry("cmap", 2, 2, 2, 2);
    woff.m_woffDirectory.Add(a);
    woff.m_woffDirectory.Add(b);
    EXPECT_EQ(woff.FindWOFFTableEntry(cmap).offset, 1u);
    EXPECT_EQ(woff.FindWOFFTableEntry(reinterpret_cast<const BYTE*>("CMAP")).offset, 0u);
}

} // namespace
