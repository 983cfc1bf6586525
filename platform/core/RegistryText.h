// The settings store's file, as bytes: read into keys and values, and written back. Nothing
// here touches a file, so the reader can be driven by a fuzzer and timed on its own.
//
// The file, line by line:
//   Fenwrap registry 1
//   [SOFTWARE\Orvisto\Fenwrap\3.2.0\Settings]
//   bMakeWOFF2<TAB>4<TAB>01000000
// Key paths and value names are UTF-8 with control bytes, '%', '[' and ']' percent-encoded;
// the type is decimal and the data is hexadecimal, so every value keeps its exact bytes.
// Key paths and value names are compared without regard to ASCII case.
#pragma once

#include "PlatformLimits.h"
#include "Types.h"

#include <string>
#include <string_view>
#include <vector>

struct RegistryValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct RegistryKeyValues {
    std::string path;  // below HKEY_CURRENT_USER, components joined by '\'
    std::vector<RegistryValue> values;
};

// Reads a store's text in time linear in its length. Lines that cannot be understood are
// dropped one by one, so one damaged line costs only itself; a later line for a key or value
// already read merges into it. False (keys empty) when the text is no store at all.
bool ParseRegistryText(std::string_view text, std::vector<RegistryKeyValues>& keys);
std::string SerializeRegistryText(const std::vector<RegistryKeyValues>& keys);

bool RegistryNamesEqual(std::string_view a, std::string_view b);
