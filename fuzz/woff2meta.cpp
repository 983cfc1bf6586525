// The WOFF2 metadata display on any file that begins as a WOFF2 file. The input is the file.
// A viewer must be given exactly what the block decompresses to (or zeros where brotli gave
// nothing), and a refusal must come with the damaged-file message. This harness alone keeps the
// engine's full caps while fuzzing: its inputs may claim metadata of up to 64 MiB.
#include "FuzzDialogs.h"
#include "FuzzSupport.h"
#include "Limits.h"
#include "WOFF.h"

#include <brotli/decode.h>
#include <cstring>

using fuzz::Be32;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::AnswerMessageBoxes();
    fuzz::ViewerRecord& viewers = fuzz::AnswerViewers();
    fuzz::ResetViewers();
    fuzz::InputFile input(data, size);
    const size_t boxesBefore = fuzz::BoxesShown();
    BOOL result = FALSE;
    fuzz::Guarded([&] {
        CWOFF woff(&input.File(), FALSE);
        woff.CheckFileType();
        if (!woff.m_bWOFF2) return;
        result = woff.ShowWOFF2MetaData();
        fuzz::Check(result || fuzz::BoxesShown() > boxesBefore, "refused without a message");
    });
    if (size < 48 || std::memcmp(data, "wOF2", 4) != 0) return 0;

    const uint32_t metaOffset = Be32(data + 28), metaLength = Be32(data + 32), metaOrigLength = Be32(data + 36);
    if (metaLength == 0) {
        fuzz::Check(result && viewers.shown == 0, "a file without metadata was not let through");
        return 0;
    }
    if (viewers.shown == 0) return 0;
    fuzz::Check(viewers.shown == 1 && result, "viewer answered OK but the display refused");
    fuzz::Check(uint64_t(metaOffset) + metaLength <= size, "viewer shown for a block outside the file");
    fuzz::Check(viewers.length == metaOrigLength, "viewer given other than metaOrigLength bytes");
    // Never more than a metadata block can be; below that, a block that does not give what it
    // claims is shown all the same, after its message. What a block past the claim bound gives
    // is left to the engine's tests: decompressing it again would cost this harness as much as
    // the engine.
    fuzz::Check(metaOrigLength <= kMaxMetaDataSize, "metadata beyond the cap");
    if (metaOrigLength > fuzz::kClaimBound) return 0;
    std::vector<uint8_t> expected(metaOrigLength);
    size_t length = metaOrigLength;
    if (BrotliDecoderDecompress(metaLength, data + metaOffset, &length, expected.data()) == BROTLI_DECODER_RESULT_SUCCESS &&
        length == metaOrigLength)
        fuzz::Check(viewers.block == expected, "viewer shown other than the decompressed block");
    return 0;
}
