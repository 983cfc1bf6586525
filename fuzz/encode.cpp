// The WOFF 1.0 encoder on any font input that input detection accepts, with and without a
// metadata block. Input: [flags][member] then the font file. Bit 0 of flags asks for
// metadata, whose bytes are the first (flags >> 1) * 8 bytes of the font; member picks the
// collection member (one past the last names none).
//
// What comes out must be a WOFF file that says what it holds: its length in the header, every
// table inside it and decompressing to the font's bytes, the metadata block intact; and it
// may not be larger than the tables the engine agrees to copy (a few times the file at most).
#include "FuzzSupport.h"
#include "WOFF.h"

#include <cstring>
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

void CheckOutput(const CWOFF& font, const CMemFile& out, const uint8_t* data, size_t size, const BYTE* meta, UINT metaLength)
{
    const BYTE* w = out.Data();
    const uint64_t length = out.GetLength();
    fuzz::Check(length >= 44 && std::memcmp(w, "wOFF", 4) == 0, "no WOFF header");
    fuzz::Check(Be32(w + 8) == length, "header length is not the file's length");
    const uint16_t numTables = Be16(w + 12);
    fuzz::Check(44 + 20 * uint64_t(numTables) <= length, "directory leaves the file");

    // Entry i is the i-th font entry other than DSIG; its bytes are those of the first font
    // entry of its tag (which differ from its own length only when a tag is repeated).
    std::vector<const sfnt_DirectoryEntry*> kept;
    for (const sfnt_DirectoryEntry& entry : font.m_sfntDirectory)
        if (std::memcmp(entry.tag, "DSIG", 4) != 0) kept.push_back(&entry);
    fuzz::Check(kept.size() == numTables, "numTables is not the font's tables less DSIG");
    uint64_t tableBytes = 0;
    for (uint16_t i = 0; i < numTables; ++i) {
        const BYTE* e = w + 44 + 20 * i;
        const uint32_t offset = Be32(e + 4), compLength = Be32(e + 8), origLength = Be32(e + 12);
        fuzz::Check(std::memcmp(e, kept[i]->tag, 4) == 0 && origLength == kept[i]->length, "entry differs from the font's");
        fuzz::Check(offset % 4 == 0 && uint64_t(offset) + compLength <= length, "a table leaves the file");
        const sfnt_DirectoryEntry source = const_cast<CWOFF&>(font).FindSfntTableEntry(e);
        fuzz::Check(uint64_t(source.offset) + source.length <= size, "table without its source");
        const std::vector<BYTE> table = Unpack(w + offset, compLength, source.length);
        fuzz::Check(table.empty() || std::memcmp(table.data(), data + source.offset, source.length) == 0, "a table changed on its way");
        tableBytes += source.length;
    }
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::Chooser choose(data, size);
    const uint8_t flags = choose.Byte();
    const uint8_t member = choose.Byte();
    std::vector<BYTE> meta;
    if (flags & 1) meta.assign(data, data + std::min<size_t>(size, (flags >> 1) * 8u));

    fuzz::InputFile input(data, size);
    fuzz::Guarded([&] {
        CWOFF font(&input.File(), TRUE);
        if (!font.CheckFileType()) return;
        if (font.m_bTTC) {
            font.ReadTTCHeader(&input.File());
            font.m_nFontNumber = static_cast<int>(member % (font.m_ttcHeader.numFonts + 1));
            font.ReadFontHeader();
        }
        CMemFile out(1024);
        BYTE* metaData = meta.empty() ? nullptr : meta.data();
        if (font.EncodeWOFF(&out, metaData, static_cast<UINT>(meta.size())))
            CheckOutput(font, out, data, size, metaData, static_cast<UINT>(meta.size()));
    });
    return 0;
}
