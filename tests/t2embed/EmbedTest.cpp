// The entry point as the program calls it: header fields, permissions, flags and result codes.
#include "CodePage.h"
#include "EmbedHelpers.h"
#include "Exceptions.h"
#include "MtxDecoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace embedtest;
using testfonts::Be16;
using testfonts::Be32;
using testfonts::TempDir;

constexpr std::uint32_t kOs2 = 0x4F532F32;  // "OS/2"
constexpr std::uint32_t kHead = 0x68656164;

std::u16string NameOf(const Bytes& nameTable, std::uint16_t id)
{
    const std::uint16_t count = Be16(nameTable, 2), strings = Be16(nameTable, 4);
    for (std::uint16_t i = 0; i < count; ++i) {
        const size_t r = 6 + 12 * size_t(i);
        if (Be16(nameTable, r) == 3 && Be16(nameTable, r + 2) == 1 && Be16(nameTable, r + 4) == 0x409 &&
            Be16(nameTable, r + 6) == id) {
            std::u16string s;
            const size_t at = strings + Be16(nameTable, r + 10);
            for (size_t k = 0; k < Be16(nameTable, r + 8); k += 2) s += char16_t(Be16(nameTable, at + k));
            return s;
        }
    }
    return {};
}

// A copy of a real font with one table replaced (or removed when the bytes are empty).
std::string Variant(const TempDir& dir, const std::string& name, std::uint32_t tag, const Bytes& table,
                    const char* source = testfonts::kLiberation)
{
    auto tables = ReadTables(testfonts::ReadFile(source));
    if (table.empty()) tables.erase(tag);
    else tables[tag] = table;
    const std::string path = dir.File(name);
    testfonts::WriteFile(path, BuildSfnt(tables));
    return path;
}

Bytes WithFsType(std::uint16_t fsType)
{
    Bytes os2 = ReadTables(testfonts::ReadFile(testfonts::kLiberation))[kOs2];
    os2[8] = std::uint8_t(fsType >> 8);
    os2[9] = std::uint8_t(fsType);
    return os2;
}

} // namespace

TEST(Embed, LoadsByNameBesideTheExecutable)
{
    HMODULE module = LoadLibraryW(u"T2embed.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "TTEmbedFontFromFileA"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "TTLoadEmbeddedFont"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(LoadLibraryW(u"NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(LibraryFilePath(u"T2embed.DLL"), self.substr(0, self.rfind('/')) + "/libT2embed.so");
    EXPECT_EQ(LibraryFilePath(u"C:\\fonts\\Other.dll"), self.substr(0, self.rfind('/')) + "/C:/fonts/libOther.so");
    EXPECT_EQ(LibraryFilePath(u"/opt/fonts/Other.dll"), "/opt/fonts/libOther.so");
}

TEST(Embed, HeaderFieldsComeFromTheFontTables)
{
    const Bytes font = testfonts::ReadFile(testfonts::kSmallTrueType);
    auto tables = ReadTables(font);
    const Bytes& os2 = tables[kOs2];
    const EmbedResult r = Embed(testfonts::kSmallTrueType);
    ASSERT_EQ(r.code, E_NONE);
    EXPECT_EQ(r.privStatus, EMBED_INSTALLABLE);
    EXPECT_EQ(r.status, 0u);
    const mtxtest::EotFile e = mtxtest::ParseEot(r.eot);
    EXPECT_EQ(e.version, 0x00020002u);
    EXPECT_EQ(e.magic, 0x504C);
    EXPECT_EQ(e.flags, TTEMBED_TTCOMPRESSED);
    EXPECT_EQ(e.eotSize, r.eot.size());
    EXPECT_TRUE(std::equal(e.panose, e.panose + 10, os2.begin() + 32));
    EXPECT_EQ(e.charset, 1);
    EXPECT_EQ(e.italic, Be16(os2, 62) & 1);
    EXPECT_EQ(e.weight, Be16(os2, 4));
    EXPECT_EQ(e.fsType, Be16(os2, 8));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.unicodeRange[i], Be32(os2, 42 + 4 * size_t(i)));
    EXPECT_EQ(e.codePageRange[0], Be32(os2, 78));
    EXPECT_EQ(e.codePageRange[1], Be32(os2, 82));
    EXPECT_EQ(e.checkSumAdjustment, Be32(tables[kHead], 8));
    const Bytes& name = tables[0x6E616D65];
    EXPECT_EQ(e.familyName, NameOf(name, 1));
    EXPECT_EQ(e.styleName, NameOf(name, 2));
    EXPECT_EQ(e.versionName, NameOf(name, 5));
    EXPECT_EQ(e.fullName, NameOf(name, 4));
    EXPECT_EQ(e.familyName, u"DejaVu Sans");
    EXPECT_TRUE(e.rootString.empty());
    EXPECT_EQ(e.rootStringCheckSum, 0x50475342u);
    EXPECT_EQ(e.fontData[0], 3);
}

