#include "FileVersion.h"

#include "CodePage.h"
#include "PlatformLimits.h"
#include "String.h"
#include "VersionBlock.h"

#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// What has been checked, and where: FindSection checks every ELF field it uses against the
// file's size; CheckNode checks a block's whole tree (every length and key inside its parent)
// before GetFileVersionInfoSizeW reports a size, so VerQueryValueW walks a sound tree and
// still checks each step against the root's length.

namespace {

constexpr DWORD kNodeHeader = 6;

class FileReader {
public:
    explicit FileReader(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat st {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) m_size = static_cast<std::uint64_t>(st.st_size);
    }
    ~FileReader()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Read(std::uint64_t offset, void* out, std::uint64_t n) const
    {
        if (m_size < n || offset > m_size - n) return false;
        auto* p = static_cast<char*>(out);
        while (n > 0) {
            const ssize_t got = ::pread(m_fd, p, n, static_cast<off_t>(offset));
            if (got <= 0) return false;
            p += got;
            offset += static_cast<std::uint64_t>(got);
            n -= static_cast<std::uint64_t>(got);
        }
        return true;
    }
    std::uint64_t Size() const { return m_size; }

private:
    int m_fd;
    std::uint64_t m_size = 0;
};

std::uint64_t LittleEndian(const BYTE* p, int n)
{
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

WORD Word(const BYTE* p) { return static_cast<WORD>(LittleEndian(p, 2)); }

// The bytes of the ELF section named kVersionSection, or nothing.
std::vector<BYTE> FindSection(const FileReader& file)
{
    BYTE ident[64] = {};
    if (!file.Read(0, ident, 52)) return {};
    if (std::memcmp(ident, "\x7f" "ELF", 4) != 0 || ident[5] != 1) return {};
    const bool is64 = ident[4] == 2;
    if (!is64 && ident[4] != 1) return {};
    if (is64 && !file.Read(0, ident, 64)) return {};
    const std::uint64_t shoff = is64 ? LittleEndian(ident + 0x28, 8) : LittleEndian(ident + 0x20, 4);
    const WORD shentsize = Word(ident + (is64 ? 0x3A : 0x2E));
    const WORD shnum = Word(ident + (is64 ? 0x3C : 0x30));
    const WORD shstrndx = Word(ident + (is64 ? 0x3E : 0x32));
    const WORD minEntry = is64 ? 64 : 40;
    if (shoff == 0 || shentsize < minEntry || shstrndx >= shnum) return {};

    struct Section {
        std::uint64_t name, type, offset, size;
    };
    auto section = [&](WORD index, Section& s) {
        BYTE h[64];
        if (!file.Read(shoff + static_cast<std::uint64_t>(index) * shentsize, h, minEntry)) return false;
        s.name = LittleEndian(h, 4);
        s.type = LittleEndian(h + 4, 4);
        s.offset = is64 ? LittleEndian(h + 24, 8) : LittleEndian(h + 16, 4);
        s.size = is64 ? LittleEndian(h + 32, 8) : LittleEndian(h + 20, 4);
        return true;
    };
    Section names{};
    if (!section(shstrndx, names)) return {};
    const std::string wanted(kVersionSection);
    for (WORD i = 0; i < shnum; ++i) {
        Section s{};
        if (!section(i, s)) return {};
        constexpr std::uint64_t kNoBits = 8;
        if (s.type == kNoBits || s.name >= names.size || names.size - s.name < wanted.size() + 1) continue;
        std::string name(wanted.size() + 1, '\0');
        if (!file.Read(names.offset + s.name, name.data(), name.size())) continue;
        if (name.compare(0, wanted.size(), wanted) != 0 || name.back() != '\0') continue;
        // A version node's length is a WORD: a larger section is not ours.
        if (s.size < kNodeHeader || s.size > 0xFFFF) return {};
        std::vector<BYTE> bytes(s.size);
        if (!file.Read(s.offset, bytes.data(), s.size)) return {};
        return bytes;
    }
    return {};
}

struct Node {
    DWORD start = 0, length = 0, valueStart = 0, valueBytes = 0, childrenStart = 0;
    std::u16string key;
};

DWORD Align4(DWORD n) { return (n + 3) & ~DWORD{3}; }

// Reads the node at start within [start, end); false when it does not fit.
bool ReadNode(const BYTE* block, DWORD start, DWORD end, Node& node)
{
    if (end < kNodeHeader || start > end - kNodeHeader) return false;
    node.start = start;
    node.length = Word(block + start);
    const DWORD valueLength = Word(block + start + 2);
    const WORD type = Word(block + start + 4);
    if (node.length < kNodeHeader || node.length > end - start) return false;
    const DWORD nodeEnd = start + node.length;
    node.key.clear();
    DWORD p = start + kNodeHeader;
    for (;;) {
        if (nodeEnd - p < 2) return false;
        const char16_t c = Word(block + p);
        p += 2;
        if (c == 0) break;
        node.key += c;
    }
    node.valueStart = Align4(p);
    // A text value counts its length in characters, a binary one in bytes.
    node.valueBytes = type == 1 ? valueLength * 2 : valueLength;
    if (node.valueStart > nodeEnd || node.valueBytes > nodeEnd - node.valueStart) {
        if (node.valueBytes != 0) return false;
        node.valueStart = nodeEnd;
    }
    node.childrenStart = Align4(node.valueStart + node.valueBytes);
    return true;
}

bool CheckNode(const BYTE* block, DWORD start, DWORD end, int depth)
{
    Node node;
    if (depth > kMaxVersionBlockDepth || !ReadNode(block, start, end, node)) return false;
    const DWORD nodeEnd = node.start + node.length;
    for (DWORD p = node.childrenStart; p < nodeEnd;) {
        Node child;
        if (!ReadNode(block, p, nodeEnd, child) || !CheckNode(block, p, nodeEnd, depth + 1)) return false;
        p = Align4(p + child.length);
    }
    return true;
}

bool EqualNoCase(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The length of a sound block in bytes (its root's length), or 0.
DWORD BlockLength(const std::vector<BYTE>& bytes)
{
    if (bytes.size() < kNodeHeader) return 0;
    const DWORD end = static_cast<DWORD>(bytes.size());
    Node root;
    if (!ReadNode(bytes.data(), 0, end, root) || root.key != u"VS_VERSION_INFO") return 0;
    return CheckNode(bytes.data(), 0, end, 0) ? root.length : 0;
}

std::vector<BYTE> ReadBlock(LPCWSTR path)
{
    if (!path || !*path) return {};
    const FileReader file(CString(path).ToUtf8());
    if (file.Size() == 0) return {};
    std::vector<BYTE> bytes = FindSection(file);
    const DWORD length = BlockLength(bytes);
    bytes.resize(length);
    return bytes;
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle)
{
    if (handle) *handle = 0;
    const DWORD size = static_cast<DWORD>(ReadBlock(path).size());
    SetLastError(size ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
    return size;
}

BOOL GetFileVersionInfoW(LPCWSTR path, DWORD /*handle*/, DWORD size, LPVOID data)
{
    if (!data) return FALSE;
    const std::vector<BYTE> bytes = ReadBlock(path);
    if (bytes.empty()) return FALSE;
    if (size < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length)
{
    if (!block || !subBlock || !buffer) return FALSE;
    auto* bytes = static_cast<BYTE*>(const_cast<void*>(block));
    Node node;
    if (!ReadNode(bytes, 0, Word(bytes), node)) return FALSE;
    const DWORD rootEnd = node.length;

    // Walk the path one key at a time through the children of the current node.
    const std::u16string path(subBlock);
    size_t pos = 0;
    while (pos < path.size()) {
        if (path[pos] == u'\\') {
            ++pos;
            continue;
        }
        const size_t next = path.find(u'\\', pos);
        const std::u16string key = path.substr(pos, next == std::u16string::npos ? next : next - pos);
        pos = next == std::u16string::npos ? path.size() : next;
        const DWORD nodeEnd = node.start + node.length;
        bool found = false;
        for (DWORD p = node.childrenStart; p < nodeEnd && !found;) {
            Node child;
            if (!ReadNode(bytes, p, nodeEnd, child)) return FALSE;
            if (EqualNoCase(child.key, key)) {
                node = child;
                found = true;
            }
            p = Align4(p + child.length);
        }
        if (!found) return FALSE;
    }
    if (node.valueBytes == 0 || node.valueStart + node.valueBytes > rootEnd) return FALSE;

    BYTE* value = bytes + node.valueStart;
    if (node.start == 0) {
        // The root's value is handed out as the structure the caller reads its fields from:
        // built in place from the little-endian bytes rather than read through a cast.
        if (node.valueBytes < sizeof(VS_FIXEDFILEINFO)) return FALSE;
        DWORD f[13];
        for (int i = 0; i < 13; ++i) f[i] = static_cast<DWORD>(LittleEndian(value + 4 * i, 4));
        if (f[0] != kFixedFileInfoSignature) return FALSE;
        *buffer = new (value) VS_FIXEDFILEINFO{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11], f[12]};
    } else if (node.valueBytes % 4 == 0) {
        // Translations are pairs of WORDs read as DWORDs: language low, code page high.
        const DWORD count = node.valueBytes / 4;
        std::vector<DWORD> words(count);
        for (DWORD i = 0; i < count; ++i) words[i] = static_cast<DWORD>(LittleEndian(value + 4 * i, 4));
        for (DWORD i = 0; i < count; ++i) new (value + 4 * i) DWORD(words[i]);
        *buffer = std::launder(reinterpret_cast<DWORD*>(value));
    } else {
        *buffer = value;
    }
    if (length) *length = node.valueBytes;
    return TRUE;
}
