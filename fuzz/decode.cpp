// The WOFF 1.0 decoder on any file that input detection takes for WOFF 1.0, with the metadata
// viewer answered "変換開始". The input is the file.
//
// A font that comes out is checked against the WOFF as read here on its own: one table per
// WOFF entry but "DSIG", directory in ascending tag order, every table the WOFF's data
// decompressed, laid out at multiples of 4 inside the file, and the checkSumAdjustment by its
// rule. Its size may not pass what the WOFF's stored bytes can plausibly expand to, and no table
// it was read from shares a byte with another block of the WOFF. While fuzzing, files whose
// metadata and tables claim more than the harnesses' bound are skipped.
#include "FuzzDialogs.h"
#include "FuzzSupport.h"
#include "Limits.h"
#include "WOFF.h"

#include <cstring>
#include <map>
#include <vector>
#include <zlib.h>

namespace {

using fuzz::Be32;
using fuzz::Be16;
using fuzz::Checksum;

struct WoffEntry {
    uint32_t offset, compLength, origLength, checksum;
};

// The blocks of a decoded WOFF, compared pair by pair: no table the decoder reads (every one but
// "DSIG") shares a byte with another table, the header and directory, the metadata or the
// private data. Empty blocks share nothing.
void CheckBlocksApart(const uint8_t* data)
{
    struct Block {
        uint64_t start, end;
        bool table;
    };
    const uint16_t tables = Be16(data + 12);
    std::vector<Block> blocks = {{0, 44 + 20 * uint64_t(tables), false},
                                 {Be32(data + 24), uint64_t(Be32(data + 24)) + Be32(data + 28), false},
                                 {Be32(data + 36), uint64_t(Be32(data + 36)) + Be32(data + 40), false}};
    for (size_t i = 0; i < tables; ++i) {
        const uint8_t* e = data + 44 + 20 * i;
        if (std::memcmp(e, "DSIG", 4) != 0) blocks.push_back({Be32(e + 4), uint64_t(Be32(e + 4)) + Be32(e + 8), true});
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        for (size_t k = i + 1; k < blocks.size(); ++k) {
            const Block& a = blocks[i];
            const Block& b = blocks[k];
            const bool share = a.start < a.end && b.start < b.end && a.start < b.end && b.start < a.end;
            fuzz::Check(!share || (!a.table && !b.table), "decoded a WOFF whose tables share bytes with another block");
        }
}

void CheckFont(const uint8_t* data, size_t size, const CMemFile& out)
{
    // The WOFF's own directory: the first entry of each tag, DSIG left out.
    const uint16_t woffTables = Be16(data + 12);
    std::map<uint32_t, WoffEntry> entries;
    size_t kept = 0;
    for (size_t i = 0; i < woffTables; ++i) {
        fuzz::Check(44 + 20 * (i + 1) <= size, "decoded a directory the file does not hold");
        const uint8_t* e = data + 44 + 20 * i;
        if (std::memcmp(e, "DSIG", 4) == 0) continue;
        fuzz::Check(entries.emplace(Be32(e), WoffEntry{Be32(e + 4), Be32(e + 8), Be32(e + 12), Be32(e + 16)}).second,
                    "decoded a directory that names a tag twice");
        ++kept;
    }

    const uint8_t* f = out.Data();
    const uint64_t length = out.GetLength();
    fuzz::Check(length <= 1032 * uint64_t(size) + 12 + 16 * uint64_t(kept), "font larger than the WOFF can expand to");
    fuzz::Check(length >= 12 && Be32(f) == Be32(data + 4), "sfntVersion is not the flavor");
    const uint16_t numTables = Be16(f + 4);
    fuzz::Check(numTables == kept, "numTables is not the WOFF's tables less DSIG");
    fuzz::Check(12 + 16 * uint64_t(numTables) <= length, "directory leaves the font");

    uint64_t expectedLength = 12 + 16 * uint64_t(numTables);
    uint32_t sumOfChecksums = 0, previousTag = 0;
    int64_t head = -1;
    for (uint16_t i = 0; i < numTables; ++i) {
        const uint8_t* d = f + 12 + 16 * i;
        const uint32_t tag = Be32(d), offset = Be32(d + 8), tableLength = Be32(d + 12);
        fuzz::Check(i == 0 || tag > previousTag, "directory not in ascending tag order");
        previousTag = tag;
        const auto source = entries.find(tag);
        fuzz::Check(source != entries.end(), "a table the WOFF does not have");
        const WoffEntry& w = source->second;
        fuzz::Check(tableLength == w.origLength && Be32(d + 4) == w.checksum, "entry not taken over from the WOFF");
        fuzz::Check(offset % 4 == 0 && uint64_t(offset) + tableLength <= length, "a table leaves the font");
        expectedLength += (uint64_t(tableLength) + 3) & ~uint64_t(3);
        sumOfChecksums += w.checksum;
        if (tag == 0x68656164) head = offset;  // "head"

        std::vector<uint8_t> table(w.origLength);
        if (w.compLength >= w.origLength) {
            if (w.origLength) std::memcpy(table.data(), data + w.offset, w.origLength);
        } else {
            uLongf n = w.origLength;
            fuzz::Check(uncompress(table.data(), &n, data + w.offset, w.compLength) == Z_OK && n == w.origLength,
                        "decoded a table that does not decompress");
        }
        if (tag == 0x68656164 && table.size() >= 12) std::memcpy(table.data() + 8, f + offset + 8, 4);
        fuzz::Check(table.empty() || std::memcmp(table.data(), f + offset, table.size()) == 0, "a table changed on its way");
    }
    fuzz::Check(length == expectedLength, "font length is not its tables laid out");
    fuzz::Check(head >= 0, "decoded a font without a head table");
    const uint32_t adjustment = Be32(f + head + 8);
    fuzz::Check(Checksum(f, 12 + 16 * size_t(numTables)) + sumOfChecksums + adjustment == 0xB1B0AFBA,
                "checkSumAdjustment breaks its rule");
}

// What the file says it expands to: its metadata block and every table it holds an entry for.
uint64_t ClaimedBytes(const uint8_t* data, size_t size)
{
    if (size < 44) return 0;
    uint64_t claimed = Be32(data + 32);
    const uint16_t numTables = Be16(data + 12);
    for (size_t i = 0; i < numTables && 44 + 20 * (i + 1) <= size; ++i) claimed += Be32(data + 44 + 20 * i + 12);
    return claimed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::WithinClaimBound(ClaimedBytes(data, size))) return 0;
    fuzz::AnswerMessageBoxes();
    fuzz::ViewerRecord& viewers = fuzz::AnswerViewers();
    fuzz::ResetViewers();
    fuzz::InputFile input(data, size);
    fuzz::Guarded([&] {
        CWOFF woff(&input.File(), FALSE);
        if (!woff.CheckFileType() || woff.m_bWOFF2) return;
        CMemFile out(1024);
        const size_t boxesBefore = fuzz::BoxesShown();
        if (!woff.DecodeWOFF(&out)) {
            fuzz::Check(fuzz::BoxesShown() > boxesBefore, "refused without a message");
            return;
        }
        fuzz::Check(size >= 44, "decoded a file shorter than its header");
        const uint32_t metaOffset = Be32(data + 24), metaLength = Be32(data + 28), metaOrigLength = Be32(data + 32);
        fuzz::Check(viewers.shown == (metaLength ? 1u : 0u), "viewer shown other than once per metadata block");
        if (metaLength) {
            fuzz::Check(viewers.length == metaOrigLength && uint64_t(metaOffset) + metaLength <= size, "viewer given another block");
            fuzz::Check(metaOrigLength <= kMaxMetaDataSize, "metadata beyond the cap");
            if (metaOrigLength > fuzz::kClaimBound) return CheckFont(data, size, out);
            std::vector<uint8_t> text(metaOrigLength);
            uLongf n = metaOrigLength;
            if (uncompress(text.data(), &n, data + metaOffset, metaLength) == Z_OK && n == metaOrigLength)
                fuzz::Check(viewers.block == text, "viewer shown other than the decompressed block");
        }
        CheckBlocksApart(data);
        CheckFont(data, size, out);
    });
    return 0;
}
