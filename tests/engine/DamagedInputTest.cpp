// Damaged and hostile inputs: every reader and the encoder finish on them, quickly, without
// touching memory outside the file's bytes (run under the sanitizers to see the latter).
#include "Builders.h"
#include "Responder.h"
#include "WOFF.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// Everything the engine's own operations do with a font input, one after another.
void ReadAndEncode(const Bytes& input)
{
    auto file = MemFile(input);
    CWOFF woff(file.get(), TRUE);
    if (!woff.CheckFileType()) return;
    if (woff.m_bTTC) {
        woff.ReadTTCHeader(file.get());
        for (woff.m_nFontNumber = 0; DWORD(woff.m_nFontNumber) < woff.m_ttcHeader.numFonts; ++woff.m_nFontNumber) {
            woff.ReadOffsetTable(file.get());
            woff.ReadTableDirectory(file.get());
            if (!woff.CheckTableBounds(file.get())) break;
        }
        woff.m_nFontNumber = 0;
        woff.ReadFontHeader();
    }
    CMemFile out;
    BYTE meta[] = {'<', 'm', '/', '>'};
    if (woff.EncodeWOFF(&out, meta, sizeof meta)) {
        EXPECT_GE(out.GetLength(), 44u);
    }
}

void ReadWoffHeaders(const Bytes& input)
{
    auto file = MemFile(input);
    CWOFF woff(file.get(), FALSE);
    woff.CheckFileType();
    woff.ReadWOFFHeader(file.get());
    woff.ReadWOFFTableDirectory(file.get());
    woff.ReadWOFF2Header(file.get());
    woff.FindWOFFTableEntry(reinterpret_cast<const BYTE*>("head"));
}

// Overwrites a few bytes, chosen by seed, with values that make counts, offsets and lengths
// extreme; sometimes cuts the file.
Bytes Mutate(Bytes data, std::uint32_t seed)
{
    const Bytes r = Noise(16, seed);
    const BYTE extremes[] = {0x00, 0xFF, 0x7F, 0x80, 0x01, 0xFE};
    for (int i = 0; i < 1 + r[0] % 4; ++i) {
        const size_t at = (size_t(r[1 + 2 * i]) << 8 | r[2 + 2 * i]) % data.size();
        data[at] = r[9] % 2 ? extremes[r[10 + i] % 6] : r[10 + i];
    }
    if (r[15] % 5 == 0) data.resize((size_t(r[14]) << 4) % data.size());
    return data;
}

TEST(DamagedInput, MutatedFontsCollectionsAndWoffsAreHandled)
{
    ScriptedResponder responder;
    const Bytes font = BuildSfnt(0x00010000, {{"head", Noise(54, 1)}, {"glyf", Repeated(300)}, {"name", Noise(40, 2)}, {"DSIG", Noise(8)}});
    const Bytes ttc = BuildCollection({{{"glyf", Repeated(64)}}, {{"CFF ", Noise(30)}, {"head", Noise(54)}}});
    CMemFile woffFile;
    {
        auto in = MemFile(font);
        CWOFF encoder(in.get(), TRUE);
        ASSERT_TRUE(encoder.EncodeWOFF(&woffFile, nullptr, 0));
    }
    const Bytes woff = Contents(woffFile);

    const auto start = std::chrono::steady_clock::now();
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
        ReadAndEncode(Mutate(font, seed));
        ReadAndEncode(Mutate(ttc, seed));
        ReadWoffHeaders(Mutate(woff, seed));
        responder.Clear();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(DamagedInput, ClaimedCountsDoNotOutgrowTheFile)
{
    ScriptedResponder responder;
    // Every count at its largest, in files of a few bytes.
    Bytes ttc = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    Bytes font = {0, 1, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
    Bytes woff = {'w', 'O', 'F', 'F', 0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto start = std::chrono::steady_clock::now();
    ReadAndEncode(ttc);
    ReadAndEncode(font);
    ReadWoffHeaders(woff);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    auto file = MemFile(ttc);
    CWOFF w(file.get(), TRUE);
    w.CheckFileType();
    w.ReadTTCHeader(file.get());
    EXPECT_EQ(w.m_ttcHeader.numFonts, 1u);
}

} // namespace
