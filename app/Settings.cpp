#include "Settings.h"

#include "Registry.h"

#include <vector>

namespace {

CString SettingsKeyPath()
{
    return CString(u"SOFTWARE\\Orvisto\\Fenwrap\\3.2.0") + u"\\" + u"Settings";
}

// Writing creates the key, with every key above it, the first time.
bool OpenForWriting(HKEY& key)
{
    const CString path = SettingsKeyPath();
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_WRITE, &key) == ERROR_SUCCESS) return true;
    return RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &key, nullptr) == ERROR_SUCCESS;
}

} // namespace

BOOL SetRegDWORD(LPCTSTR valueName, DWORD value)
{
    HKEY key = nullptr;
    if (!OpenForWriting(key)) return FALSE;
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                           static_cast<BYTE>(value >> 24)};
    const LSTATUS status = RegSetValueExW(key, valueName, 0, REG_DWORD, bytes, sizeof bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

BOOL GetRegDWORD(LPCTSTR valueName, DWORD* dword)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(), 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    // The stored type is not looked at: up to four bytes of any value are taken as the number,
    // low byte first, over what the caller's DWORD held.
    BYTE bytes[4] = {static_cast<BYTE>(*dword), static_cast<BYTE>(*dword >> 8), static_cast<BYTE>(*dword >> 16),
                     static_cast<BYTE>(*dword >> 24)};
    DWORD size = sizeof bytes;
    const LSTATUS status = RegQueryValueExW(key, valueName, nullptr, nullptr, bytes, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return FALSE;
    *dword = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
             static_cast<DWORD>(bytes[3]) << 24;
    return TRUE;
}

BOOL SetRegString(LPCTSTR valueName, const CString& value)
{
    HKEY key = nullptr;
    if (!OpenForWriting(key)) return FALSE;
    // The characters and their terminating NUL, low byte first.
    std::vector<BYTE> bytes;
    bytes.reserve(2 * (static_cast<size_t>(value.GetLength()) + 1));
    for (char16_t c : value.Str()) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    const LSTATUS status =
        RegSetValueExW(key, valueName, 0, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

BOOL GetRegString(LPCTSTR valueName, CString& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(), 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return FALSE;
    }
    if (size == 0) {
        value.Empty();
        RegCloseKey(key);
        return TRUE;
    }
    std::vector<BYTE> bytes(size);
    const LSTATUS status = RegQueryValueExW(key, valueName, nullptr, nullptr, bytes.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return FALSE;
    // Up to the first NUL or the end of the data, whichever comes first; an odd last byte is
    // no character. Data stored with or without its NUL reads the same.
    std::u16string text;
    for (DWORD i = 0; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (c == 0) break;
        text += c;
    }
    value = CString(std::move(text));
    return TRUE;
}
