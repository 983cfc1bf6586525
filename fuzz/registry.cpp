// The settings store's reader on any bytes. Whatever it accepts must be written back as a
// store that reads again to the same keys and values, and whose own text is then stable;
// keys and values must come out unique, as later lines merge into earlier ones.
#include "FuzzSupport.h"
#include "RegistryText.h"

#include <string_view>
#include <vector>

namespace {

bool Unique(const std::vector<RegistryKeyValues>& keys)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        for (size_t j = i + 1; j < keys.size(); ++j)
            if (RegistryNamesEqual(keys[i].path, keys[j].path)) return false;
        const auto& values = keys[i].values;
        for (size_t a = 0; a < values.size(); ++a)
            for (size_t b = a + 1; b < values.size(); ++b)
                if (RegistryNamesEqual(values[a].name, values[b].name)) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxRegistryStoreBytes) return 0;
    std::vector<RegistryKeyValues> keys;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ParseRegistryText(text, keys)) {
        fuzz::Check(keys.empty(), "a text that is no store gave keys");
        return 0;
    }
    // Pairwise, so only on inputs small enough for that to stay quick.
    if (size < 4096) fuzz::Check(Unique(keys), "a key or a value read twice");
    const std::string written = SerializeRegistryText(keys);
    std::vector<RegistryKeyValues> again;
    fuzz::Check(ParseRegistryText(written, again), "a written store does not read back");
    fuzz::Check(SerializeRegistryText(again) == written, "a written store reads back differently");
    return 0;
}
