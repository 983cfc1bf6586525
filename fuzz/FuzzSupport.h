// What every harness shares: message boxes answered and checked, dialogs answered, the input
// held as a memory file, and the rule that nothing may leave an engine operation but its
// result.
#pragma once

#include "File.h"
#include "Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// What a header may claim (a decompressed size, a walk over a collection's members) before a
// fuzzing harness skips its input: four times the largest input. Inputs claiming tens of MiB
// run the engine to its caps on every execution and starve every other reader of the fuzzer's
// time, so all harnesses but "woff2meta", which keeps the engine's full caps under fire, skip
// them while fuzzing. The replay of seeds and findings keeps the full caps everywhere: the few
// such inputs cost the tests little.
inline constexpr uint64_t kClaimBound = uint64_t(256) << 10;
bool WithinClaimBound(uint64_t claimed);
void KeepFullCaps();

// Big-endian numbers and the sfnt checksum, written here again on purpose: the harnesses check
// the engine's output against their own reading of the bytes, not against the engine's helpers.
inline uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t Checksum(const uint8_t* p, size_t n)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < n; i += 4) {
        uint8_t word[4] = {};
        for (size_t k = 0; k < 4 && i + k < n; ++k) word[k] = p[i + k];
        sum += Be32(word);
    }
    return sum;
}


// Installs, once, a message box presenter that answers every box as the user pressing OK (or
// Yes) would, and aborts on a text that is not one of the messages the readers may show: a
// garbled or unexpected box is a fault too. Returns the number of boxes shown so far.
void AnswerMessageBoxes();
size_t BoxesShown();
void AllowMessage(const char16_t* text);
// Allows every text that begins with prefix: the file-error messages name their file and cause.
void AllowMessagesStartingWith(const char16_t* prefix);
// The text of the last box shown; empty before the first.
const std::u16string& LastMessage();

// A folder of this process's own for harnesses whose readers take files by name, on a memory
// file system where there is one (a save's flush to disk would cost more than the reader), and
// removed when the process ends. Path names a file in it.
std::string ScratchPath(const char* name);
// Writes bytes as the file at path, replacing it.
void WriteFile(const std::string& path, const uint8_t* data, size_t size);
// The whole content of the file at path; false when there is none.
bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes);

// The input as the engine receives it: an open file it can seek and read.
class InputFile {
public:
    InputFile(const uint8_t* data, size_t size);
    CMemFile& File() { return m_file; }

private:
    CMemFile m_file;
};

// Reads one byte of the input as a choice and steps past it; 0 when the input is spent.
class Chooser {
public:
    Chooser(const uint8_t*& data, size_t& size) : m_data(data), m_size(size) {}
    uint8_t Byte();
    uint32_t Bits32();

private:
    const uint8_t*& m_data;
    size_t& m_size;
};

// Aborts with text: a property every run must keep was broken.
[[noreturn]] void Fail(const char* text);
inline void Check(bool condition, const char* text)
{
    if (!condition) Fail(text);
}

// Runs an engine operation and aborts if anything but its result leaves it: a file or memory
// exception out of a memory file, or an array index out of range, is a fault in the reader.
template <typename F>
auto Guarded(F&& operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (CException* e) {
        const std::string text = e->GetErrorText().ToUtf8();
        e->Delete();
        Fail(("exception left the operation: " + text).c_str());
    } catch (const std::exception& e) {
        Fail((std::string("exception left the operation: ") + e.what()).c_str());
    }
}

// Strict UTF-8 into UTF-16, written independently of the platform's decoder so that harnesses
// can check it; false on any malformed, overlong or surrogate sequence.
bool StrictUtf8(const uint8_t* data, size_t size, std::u16string& out);

} // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
