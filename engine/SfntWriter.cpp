#include "SfntWriter.h"

#include "FileIO.h"
#include "Layout.h"

void MakeOutputOrder(const CSfntDirectory& directory, const char* const* list, CWordArray& order)
{
    const INT_PTR count = directory.GetSize();
    CByteArray taken;
    taken.SetSize(count);
    order.RemoveAll();
    for (; *list; ++list) {
        for (INT_PTR i = 0; i < count; ++i) {
            if (std::memcmp(directory[i].tag, *list, 4) == 0) {
                if (!taken[i]) {
                    order.Add(static_cast<WORD>(i));
                    taken[i] = 1;
                }
                break;
            }
        }
    }
    for (INT_PTR i = 0; i < count; ++i)
        if (!taken[i]) order.Add(static_cast<WORD>(i));
}

INT_PTR FindHead(const CSfntDirectory& directory)
{
    for (INT_PTR i = 0; i < directory.GetSize(); ++i)
        if (TagIs(directory[i].tag, "head")) return i;
    return -1;
}

void WriteTablePadding(CFile* out, DWORD length)
{
    static const BYTE zeros[4] = {};
    const UINT padding = (4 - length % 4) % 4;
    if (padding) out->Write(zeros, padding);
}

void WriteChecksumAdjustment(CFile* out, const CSfntDirectory& directory, DWORD tableChecksums)
{
    const INT_PTR head = FindHead(directory);
    if (head < 0) return;
    const size_t headerSize = kOffsetTableSize + kSfntEntrySize * size_t(directory.GetSize());
    out->Seek(0, CFile::begin);
    const std::vector<BYTE> header = ReadBlock(out, headerSize);
    const DWORD adjustment =
        0xB1B0AFBAu - CalcTableChecksum(header.data(), static_cast<UINT>(header.size())) - tableChecksums;
    BYTE bytes[4];
    PutBe32(bytes, adjustment);
    out->Seek(LONGLONG(directory[head].offset) + 8, CFile::begin);
    out->Write(bytes, sizeof bytes);
}
