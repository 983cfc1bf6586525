// The metadata file reader of an encoding run: the WOFF 1.0 writer given a small sound font and
// a metadata file by name. Input: [kind] then the file's bytes. Kind (modulo 5) makes the name a
// file of those bytes (0), a name with nothing behind it (1), a folder (2), a file of those
// bytes that a hole makes one byte longer than any metadata block a reader takes (3), or a
// named pipe (4).
//
// A file that can be read must end up, byte for byte, as the WOFF's metadata block; one too
// large is refused unread with the compression-failure message; a name that is no readable
// file gets the file-error message that names it. A refusal writes no WOFF.
#include "FuzzSupport.h"
#include "Limits.h"
#include "WOFF.h"
#include "Writers.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

using fuzz::Be32;

enum Kind { kRegular, kMissing, kFolder, kPastCap, kPipe, kKinds };

// One table, a 54-byte "head", is all the encoder needs of a font.
std::vector<BYTE> SmallFont()
{
    std::vector<BYTE> font(12 + 16 + 56, 0);
    BYTE* const offsetTable = font.data();
    offsetTable[1] = 1;                           // sfntVersion 1.0
    offsetTable[5] = 1;                           // numTables
    offsetTable[7] = 16;                          // searchRange
    BYTE* const entry = font.data() + 12;
    std::memcpy(entry, "head", 4);
    entry[11] = 28;                               // offset
    entry[15] = 54;                               // length
    BYTE* const head = font.data() + 28;
    head[1] = 1;                                  // version 1.0
    std::memcpy(head + 12, "\x5F\x0F\x3C\xF5", 4);  // magicNumber
    head[18] = 0x03, head[19] = 0xE8;             // unitsPerEm 1000
    return font;
}

void MakeMetaDataFile(const std::string& path, Kind kind, const uint8_t* data, size_t size)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    switch (kind) {
    case kRegular:
        return fuzz::WriteFile(path, data, size);
    case kMissing:
        return;
    case kFolder:
        return fuzz::Check(::mkdir(path.c_str(), 0700) == 0, "cannot make the folder");
    case kPastCap:
        fuzz::WriteFile(path, data, size);
        return fuzz::Check(::truncate(path.c_str(), static_cast<off_t>(kMaxMetaDataSize + 1)) == 0, "cannot extend the file");
    default:
        return fuzz::Check(::mkfifo(path.c_str(), 0600) == 0, "cannot make the pipe");
    }
}

void CheckMetaDataBlock(const std::vector<uint8_t>& woff, const uint8_t* data, size_t size)
{
    fuzz::Check(woff.size() >= 44, "a WOFF without its header");
    const uint32_t metaOffset = Be32(woff.data() + 24), metaLength = Be32(woff.data() + 28);
    const uint32_t metaOrigLength = Be32(woff.data() + 32);
    fuzz::Check(metaOrigLength == size, "metaOrigLength is not the metadata file's size");
    if (size == 0) return fuzz::Check(metaLength == 0, "a metadata block from an empty file");
    fuzz::Check(uint64_t(metaOffset) + metaLength <= woff.size(), "the metadata block leaves the file");
    std::vector<uint8_t> text(size);
    uLongf length = size;
    fuzz::Check(uncompress(text.data(), &length, woff.data() + metaOffset, metaLength) == Z_OK && length == size &&
                    std::memcmp(text.data(), data, size) == 0,
                "the metadata block is not the metadata file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::AllowMessagesStartingWith(u"ファイル");
    fuzz::Chooser choose(data, size);
    const auto kind = static_cast<Kind>(choose.Byte() % kKinds);
    static const std::string metaPath = fuzz::ScratchPath("metadata.xml");
    static const std::string woffPath = fuzz::ScratchPath("font.woff");
    MakeMetaDataFile(metaPath, kind, data, size);
    std::remove(woffPath.c_str());

    static const std::vector<BYTE> font = SmallFont();
    fuzz::InputFile input(font.data(), font.size());
    const size_t boxesBefore = fuzz::BoxesShown();
    const BOOL written = fuzz::Guarded([&] {
        CWOFF woff(&input.File(), TRUE);
        fuzz::Check(woff.CheckFileType(), "the small font is not taken for a font");
        return WriteWOFFFile(&woff, CString::FromUtf8(woffPath), CString::FromUtf8(metaPath));
    });
    std::vector<uint8_t> woff;
    const bool made = fuzz::ReadFile(woffPath, woff);
    if (kind == kRegular) {
        fuzz::Check(written && made && fuzz::BoxesShown() == boxesBefore, "a readable metadata file was refused");
        return CheckMetaDataBlock(woff, data, size), 0;
    }
    fuzz::Check(!written && !made && fuzz::BoxesShown() == boxesBefore + 1, "an unreadable metadata file was not refused");
    if (kind == kPastCap)
        fuzz::Check(fuzz::LastMessage() == u"圧縮に失敗しました。", "a metadata file past the cap refused with another message");
    else
        fuzz::Check(fuzz::LastMessage().find(u"metadata.xml") != std::u16string::npos, "the file-error message does not name the file");
    return 0;
}
