// The WOFF 1.0 encoder on any font input that input detection accepts, with and without a
// metadata block. Input: [flags][member] then the font file. Bit 0 of flags asks for
// metadata, whose bytes are the first (flags >> 1) * 8 bytes of the font; member picks the
// collection member (one past the last names none).
//
// What comes out must be a WOFF file that says what it holds: its length and the font's size
// (totalSfntSize) in the header, every table inside it with the font's checksum for it and
// decompressing to the font's bytes, the metadata block intact; it may not be larger than the
// tables the engine agrees to copy (a few times the file at most); and our own decoder must
// take it. A refused font gets a message and nothing written.
#include "FuzzDialogs.h"
#include "FuzzSupport.h"
#include "WOFF.h"

#include <cstring>
#include <set>
#include <vector>
#include <zlib.h>

namespace {

using fuzz::Be32;
using fuzz::Be16;

// The bytes a table of the WOFF decompresses to: stored when compression did not make it
// shorter than its source.
std::vector<BYTE> Unpack(const BYTE* packed, uint32_t compLength, uint32_t sourceLength)
{
    fuzz::Check(compLength <= sourceLength, "a table is stored longer than its source");
    if (compLength == sourceLength) return std::vector<BYTE>(packed, packed + compLength);
    std::vector<BYTE> out(sourceLength);
    uLongf length = sourceLength;
    fuzz::Check(uncompress(out.data(), &length, packed, compLength) == Z_OK && length == sourceLength,
                "a compressed table does not decompress to its source");
    return out;
}

// The font's directory entries that the file holds whole, read here on their own.
std::vector<const uint8_t*> WholeEntries(const uint8_t* data, size_t size, uint32_t start)
{
    std::vector<const uint8_t*> entries;
    if (uint64_t(start) + 12 > size) return entries;
    const uint16_t numTables = Be16(data + start + 4);
    for (uint64_t i = 0; i < numTables && uint64_t(start) + 12 + 16 * (i + 1) <= size; ++i)
        entries.push_back(data + start + 12 + 16 * i);
    return entries;
}

void CheckOutput(const CMemFile& out, const uint8_t* data, size_t size, uint32_t start, const BYTE* meta, UINT metaLength)
{
    const BYTE* w = out.Data();
    const uint64_t length = out.GetLength();
    fuzz::Check(length >= 44 && std::memcmp(w, "wOFF", 4) == 0, "no WOFF header");
    fuzz::Check(Be32(w + 8) == length, "header length is not the file's length");
    const uint16_t numTables = Be16(w + 12);
    fuzz::Check(44 + 20 * uint64_t(numTables) <= length, "directory leaves the file");

    // Entry i is the i-th whole font entry other than DSIG, and carries that entry's bytes.
    std::vector<const uint8_t*> kept;
    for (const uint8_t* entry : WholeEntries(data, size, start))
        if (std::memcmp(entry, "DSIG", 4) != 0) kept.push_back(entry);
    fuzz::Check(kept.size() == numTables, "numTables is not the font's whole entries less DSIG");
    std::set<uint32_t> tags;
    bool head = false;
    uint64_t tableBytes = 0;
    // The font the WOFF decodes to: its offset table, its directory, each table padded to 4.
    uint64_t sfntSize = 12 + 16 * uint64_t(numTables);
    for (uint16_t i = 0; i < numTables; ++i) {
        const BYTE* e = w + 44 + 20 * i;
        const uint32_t offset = Be32(e + 4), compLength = Be32(e + 8), origLength = Be32(e + 12);
        const uint32_t sourceOffset = Be32(kept[i] + 8), sourceLength = Be32(kept[i] + 12);
        fuzz::Check(std::memcmp(e, kept[i], 4) == 0 && origLength == sourceLength, "entry differs from the font's");
        fuzz::Check(Be32(e + 16) == Be32(kept[i] + 4), "a table's checksum is not the font's");
        fuzz::Check(tags.insert(Be32(e)).second, "a tag written twice");
        if (std::memcmp(e, "head", 4) == 0) head = origLength >= 12;
        fuzz::Check(offset % 4 == 0 && uint64_t(offset) + compLength <= length, "a table leaves the file");
        fuzz::Check(uint64_t(sourceOffset) + sourceLength <= size, "table without its source");
        const std::vector<BYTE> table = Unpack(w + offset, compLength, sourceLength);
        fuzz::Check(table.empty() || std::memcmp(table.data(), data + sourceOffset, sourceLength) == 0, "a table changed on its way");
        tableBytes += sourceLength;
        sfntSize += (uint64_t(sourceLength) + 3) & ~uint64_t(3);
    }
    fuzz::Check(Be32(w + 16) == sfntSize, "totalSfntSize is not the size of the font the WOFF holds");
    fuzz::Check(head, "a WOFF without a head table that holds checkSumAdjustment");
    fuzz::Check(tableBytes <= 4 * uint64_t(size), "tables copied out of all proportion to the file");

    const uint32_t metaOffset = Be32(w + 24), metaCompLength = Be32(w + 28), metaOrigLength = Be32(w + 32);
    if (metaLength == 0) {
        fuzz::Check(metaOffset == 0 && metaCompLength == 0 && metaOrigLength == 0, "metadata fields without metadata");
        return;
    }
    fuzz::Check(metaOrigLength == metaLength && uint64_t(metaOffset) + metaCompLength == length, "metadata block misplaced");
    std::vector<BYTE> text(metaLength);
    uLongf textLength = metaLength;
    fuzz::Check(uncompress(text.data(), &textLength, w + metaOffset, metaCompLength) == Z_OK && textLength == metaLength &&
                    std::memcmp(text.data(), meta, metaLength) == 0,
                "metadata block does not give back the metadata");
}

// What the encoder writes, our decoder must take: silently, but for the viewer of its metadata.
void CheckDecoderTakes(CMemFile& out)
{
    out.Seek(0, CFile::begin);
    CWOFF decoder(&out, FALSE);
    fuzz::Check(decoder.CheckFileType(), "the decoder does not take the WOFF's flavor");
    CMemFile font(1024);
    const size_t boxesBefore = fuzz::BoxesShown();
    fuzz::Check(decoder.DecodeWOFF(&font) && fuzz::BoxesShown() == boxesBefore, "the decoder refuses what the encoder wrote");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::AnswerViewers();
    fuzz::ResetViewers();
    fuzz::Chooser choose(data, size);
    const uint8_t flags = choose.Byte();
    const uint8_t member = choose.Byte();
    std::vector<BYTE> meta;
    if (flags & 1) meta.assign(data, data + std::min<size_t>(size, (flags >> 1) * 8u));

    fuzz::InputFile input(data, size);
    fuzz::Guarded([&] {
        CWOFF font(&input.File(), TRUE);
        if (!font.CheckFileType()) return;
        uint32_t start = 0;
        if (font.m_bTTC) {
            font.ReadTTCHeader(&input.File());
            font.m_nFontNumber = static_cast<int>(member % (font.m_ttcHeader.numFonts + 1));
            if (static_cast<DWORD>(font.m_nFontNumber) < font.m_ttcHeader.numFonts)
                start = font.m_ttcHeader.tableDirectoryOffsets[font.m_nFontNumber];
            font.ReadFontHeader();
        }
        CMemFile out(1024);
        BYTE* metaData = meta.empty() ? nullptr : meta.data();
        const size_t boxesBefore = fuzz::BoxesShown();
        if (!font.EncodeWOFF(&out, metaData, static_cast<UINT>(meta.size()))) {
            fuzz::Check(fuzz::BoxesShown() > boxesBefore, "refused without a message");
            fuzz::Check(out.GetLength() == 0, "refused after writing");
            return;
        }
        CheckOutput(out, data, size, start, metaData, static_cast<UINT>(meta.size()));
        CheckDecoderTakes(out);
    });
    return 0;
}
