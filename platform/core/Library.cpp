#include "Library.h"

#include "CodePage.h"
#include "String.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutableFolder()
{
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return ".";
    path.resize(static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
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

std::string LibraryFilePath(LPCWSTR fileName)
{
    if (!fileName || !*fileName) return {};
    std::string name = CString(fileName).ToUtf8();
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    std::string folder;
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) {
        folder = ExecutableFolder();
    } else {
        folder = name.substr(0, slash);
        name = name.substr(slash + 1);
    }
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
