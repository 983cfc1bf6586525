// The WOFF2 step of an encoding run on an untrusted font and metadata file: the worker's whole
// job (both files read by name, the font encoded by the woff2 library with the metadata as its
// extended metadata, the WOFF2 file written), run on this thread. Input: [metadata length,
// 2 bytes big-endian, 0xFFFF for a metadata file that has gone][metadata] then the font.
//
// A WOFF2 file that is written must say what it holds: its length in the header, the metadata
// block decompressing to the metadata file's bytes, and a font that the woff2 library's own
// decoder gives back (it encodes some fonts, with odd table tags, into files it then refuses).
#include "FuzzSupport.h"
#include "Woff2Step.h"

#include <brotli/decode.h>
#include <woff2/decode.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzz::Be32;

constexpr uint16_t kNoMetaDataFile = 0xFFFF;

void CheckWOFF2(const std::vector<uint8_t>& woff2, const std::vector<uint8_t>& meta)
{
    fuzz::Check(woff2.size() >= 48 && std::memcmp(woff2.data(), "wOF2", 4) == 0, "no WOFF2 header");
    fuzz::Check(Be32(woff2.data() + 8) == woff2.size(), "header length is not the file's length");
    const uint32_t metaOffset = Be32(woff2.data() + 28), metaLength = Be32(woff2.data() + 32);
    const uint32_t metaOrigLength = Be32(woff2.data() + 36);
    fuzz::Check(metaOrigLength == meta.size(), "metaOrigLength is not the metadata file's size");
    if (!meta.empty()) {
        fuzz::Check(uint64_t(metaOffset) + metaLength <= woff2.size(), "metadata block leaves the file");
        std::vector<uint8_t> text(meta.size());
        size_t length = text.size();
        fuzz::Check(BrotliDecoderDecompress(metaLength, woff2.data() + metaOffset, &length, text.data()) ==
                            BROTLI_DECODER_RESULT_SUCCESS &&
                        text == meta,
                    "metadata block does not give back the metadata file");
    }
    const size_t size = woff2::ComputeWOFF2FinalSize(woff2.data(), woff2.size());
    std::string font;
    woff2::WOFF2StringOut out(&font);
    out.SetMaxSize(size);
    fuzz::Check(size != 0 && woff2::ConvertWOFF2ToTTF(woff2.data(), woff2.size(), &out),
                "the woff2 library does not decode the WOFF2 file written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Chooser choose(data, size);
    const uint16_t metaChoice = static_cast<uint16_t>((choose.Byte() << 8) | choose.Byte());
    static const std::string fontPath = fuzz::ScratchPath("font.ttf");
    static const std::string metaPath = fuzz::ScratchPath("metadata.xml");
    static const std::string woff2Path = fuzz::ScratchPath("font.woff2");
    std::vector<uint8_t> meta;
    std::remove(metaPath.c_str());
    if (metaChoice != kNoMetaDataFile) {
        meta.assign(data, data + std::min<size_t>(metaChoice, size));
        fuzz::WriteFile(metaPath, meta.data(), meta.size());
        data += meta.size();
        size -= meta.size();
    }
    fuzz::WriteFile(fontPath, data, size);
    std::remove(woff2Path.c_str());

    WOFF2ThreadParam param;
    param.strFontPath = CString::FromUtf8(fontPath);
    param.strWOFF2Path = CString::FromUtf8(woff2Path);
    param.strMetaDataPath = CString::FromUtf8(metaPath);
    // No window: the worker's notice has nowhere to go, and what it did shows in the folder.
    fuzz::Guarded([&] { return WOFF2ConvertThreadProc(&param); });
    std::vector<uint8_t> woff2;
    if (fuzz::ReadFile(woff2Path, woff2)) CheckWOFF2(woff2, meta);
    return 0;
}