TEST(Embed, ItalicFaceAndRootStrings)
{
    std::u16string roots = u"https://example.org/";
    roots += u'\0';
    roots += u"https://example.com/";
    roots += u'\0';
    TTEMBEDINFO info{sizeof(TTEMBEDINFO), static_cast<USHORT>(roots.size()), reinterpret_cast<USHORT*>(roots.data())};
    const char* italic = "/usr/share/fonts/truetype/liberation/LiberationSerif-Italic.ttf";
    const EmbedResult r = Embed(italic, 0, TTEMBED_TTCOMPRESSED, &info);
    ASSERT_EQ(r.code, E_NONE);
    const mtxtest::EotFile e = mtxtest::ParseEot(r.eot);
    EXPECT_EQ(e.italic, 1);
    ASSERT_EQ(e.rootString.size(), roots.size() * 2);
    std::uint32_t sum = 0;
    for (size_t i = 0; i < roots.size(); ++i) {
        EXPECT_EQ(e.rootString[2 * i] | e.rootString[2 * i + 1] << 8, roots[i]);
        sum += e.rootString[2 * i] + e.rootString[2 * i + 1];
    }
    EXPECT_EQ(e.rootStringCheckSum, sum ^ 0x50475342u);

    TTEMBEDINFO tooSmall{2, 0, nullptr};
    EXPECT_EQ(Embed(italic, 0, TTEMBED_TTCOMPRESSED, &tooSmall).code, E_INPUTPARAMINVALID);
    TTEMBEDINFO noStrings{sizeof(TTEMBEDINFO), 4, nullptr};
    EXPECT_EQ(Embed(italic, 0, TTEMBED_TTCOMPRESSED, &noStrings).code, E_INPUTPARAMINVALID);
}

TEST(Embed, XorFlagMasksOnlyTheFontData)
{
    const EmbedResult plain = Embed(testfonts::kLiberation);
    const EmbedResult masked = Embed(testfonts::kLiberation, 0, TTEMBED_TTCOMPRESSED | TTEMBED_XORENCRYPTDATA);
    ASSERT_EQ(plain.code, E_NONE);
    ASSERT_EQ(masked.code, E_NONE);
    mtxtest::EotFile a = mtxtest::ParseEot(plain.eot), b = mtxtest::ParseEot(masked.eot);
    EXPECT_EQ(b.flags, TTEMBED_TTCOMPRESSED | TTEMBED_XORENCRYPTDATA);
    ASSERT_EQ(a.fontData.size(), b.fontData.size());
    for (auto& v : b.fontData) v ^= 0x50;
    EXPECT_EQ(a.fontData, b.fontData);
    EXPECT_EQ(mtxtest::DecodeEot(masked.eot), mtxtest::DecodeEot(plain.eot));
}

TEST(Embed, PermissionsFollowFsType)
{
    TempDir dir;
    struct Case {
        std::uint16_t fsType;
        LONG code;
        ULONG priv;
    } cases[] = {
        {0x0000, E_NONE, EMBED_INSTALLABLE},      {0x0008, E_NONE, EMBED_EDITABLE},
        {0x0004, E_NONE, EMBED_PREVIEWPRINT},     {0x000C, E_NONE, EMBED_EDITABLE},
        {0x0100, E_NONE, EMBED_INSTALLABLE},      {0x0002, E_FONTNOTEMBEDDABLE, EMBED_NOEMBEDDING},
        {0x0206, E_FONTNOTEMBEDDABLE, EMBED_PREVIEWPRINT},
    };
    for (const Case& c : cases) {
        const std::string path = Variant(dir, "font.ttf", kOs2, WithFsType(c.fsType));
        const EmbedResult r = Embed(path);
        EXPECT_EQ(r.code, c.code) << std::hex << c.fsType;
        EXPECT_EQ(r.privStatus, c.priv) << std::hex << c.fsType;
        EXPECT_EQ(r.status, 0u);
        if (c.code == E_NONE) EXPECT_EQ(mtxtest::ParseEot(r.eot).fsType, c.fsType);
        else EXPECT_EQ(r.calls, 0) << "a refused font reached the stream";
    }
}

