#include "Path.h"

#include "String.h"

#include <cerrno>
#include <string_view>
#include <sys/stat.h>

namespace {

bool Store(std::u16string_view part, LPWSTR buffer, size_t size)
{
    if (!buffer) return true;
    if (part.size() >= size) return false;
    part.copy(buffer, part.size());
    buffer[part.size()] = 0;
    return true;
}

void Clear(LPWSTR buffer, size_t size)
{
    if (buffer && size > 0) buffer[0] = 0;
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

} // namespace

int _wsplitpath_s(LPCWSTR path, LPWSTR drive, size_t driveSize, LPWSTR dir, size_t dirSize, LPWSTR fname,
                  size_t fnameSize, LPWSTR ext, size_t extSize)
{
    auto clearAll = [&](int error) {
        Clear(drive, driveSize);
        Clear(dir, dirSize);
        Clear(fname, fnameSize);
        Clear(ext, extSize);
        return error;
    };
    if (!path) return clearAll(EINVAL);
    const std::u16string_view whole(path);
    const size_t slash = whole.rfind(u'/');
    const size_t nameStart = slash == std::u16string_view::npos ? 0 : slash + 1;
    const std::u16string_view element = whole.substr(nameStart);
    const size_t dot = element.rfind(u'.');
    const size_t nameLength = dot == std::u16string_view::npos ? element.size() : dot;
    const bool fits = Store(u"", drive, driveSize) && Store(whole.substr(0, nameStart), dir, dirSize) &&
                      Store(element.substr(0, nameLength), fname, fnameSize) &&
                      Store(element.substr(nameLength), ext, extSize);
    return fits ? 0 : clearAll(ERANGE);
}

int _wcsicmp(LPCWSTR a, LPCWSTR b)
{
    for (;; ++a, ++b) {
        const char16_t ca = Lower(*a), cb = Lower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

BOOL AfxComparePath(LPCTSTR a, LPCTSTR b)
{
    struct stat sa {}, sb {};
    if (::stat(CString(a).ToUtf8().c_str(), &sa) == 0 && ::stat(CString(b).ToUtf8().c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return CString(a) == CString(b);
}
