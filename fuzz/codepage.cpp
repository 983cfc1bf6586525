// Code-page conversions on arbitrary text: the first bytes choose the direction, the code
// page, the flags and the room given; the rest is the text. Every result must fit the room
// it was given, and asking for the size first must give the size a real conversion uses.
#include "CodePage.h"
#include "FuzzSupport.h"

#include <cstring>
#include <vector>

namespace {

constexpr UINT kCodePages[] = {932, CP_UTF8, CP_ACP, CP_THREAD_ACP, 1252, 437};

void WideToMulti(UINT cp, DWORD flags, const std::vector<char16_t>& text, int lengthChoice, int room)
{
    const int length = lengthChoice ? static_cast<int>(text.size()) : -1;
    std::vector<char16_t> terminated(text);
    terminated.push_back(0);
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(cp, flags, terminated.data(), length, nullptr, 0, nullptr, &usedDefault);
    fuzz::Check(needed >= 0, "negative size asked");
    // Room past the end is poisoned by the sanitizer's allocation bounds.
    const int size = room == 0 ? needed : std::max(1, std::min(needed, room));
    std::vector<char> out(static_cast<size_t>(size));
    BOOL usedDefault2 = FALSE;
    const int got = WideCharToMultiByte(cp, flags, terminated.data(), length, out.data(), size, "\x81\x48", &usedDefault2);
    fuzz::Check(got >= 0 && got <= size, "result larger than the room given");
    if (size >= needed && needed > 0 && !usedDefault) fuzz::Check(got == needed, "size asked differs from size written");
}

void MultiToWide(UINT cp, DWORD flags, const std::vector<char>& text, int lengthChoice, int room)
{
    const int length = lengthChoice ? static_cast<int>(text.size()) : -1;
    std::vector<char> terminated(text);
    terminated.push_back(0);
    const int needed = MultiByteToWideChar(cp, flags, terminated.data(), length, nullptr, 0);
    fuzz::Check(needed >= 0, "negative size asked");
    const int size = room == 0 ? needed : std::max(1, std::min(needed, room));
    std::vector<char16_t> out(static_cast<size_t>(size));
    const int got = MultiByteToWideChar(cp, flags, terminated.data(), length, out.data(), size);
    fuzz::Check(got >= 0 && got <= size, "result larger than the room given");
    if (size >= needed && needed > 0) fuzz::Check(got == needed, "size asked differs from size written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Chooser choose(data, size);
    const uint8_t mode = choose.Byte();
    const UINT cp = kCodePages[(mode >> 1) % std::size(kCodePages)];
    const DWORD flags = (mode & 0x10) ? (mode & 0x20 ? MB_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS) : 0;
    const int lengthChoice = mode & 0x40;
    const int room = choose.Byte();
    SetThreadLocale((mode & 0x80) ? 1041 : 1033);
    if (mode & 1) {
        std::vector<char16_t> text(size / 2);
        for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] << 8 | data[2 * i + 1]);
        WideToMulti(cp, flags, text, lengthChoice, room);
    } else {
        MultiToWide(cp, flags, std::vector<char>(data, data + size), lengthChoice, room);
    }
    return 0;
}