TEST(Embed, ArgumentsAndFlags)
{
    auto entry = EntryPoint();
    ULONG priv = 0, status = 0;
    auto sink = [](void*, const void*, const unsigned long n) -> unsigned long { return n; };
    const char* path = testfonts::kLiberation;
    EXPECT_EQ(entry(nullptr, path, 0, 4, 1, nullptr, &status, sink, nullptr, nullptr, 0, 0, nullptr), E_PRIVSTATUSINVALID);
    EXPECT_EQ(entry(nullptr, path, 0, 4, 1, &priv, nullptr, sink, nullptr, nullptr, 0, 0, nullptr), E_STATUSINVALID);
    EXPECT_EQ(entry(nullptr, path, 0, 4, 1, &priv, &status, nullptr, nullptr, nullptr, 0, 0, nullptr), E_STREAMINVALID);
    EXPECT_EQ(entry(nullptr, nullptr, 0, 4, 1, &priv, &status, sink, nullptr, nullptr, 0, 0, nullptr), E_FILE_NOT_FOUND);
    EXPECT_EQ(entry(nullptr, path, 0, 4, 9, &priv, &status, sink, nullptr, nullptr, 0, 0, nullptr), E_CHARSETINVALID);
    EXPECT_EQ(Embed(path, 0, TTEMBED_TTCOMPRESSED | 0x8000).code, E_FLAGSINVALID);
    EXPECT_EQ(Embed(path, 0, TTEMBED_TTCOMPRESSED | TTEMBED_SUBSET).code, E_API_NOTIMPL);
    EXPECT_EQ(Embed(path, 0, TTEMBED_RAW).code, E_API_NOTIMPL);
    EXPECT_EQ(Embed(path, 0, TTEMBED_TTCOMPRESSED | TTEMBED_WEBOBJECT | TTEMBED_EMBEDEUDC).code, E_NONE);
}

