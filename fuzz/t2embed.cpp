// The font-embedding library's entry point on arbitrary fonts. Input: [TTC index, 2 bytes
// big-endian][options] then the font file, which is written to a file of its own since the
// library reads fonts by name. Bit 0 of options asks for the XOR-encrypted form, bit 1 passes
// a root string.
//
// Whatever the result, the library must return a code; on success the structure it wrote must
// state its own size and its font data's, and may not be out of all proportion to the font.
#include "FuzzSupport.h"
#include "T2embed.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

unsigned long Collect(void* stream, const void* buffer, const unsigned long size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(stream);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    out->insert(out->end(), bytes, bytes + size);
    return size;
}

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

const std::string& FontPath()
{
    static const std::string path = fuzz::ScratchPath("font.ttf");
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Chooser choose(data, size);
    const USHORT index = static_cast<USHORT>((choose.Byte() << 8) | choose.Byte());
    const uint8_t options = choose.Byte();

    FILE* file = std::fopen(FontPath().c_str(), "wb");
    fuzz::Check(file != nullptr, "cannot write the font file");
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    fuzz::Check(written, "cannot write the font file");

    USHORT root[] = {u'h', u't', u't', u'p', u':', u'/', u'/', u'e', u'x', u'a', u'm', u'p', u'l', u'e', u'.', u'j', u'p', 0};
    TTEMBEDINFO info{sizeof(TTEMBEDINFO), static_cast<USHORT>(std::size(root)), root};
    const ULONG flags = TTEMBED_TTCOMPRESSED | ((options & 1) ? TTEMBED_XORENCRYPTDATA : 0);
    std::vector<uint8_t> eot;
    ULONG privStatus = 0, status = 0;
    const LONG result = TTEmbedFontFromFileA(nullptr, FontPath().c_str(), index, flags, CHARSET_UNICODE, &privStatus, &status,
                                             Collect, &eot, nullptr, 0, 0, (options & 2) ? &info : nullptr);
    std::remove(FontPath().c_str());
    if (result != E_NONE) {
        fuzz::Check(eot.empty(), "a failed embedding wrote part of its structure");
        return 0;
    }
    fuzz::Check(eot.size() >= 16 && Le32(eot.data()) == eot.size(), "EOTSize is not the structure's size");
    const uint32_t fontDataSize = Le32(eot.data() + 4);
    fuzz::Check(fontDataSize < eot.size(), "FontDataSize larger than the structure");
    fuzz::Check(eot.size() <= 64 * uint64_t(size) + 65536, "structure out of all proportion to the font");
    fuzz::Check(privStatus >= EMBED_PREVIEWPRINT && privStatus <= EMBED_INSTALLABLE, "no embedding privilege given");
    return 0;
}
