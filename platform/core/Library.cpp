#include "Library.h"

#include "CodePage.h"
#include "String.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutableFolder()
{
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWithDllNoCase(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return tail == ".dll";
}

} // namespace

std::string ExecutablePath()
{
    // The link's length is not known beforehand: read until the buffer holds it whole.
    for (size_t size = 256; size <= (1u << 20); size *= 2) {
        std::string path(size, '\0');
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n <= 0) return {};
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path[0] == '/' ? path : std::string();
        }
    }
    return {};
}

std::string LibraryFilePath(LPCWSTR fileName)
{
    if (!fileName || !*fileName) return {};
    std::string name = CString(fileName).ToUtf8();
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::string folder;
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) {
        folder = name.substr(0, slash);
        name = name.substr(slash + 1);
    }
    // Never the current folder, where anyone may have left a library of that name: a name
    // that is not absolute is found from the executable's folder, or not at all.
    if (folder.empty() || folder[0] != '/') {
        const std::string base = ExecutableFolder();
        if (base.empty()) return {};
        folder = folder.empty() ? base : base + "/" + folder;
    }
    if (name.empty()) return {};
    if (EndsWithDllNoCase(name)) name.resize(name.size() - 4);
    return folder + "/lib" + name + ".so";
}

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    const std::string path = LibraryFilePath(fileName);
    void* handle = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    void* symbol = module && procName ? dlsym(module, procName) : nullptr;
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module)
{
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return dlclose(module) == 0 ? TRUE : FALSE;
}
