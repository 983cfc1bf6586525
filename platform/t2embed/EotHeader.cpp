#include "EotHeader.h"

#include "T2embed.h"

namespace t2e {

namespace {

// OS/2 fields.
constexpr size_t kOs2Version = 0, kOs2WeightClass = 4, kOs2FsType = 8, kOs2Panose = 32, kOs2UnicodeRange = 42,
                 kOs2FsSelection = 62, kOs2CodePageRange = 78;
constexpr size_t kOs2MinimumSize = 68;
constexpr size_t kOs2WithCodePages = 86;
constexpr size_t kHeadCheckSumAdjustment = 8;
constexpr std::uint8_t kDefaultCharset = 1;
constexpr std::uint32_t kRootStringChecksumKey = 0x50475342;

constexpr std::uint16_t kWindowsPlatform = 3;
constexpr std::uint16_t kEnglishUs = 0x0409;

struct NameRecord {
    std::uint16_t platform, encoding, language, id, length, offset;
};

// How well a record serves: English (US) Unicode text first, then any Windows record.
int Preference(const NameRecord& r)
{
    if (r.platform != kWindowsPlatform) return 0;
    if (r.language == kEnglishUs && r.encoding == 1) return 4;
    if (r.language == kEnglishUs && r.encoding == 10) return 3;
    if (r.language == kEnglishUs) return 2;
    return 1;
}

void WriteName(Writer& w, const Bytes& name)
{
    w.Le16(0);  // padding
    w.Le16(static_cast<std::uint32_t>(name.size()));
    w.Append(name);
}

} // namespace

Bytes WindowsName(const SfntFont& font, std::uint16_t nameId)
{
    const Span* table = font.Find(Tag("name"));
    if (!table) return {};
    Reader r(*table);
    std::uint16_t format = 0, count = 0, stringOffset = 0;
    if (!r.U16(format) || !r.U16(count) || !r.U16(stringOffset)) return {};
    NameRecord best{};
    int bestScore = 0;
    // The count is trusted only as far as the records fit in the table.
    for (std::uint16_t i = 0; i < count; ++i) {
        NameRecord rec{};
        if (!r.U16(rec.platform) || !r.U16(rec.encoding) || !r.U16(rec.language) || !r.U16(rec.id) ||
            !r.U16(rec.length) || !r.U16(rec.offset)) {
            break;
        }
        const int score = rec.id == nameId ? Preference(rec) : 0;
        if (score > bestScore) {
            best = rec;
            bestScore = score;
        }
    }
    Span text;
    if (bestScore == 0 || !table->Sub(std::uint64_t(stringOffset) + best.offset, best.length & ~1u, text)) return {};
    Bytes le(text.size);
    for (size_t i = 0; i + 1 < text.size; i += 2) {
        le[i] = text.data[i + 1];
        le[i + 1] = text.data[i];
    }
    return le;
}

Bytes BuildEotHeader(const SfntFont& font, std::uint32_t flags, std::uint32_t fontDataSize,
                     const std::uint16_t* rootString, size_t rootStringUnits)
{
    const Span os2 = *font.Find(Tag("OS/2"));
    const Span head = *font.Find(Tag("head"));
    if (os2.size < kOs2MinimumSize || head.size < kHeadCheckSumAdjustment + 4) throw EmbedError{E_ERRORREADINGFONTDATA};

    Writer w;
    w.Le32(0);  // EOTSize and FontDataSize, set below
    w.Le32(fontDataSize);
    w.Le32(kEotVersion);
    w.Le32(flags);
    w.Append(Span{os2.data + kOs2Panose, 10});
    w.U8(kDefaultCharset);
    w.U8(PeekU16(os2, kOs2FsSelection) & 1);
    w.Le32(PeekU16(os2, kOs2WeightClass));
    w.Le16(PeekU16(os2, kOs2FsType));
    w.Le16(kEotMagic);
    for (int i = 0; i < 4; ++i) w.Le32(PeekU32(os2, kOs2UnicodeRange + 4 * size_t(i)));
    if (PeekU16(os2, kOs2Version) >= 1 && os2.size >= kOs2WithCodePages) {
        w.Le32(PeekU32(os2, kOs2CodePageRange));
        w.Le32(PeekU32(os2, kOs2CodePageRange + 4));
    } else {
        w.Le32(1);  // Latin 1 only, as version-0 tables imply
        w.Le32(0);
    }
    // A collection member is embedded as a font of its own: its adjustment is the one of
    // that standalone font, not the collection's shared value.
    w.Le32(font.FromCollection() ? StandaloneChecksumAdjustment(font.Tables(), font.Version())
                                 : PeekU32(head, kHeadCheckSumAdjustment));
    for (int i = 0; i < 4; ++i) w.Le32(0);  // reserved
    for (std::uint16_t id : {1, 2, 5, 4}) WriteName(w, WindowsName(font, id));

    w.Le16(0);  // padding
    w.Le16(static_cast<std::uint32_t>(rootStringUnits * 2));
    std::uint32_t rootSum = 0;
    for (size_t i = 0; i < rootStringUnits; ++i) {
        w.Le16(rootString[i]);
        rootSum += (rootString[i] & 0xFFu) + (rootString[i] >> 8);
    }
    w.Le32(rootSum ^ kRootStringChecksumKey);
    w.Le32(0);  // EUDC code page
    w.Le16(0);  // padding
    w.Le16(0);  // signature size
    w.Le32(0);  // EUDC flags
    w.Le32(0);  // EUDC font size

    Bytes header = std::move(w.Out());
    const std::uint32_t total = static_cast<std::uint32_t>(header.size()) + fontDataSize;
    for (int i = 0; i < 4; ++i) header[size_t(i)] = static_cast<std::uint8_t>(total >> (8 * i));
    return header;
}

} // namespace t2e
