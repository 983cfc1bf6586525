// Decoding a WOFF2 source into a font as the decoding run does it: the engine on the open
// source file, its metadata shown in the viewer (answered "変換開始"), then the source read
// again by name and decoded by the woff2 library within the program's bounds, and the font
// written beside it. The input is the source file.
//
// A refusal must come with a message and leave no font behind. A font that is written must be
// exactly as long as the header's totalSfntSize, and its directory must stay inside it. While
// fuzzing, sources whose header claims a font or metadata larger than the harnesses' bound are
// skipped.
#include "File.h"
#include "FuzzDialogs.h"
#include "FuzzSupport.h"
#include "WOFF.h"
#include "Woff2Step.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using fuzz::Be16;
using fuzz::Be32;

constexpr size_t kWOFF2HeaderSize = 48;

uint64_t ClaimedBytes(const uint8_t* data, size_t size)
{
    if (size < kWOFF2HeaderSize) return 0;
    return uint64_t(Be32(data + 16)) + Be32(data + 36);  // totalSfntSize, metaOrigLength
}

void CheckFont(const uint8_t* data, const std::vector<uint8_t>& font)
{
    fuzz::Check(font.size() == Be32(data + 16), "a font of other than the header's totalSfntSize");
    fuzz::Check(font.size() >= 12, "a font without its offset table");
    const uint16_t numTables = Be16(font.data() + 4);
    fuzz::Check(12 + 16 * uint64_t(numTables) <= font.size(), "a directory that leaves the font");
    for (uint16_t i = 0; i < numTables; ++i) {
        const uint8_t* entry = font.data() + 12 + 16 * i;
        fuzz::Check(uint64_t(Be32(entry + 8)) + Be32(entry + 12) <= font.size(), "a table that leaves the font");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzz::WithinClaimBound(ClaimedBytes(data, size))) return 0;
    fuzz::AnswerMessageBoxes();
    fuzz::AllowMessage(u"WOFF2をフォントに変換できませんでした。");
    fuzz::ViewerRecord& viewers = fuzz::AnswerViewers();
    fuzz::ResetViewers();
    static const std::string source = fuzz::ScratchPath("source.woff2");
    static const std::string target = fuzz::ScratchPath("font.ttf");
    fuzz::WriteFile(source, data, size);
    std::remove(target.c_str());

    fuzz::Guarded([&] {
        CFile file;
        fuzz::Check(file.Open(CString::FromUtf8(source), CFile::modeRead), "cannot open the source");
        CWOFF woff(&file, FALSE);
        if (!woff.CheckFileType() || !woff.m_bWOFF2) return;
        const size_t boxesBefore = fuzz::BoxesShown();
        const BOOL converted = ConvertWOFF2ToFont(&woff, CString::FromUtf8(source), CString::FromUtf8(target));
        fuzz::Check(viewers.shown <= 1, "the viewer shown more than once");
        std::vector<uint8_t> font;
        const bool written = fuzz::ReadFile(target, font);
        if (!converted) {
            fuzz::Check(fuzz::BoxesShown() > boxesBefore, "refused without a message");
            fuzz::Check(!written, "a refused font was written");
            return;
        }
        fuzz::Check(written, "a decoded font was not written");
        CheckFont(data, font);
    });
    return 0;
}