TEST(Embed, FileErrors)
{
    TempDir dir;
    EXPECT_EQ(Embed(dir.File("missing.ttf")).code, E_FILE_NOT_FOUND);
    EXPECT_EQ(Embed(dir.Path()).code, E_FILE_NOT_FOUND);
    testfonts::WriteFile(dir.File("empty.ttf"), {});
    EXPECT_EQ(Embed(dir.File("empty.ttf")).code, E_NOTATRUETYPEFONT);
    testfonts::WriteFile(dir.File("text.ttf"), Bytes(5000, 'x'));
    EXPECT_EQ(Embed(dir.File("text.ttf")).code, E_NOTATRUETYPEFONT);
    EXPECT_EQ(Embed(testfonts::kCffOtf).code, E_NOTATRUETYPEFONT);
    EXPECT_EQ(Embed(testfonts::kCffCollection, 0).code, E_NOTATRUETYPEFONT);
    EXPECT_EQ(Embed(testfonts::kLiberation, 1).code, E_TTC_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(Embed(testfonts::kTrueTypeCollection, 99).code, E_TTC_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(Embed(Variant(dir, "noos2.ttf", kOs2, {})).code, E_NOOS2);
    EXPECT_EQ(Embed(Variant(dir, "noloca.ttf", 0x6C6F6361, {})).code, E_ERRORREADINGFONTDATA);

    const Bytes font = testfonts::ReadFile(testfonts::kLiberation);
    for (size_t cut : {size_t(10), size_t(100), font.size() / 2, font.size() - 1}) {
        testfonts::WriteFile(dir.File("cut.ttf"), Bytes(font.begin(), font.begin() + std::ptrdiff_t(cut)));
        const LONG code = Embed(dir.File("cut.ttf")).code;
        EXPECT_TRUE(code == E_ERRORREADINGFONTDATA || code == E_NOTATRUETYPEFONT) << cut << ": " << code;
    }
}

// A pipe would wait for a writer for good, so each case runs in a child that an alarm ends.
TEST(Embed, NothingButARegularFileIsOpened)
{
    TempDir dir;
    const std::string fifo = dir.File("pipe.ttf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int pathOnly = ::open(fifo.c_str(), O_PATH | O_CLOEXEC);
    ASSERT_GE(pathOnly, 0);
    const std::string alias = "/proc/self/fd/" + std::to_string(pathOnly);
    for (const std::string& path : {fifo, alias, dir.Path(), std::string("/dev/null"), std::string("/dev/zero")}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(10);
            ::_exit(Embed(path).code == E_FILE_NOT_FOUND ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << path << " (status " << status << ")";
    }
    ::close(pathOnly);
}

TEST(Embed, PathInTheJapaneseCodePage)
{
    TempDir dir;
    const std::string path = dir.File("日本語フォント.ttf");
    testfonts::WriteFile(path, testfonts::ReadFile(testfonts::kLiberation));
    EXPECT_EQ(Embed(path).code, E_NONE);
}

TEST(Embed, CompactFontBeyondOneBlockIsRefused)
{
    TempDir dir;
    const std::string path = Variant(dir, "huge.ttf", 0x7A7A7A7A, Bytes(17u << 20, 0x11));
    const EmbedResult r = Embed(path);
    EXPECT_EQ(r.code, E_ERRORCOMPRESSINGFONTDATA);
    EXPECT_EQ(r.calls, 0);
}

// Glyphs of 65536 points in 2 bytes of repeated flags each: a small file whose glyph stream
// would exceed a block many times over is refused without building it.
TEST(Embed, ExplodingGlyphStreamIsRefused)
{
    TempDir dir;
    auto tables = ReadTables(testfonts::ReadFile(testfonts::kLiberation));
    const std::uint16_t numGlyphs = testfonts::Be16(tables[TagOf("maxp")], 4);
    Bytes glyph = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    for (int i = 0; i < 256; ++i) {
        glyph.push_back(0x39);  // on-curve, both coordinates unchanged, repeated
        glyph.push_back(255);
    }
    Bytes glyf, loca;
    for (std::uint32_t id = 0; id <= numGlyphs; ++id) {
        const std::uint32_t at = static_cast<std::uint32_t>(glyf.size());
        for (int k = 3; k >= 0; --k) loca.push_back(static_cast<std::uint8_t>(at >> (8 * k)));
        if (id < numGlyphs) glyf.insert(glyf.end(), glyph.begin(), glyph.end());
    }
    tables[TagOf("glyf")] = glyf;
    tables[TagOf("loca")] = loca;
    tables[TagOf("head")][51] = 1;
    const std::string path = dir.File("points.ttf");
    testfonts::WriteFile(path, BuildSfnt(tables));
    ASSERT_LT(glyf.size(), 4u << 20);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(Embed(path).code, E_ERRORCOMPRESSINGFONTDATA);
    getrusage(RUSAGE_SELF, &after);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer's shadow and quarantine memory would swamp the figure.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "peak grew by " << after.ru_maxrss - before.ru_maxrss << " KiB";
#endif
}

TEST(Embed, StreamFailuresAreReported)
{
    auto entry = EntryPoint();
    ULONG priv = 0, status = 0;
    auto shortWrite = [](void*, const void*, const unsigned long n) -> unsigned long { return n - 1; };
    EXPECT_EQ(entry(nullptr, testfonts::kLiberation, 0, 4, 1, &priv, &status, shortWrite, nullptr, nullptr, 0, 0, nullptr),
              E_SAVETOSTREAMFAILED);
    auto throwing = [](void*, const void*, const unsigned long) -> unsigned long {
        AfxThrowFileException(CFileException::diskFull);
    };
    EXPECT_EQ(entry(nullptr, testfonts::kLiberation, 0, 4, 1, &priv, &status, throwing, nullptr, nullptr, 0, 0, nullptr),
              E_SAVETOSTREAMFAILED);
}

// Damaged glyph data and directories end in a result code, never in a crash or a hang.
TEST(Embed, DamagedFontsEndInAResultCode)
{
    TempDir dir;
    const Bytes font = testfonts::ReadFile("/usr/share/fonts/truetype/liberation/LiberationMono-Bold.ttf");
    const auto tables = ReadTables(font);
    std::mt19937 rng(99);
    int succeeded = 0;
    for (int round = 0; round < 60; ++round) {
        auto damaged = tables;
        const std::uint32_t tag = round % 3 == 0 ? 0x6C6F6361 : round % 3 == 1 ? 0x676C7966 : 0x68656164;
        Bytes& t = damaged[tag];
        for (int k = 0; k < 1 + round % 8; ++k) t[rng() % t.size()] = static_cast<std::uint8_t>(rng());
        Bytes file = BuildSfnt(damaged);
        if (round % 5 == 4) file[12 + 16 * (rng() % tables.size()) + 8 + rng() % 8] ^= 0xFF;  // a directory field
        testfonts::WriteFile(dir.File("damaged.ttf"), file);
        const EmbedResult r = Embed(dir.File("damaged.ttf"));
        EXPECT_TRUE(r.code == E_NONE || r.code == E_ERRORREADINGFONTDATA || r.code == E_NOTATRUETYPEFONT) << r.code;
        if (r.code == E_NONE) {
            ++succeeded;
            EXPECT_NO_THROW(mtxtest::DecodeEot(r.eot));
        }
    }
    EXPECT_GT(succeeded, 0);
}
