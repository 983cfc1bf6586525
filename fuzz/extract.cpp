// Collection member extraction of an arbitrary member, then what the conversion does with the
// extracted font: a second engine object on it, input detection and the WOFF 1.0 encoder.
// Input: [member] then the collection (a single font is copied as it is).
//
// A font that comes out is checked against the member as read here: the member's offset
// table and directory order, every table copied whole to a multiple of 4, fresh checksums,
// and a whole-file checksum of 0xB1B0AFBA. The encoder must then take it without complaint.
#include "FuzzDialogs.h"
#include "FuzzSupport.h"
#include "WOFF.h"

#include <cstring>
#include <set>
#include <vector>

namespace {

using fuzz::Be32;
using fuzz::Be16;
using fuzz::Checksum;

void CheckFont(const uint8_t* data, size_t size, uint32_t start, const CMemFile& out)
{
    fuzz::Check(uint64_t(start) + 12 <= size, "extracted a member whose offset table is not in the file");
    const uint8_t* member = data + start;
    const uint16_t numTables = Be16(member + 4);
    fuzz::Check(uint64_t(start) + 12 + 16 * uint64_t(numTables) <= size, "extracted a member whose directory is not in the file");

    const uint8_t* f = out.Data();
    const uint64_t length = out.GetLength();
    fuzz::Check(length >= 12 && std::memcmp(f, member, 12) == 0, "offset table not the member's");
    uint64_t expectedLength = 12 + 16 * uint64_t(numTables), tableBytes = 0;
    int heads = 0;
    fuzz::Check(expectedLength <= length, "directory leaves the font");
    for (uint16_t i = 0; i < numTables; ++i) {
        const uint8_t* m = member + 12 + 16 * i;
        const uint8_t* d = f + 12 + 16 * i;
        const uint32_t from = Be32(m + 8), tableLength = Be32(m + 12), offset = Be32(d + 8);
        fuzz::Check(std::memcmp(d, m, 4) == 0 && Be32(d + 12) == tableLength, "directory not in the member's order");
        fuzz::Check(uint64_t(from) + tableLength <= size, "extracted a table the file does not hold");
        fuzz::Check(offset % 4 == 0 && uint64_t(offset) + tableLength <= length, "a table leaves the font");
        const bool head = std::memcmp(d, "head", 4) == 0;
        heads += head;
        uint32_t sum = Checksum(data + from, tableLength);
        if (head && tableLength >= 12) sum -= Be32(data + from + 8);
        fuzz::Check(Be32(d + 4) == sum, "checkSum not computed afresh");
        const size_t compared = head && tableLength >= 12 ? 8 : tableLength;
        fuzz::Check(std::memcmp(f + offset, data + from, compared) == 0, "a table changed on its way");
        if (compared < tableLength)
            fuzz::Check(std::memcmp(f + offset + 12, data + from + 12, tableLength - 12) == 0, "head changed on its way");
        expectedLength += (uint64_t(tableLength) + 3) & ~uint64_t(3);
        tableBytes += tableLength;
    }
    fuzz::Check(length == expectedLength, "font length is not its tables laid out");
    fuzz::Check(tableBytes <= 4 * uint64_t(size), "tables copied out of all proportion to the file");
    // Every "head" table's checksum leaves out its bytes 8 to 11, but only the first one's are
    // set to balance the file: with more than one, the whole-file sum is off by the others'.
    if (heads == 1) fuzz::Check(Checksum(f, length) == 0xB1B0AFBA, "whole-font checksum is not 0xB1B0AFBA");
}

bool RepeatsATag(const CMemFile& font)
{
    const uint8_t* f = font.Data();
    const uint16_t numTables = Be16(f + 4);
    std::set<uint32_t> tags;
    for (uint16_t i = 0; i < numTables; ++i)
        if (!tags.insert(Be32(f + 12 + 16 * i)).second) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::AnswerViewers();
    fuzz::Chooser choose(data, size);
    const uint8_t member = choose.Byte();
    fuzz::InputFile input(data, size);
    fuzz::Guarded([&] {
        CWOFF collection(&input.File(), TRUE);
        if (!collection.CheckFileType()) return;
        uint32_t start = 0;
        if (collection.m_bTTC) {
            collection.ReadTTCHeader(&input.File());
            collection.m_nFontNumber = static_cast<int>(member % (collection.m_ttcHeader.numFonts + 1));
            if (static_cast<DWORD>(collection.m_nFontNumber) < collection.m_ttcHeader.numFonts)
                start = collection.m_ttcHeader.tableDirectoryOffsets[collection.m_nFontNumber];
            collection.ReadFontHeader();
        }
        CMemFile font(1024);
        const size_t boxesBefore = fuzz::BoxesShown();
        if (!collection.ExtractFont(&font)) {
            fuzz::Check(fuzz::BoxesShown() > boxesBefore, "refused without a message");
            return;
        }
        CheckFont(data, size, start, font);

        CWOFF extracted(&font, TRUE);
        if (!extracted.CheckFileType()) return;  // the member's sfntVersion is none the engine knows
        CMemFile woff(1024);
        const size_t boxesBeforeEncoding = fuzz::BoxesShown();
        const BOOL encoded = extracted.EncodeWOFF(&woff, nullptr, 0);
        // A member that calls itself a collection cannot be encoded, nor one naming a tag twice
        // (the encoder carries the first table of a tag under each entry, which may name more
        // bytes than the font holds), but either must be refused aloud; any other extracted
        // font is whole, and the encoder must take it.
        if (extracted.m_bTTC || RepeatsATag(font))
            fuzz::Check(encoded || fuzz::BoxesShown() > boxesBeforeEncoding, "refused without a message");
        else
            fuzz::Check(encoded, "the encoder refused an extracted font");
    });
    return 0;
}
