#include "FuzzSupport.h"

#include "MessageBox.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

namespace fuzz {

namespace {

std::set<std::u16string>& Allowed()
{
    // The messages any reader of the engine may show for a damaged input.
    static std::set<std::u16string> allowed = {
        u"リードエラーが発生しました",
        u"フォントファイルが壊れています。",
        u"WOFFファイルが壊れています。",
        u"圧縮に失敗しました。",
        u"解凍に失敗しました。",
        u"メタデータの展開に失敗しました。",
    };
    return allowed;
}

std::vector<std::u16string>& AllowedPrefixes()
{
    static std::vector<std::u16string> prefixes;
    return prefixes;
}

bool IsAllowed(const std::u16string& text)
{
    if (Allowed().count(text)) return true;
    for (const std::u16string& prefix : AllowedPrefixes())
        if (text.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

size_t g_boxes = 0;
std::u16string g_lastMessage;
bool g_fullCaps = false;

namespace fs = std::filesystem;

const fs::path& ScratchFolder()
{
    // Never destroyed, so that the removal at exit can name it whatever the order of destruction.
    static const fs::path* const folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        auto* made = new fs::path(base / ("fenwrap-fuzz-" + std::to_string(getpid())));
        fs::create_directories(*made);
        return made;
    }();
    static const bool removedAtExit = [] {
        return std::atexit([] { std::error_code ignored; fs::remove_all(*folder, ignored); }) == 0;
    }();
    (void)removedAtExit;
    return *folder;
}

} // namespace

bool WithinClaimBound(uint64_t claimed)
{
    return g_fullCaps || claimed <= kClaimBound;
}

void KeepFullCaps()
{
    g_fullCaps = true;
}

void AllowMessage(const char16_t* text)
{
    Allowed().insert(text);
}

void AllowMessagesStartingWith(const char16_t* prefix)
{
    AllowedPrefixes().emplace_back(prefix);
}

const std::u16string& LastMessage()
{
    return g_lastMessage;
}

void AnswerMessageBoxes()
{
    static const bool installed = [] {
        SetMessageBoxPresenter([](const CString& text, UINT style, UINT) {
            if (!IsAllowed(text.Str())) {
                std::fprintf(stderr, "unexpected message box: %s\n", text.ToUtf8().c_str());
                std::abort();
            }
            ++g_boxes;
            g_lastMessage = text.Str();
            const UINT type = style & MB_TYPEMASK;
            return (type == MB_YESNO || type == MB_YESNOCANCEL) ? IDYES : IDOK;
        });
        return true;
    }();
    (void)installed;
}

size_t BoxesShown()
{
    return g_boxes;
}

InputFile::InputFile(const uint8_t* data, size_t size)
{
    if (size > 0) m_file.Write(data, static_cast<UINT>(size));
    m_file.Seek(0, CFile::begin);
}

uint8_t Chooser::Byte()
{
    if (m_size == 0) return 0;
    const uint8_t b = *m_data;
    ++m_data;
    --m_size;
    return b;
}

uint32_t Chooser::Bits32()
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
}

std::string ScratchPath(const char* name)
{
    return (ScratchFolder() / name).string();
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    Check(static_cast<bool>(out), "cannot write a scratch file");
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void Fail(const char* text)
{
    std::fprintf(stderr, "fuzz: %s\n", text);
    std::abort();
}

bool StrictUtf8(const uint8_t* data, size_t size, std::u16string& out)
{
    for (size_t i = 0; i < size;) {
        const uint8_t b = data[i];
        uint32_t cp;
        size_t n;
        if (b < 0x80) { cp = b; n = 1; }
        else if (b >= 0xC2 && b < 0xE0) { cp = b & 0x1F; n = 2; }
        else if (b >= 0xE0 && b < 0xF0) { cp = b & 0x0F; n = 3; }
        else if (b >= 0xF0 && b < 0xF5) { cp = b & 0x07; n = 4; }
        else return false;
        if (i + n > size) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((data[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (data[i + k] & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp < 0xE000)) return false;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return true;
}

} // namespace fuzz
