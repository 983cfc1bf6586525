#include "Lzcomp.h"
#include "MtxDecoder.h"
#include "TestFonts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using t2e::LzcompCompress;
using t2e::LzcompOptions;
using t2e::Span;

std::string Hex(const t2e::Bytes& b)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

t2e::Bytes Compress(const std::string& text, bool copies = true)
{
    LzcompOptions options;
    options.copies = copies;
    return LzcompCompress(Span{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, options);
}

void ExpectRoundTrip(const t2e::Bytes& data)
{
    const t2e::Bytes packed = LzcompCompress(Span{data.data(), data.size()});
    EXPECT_EQ(mtxtest::LzcompDecompress(packed), data) << data.size() << " bytes";
}

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    while (n--) out += s;
    return out;
}

} // namespace

// Streams that decoders of the format are known to read back.
TEST(Lzcomp, KnownAnswers)
{
    EXPECT_EQ(Hex(Compress("")), "00000000");
    EXPECT_EQ(Hex(Compress("A")), "000000a600");
    EXPECT_EQ(Hex(Compress("A", false)), "000000a600");
    EXPECT_EQ(Hex(Compress(Repeat("abc", 12), false)), "0000123a3abb0f9212894d0d9138e309420e7394a555444444443333");
    EXPECT_EQ(Hex(Compress(Repeat("abc", 12))), "0000123a3abb0a00c0019408c8");
}

TEST(Lzcomp, RandomDataRoundTrips)
{
    std::mt19937 rng(12345);
    for (size_t size : {1u, 2u, 7u, 8u, 9u, 64u, 65u, 513u, 4096u, 70000u}) {
        t2e::Bytes noise(size);
        for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
        ExpectRoundTrip(noise);
        // Few symbols with long runs: many copies, repeats and lengths of every size class.
        t2e::Bytes runs(size);
        for (size_t i = 0; i < size;) {
            const std::uint8_t value = static_cast<std::uint8_t>(rng() % 4);
            for (size_t n = rng() % 700; n-- && i < size;) runs[i++] = value;
        }
        ExpectRoundTrip(runs);
    }
}

TEST(Lzcomp, RepeatsFarApartAndPresetHistoryRoundTrip)
{
    // A block repeated beyond the 512-byte boundary where copies need three bytes, and data
    // that matches the decoder's preset history.
    std::mt19937 rng(7);
    t2e::Bytes block(3000);
    for (auto& b : block) b = static_cast<std::uint8_t>(rng() % 16);
    t2e::Bytes data = block;
    data.insert(data.end(), 600, 0x41);
    data.insert(data.end(), block.begin(), block.end());
    for (int k = 0; k < 32; ++k) {
        data.push_back(static_cast<std::uint8_t>(k));
        data.push_back(static_cast<std::uint8_t>(k + 1));
    }
    ExpectRoundTrip(data);
}

TEST(Lzcomp, RealFontRoundTripsAndShrinks)
{
    const t2e::Bytes font = testfonts::ReadFile(testfonts::kSmallTrueType);
    const t2e::Bytes packed = LzcompCompress(Span{font.data(), font.size()});
    EXPECT_EQ(mtxtest::LzcompDecompress(packed), font);
    // Copies must do real work, well beyond what literals and repeats alone achieve.
    LzcompOptions noCopies;
    noCopies.copies = false;
    const t2e::Bytes plain = LzcompCompress(Span{font.data(), font.size()}, noCopies);
    EXPECT_EQ(mtxtest::LzcompDecompress(plain), font);
    EXPECT_LT(packed.size() * 10, plain.size() * 8);
}

TEST(Lzcomp, RefusesBlocksBeyondTheLengthField)
{
    const t2e::Bytes big(t2e::kLzcompMaxLength + 1, 0);
    try {
        LzcompCompress(Span{big.data(), big.size()});
        FAIL() << "no error";
    } catch (const t2e::EmbedError& e) {
        EXPECT_EQ(e.code, 0x0100);
    }
}
