#include "RegistryText.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::string_view kHeader = "Fenwrap registry 1";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

uint64_t FoldedHash(std::string_view text)
{
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(Lower(c))) * 1099511628211ull;
    return hash;
}

// Positions in a list of named entries, found by name without regard to case: open
// addressing in one flat table, at most half full, so that a lookup costs a probe or two
// and no allocation.
class NameIndex {
public:
    // The position of the entry named name; when there is none, next is recorded for it and
    // returned. nameOf gives the name of the entry at a position already recorded.
    template <class NameOf> size_t FindOrAdd(std::string_view name, size_t next, const NameOf& nameOf)
    {
        if ((m_count + 1) * 2 > m_slots.size()) Grow(nameOf);
        const size_t mask = m_slots.size() - 1;
        for (size_t at = FoldedHash(name) & mask;; at = (at + 1) & mask) {
            if (m_slots[at] == 0) {
                m_slots[at] = next + 1;
                ++m_count;
                return next;
            }
            if (RegistryNamesEqual(nameOf(m_slots[at] - 1), name)) return m_slots[at] - 1;
        }
    }

private:
    template <class NameOf> void Grow(const NameOf& nameOf)
    {
        std::vector<size_t> old(std::max<size_t>(16, m_slots.size() * 2), 0);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (size_t slot : old) {
            if (slot == 0) continue;
            size_t at = FoldedHash(nameOf(slot - 1)) & mask;
            while (m_slots[at] != 0) at = (at + 1) & mask;
            m_slots[at] = slot;
        }
    }

    std::vector<size_t> m_slots;  // position + 1; 0 is an empty slot
    size_t m_count = 0;
};

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7f || c == '%' || c == '[' || c == ']'; }

void AppendEscaped(std::string& out, std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (NeedsEscape(c)) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            if (NeedsEscape(c)) return false;
            out += static_cast<char>(c);
            continue;
        }
        if (text.size() - i < 3) return false;
        const int hi = HexDigit(text[i + 1]);
        const int lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ParseHex(std::string_view text, std::vector<BYTE>& out)
{
    if (text.size() % 2 != 0) return false;
    out.clear();
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<BYTE>(hi * 16 + lo));
    }
    return true;
}

bool ParseType(std::string_view text, DWORD& type)
{
    if (text.empty() || text.size() > 10) return false;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    type = static_cast<DWORD>(n);
    return true;
}

bool ParseValue(std::string_view line, RegistryValue& value)
{
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    return Unescape(line.substr(0, tab1), value.name) && ParseType(line.substr(tab1 + 1, tab2 - tab1 - 1), value.type) &&
           ParseHex(line.substr(tab2 + 1), value.data);
}

// The keys being read, with indexes by folded name, so that a store of many values reads in
// linear time rather than searching every key and value read so far for each line.
class Reader {
public:
    explicit Reader(std::vector<RegistryKeyValues>& keys) : m_keys(keys) {}

    void Line(std::string_view line)
    {
        if (line.empty()) return;
        if (line.front() == '[') return Section(line);
        if (m_current == kNone) return;
        RegistryValue value;
        if (ParseValue(line, value)) Add(std::move(value));
    }

private:
    static constexpr size_t kNone = size_t(-1);

    void Section(std::string_view line)
    {
        std::string path;
        m_current = kNone;
        if (line.back() != ']' || !Unescape(line.substr(1, line.size() - 2), path) || path.empty()) return;
        const size_t next = m_keys.size();
        m_current = m_keyIndex.FindOrAdd(path, next, [this](size_t i) -> std::string_view { return m_keys[i].path; });
        if (m_current == next) {
            m_keys.push_back(RegistryKeyValues{std::move(path), {}});
            m_valueIndex.emplace_back();
        }
    }

    void Add(RegistryValue value)
    {
        auto& values = m_keys[m_current].values;
        const size_t next = values.size();
        const size_t at = m_valueIndex[m_current].FindOrAdd(
            value.name, next, [&values](size_t i) -> std::string_view { return values[i].name; });
        if (at == next)
            values.push_back(std::move(value));
        else
            values[at] = std::move(value);
    }

    std::vector<RegistryKeyValues>& m_keys;
    NameIndex m_keyIndex;
    std::vector<NameIndex> m_valueIndex;
    size_t m_current = kNone;
};

// The next line of text from pos, without its end ("\n" or "\r\n"); false at the end.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line)
{
    if (pos >= text.size()) return false;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    return true;
}

} // namespace

bool RegistryNamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool ParseRegistryText(std::string_view text, std::vector<RegistryKeyValues>& keys)
{
    keys.clear();
    size_t pos = 0;
    std::string_view line;
    if (!NextLine(text, pos, line) || line != kHeader) return false;
    Reader reader(keys);
    while (NextLine(text, pos, line)) reader.Line(line);
    return true;
}

std::string SerializeRegistryText(const std::vector<RegistryKeyValues>& keys)
{
    static const char digits[] = "0123456789abcdef";
    std::string out(kHeader);
    out += '\n';
    for (const RegistryKeyValues& key : keys) {
        out += '[';
        AppendEscaped(out, key.path);
        out += "]\n";
        for (const RegistryValue& value : key.values) {
            AppendEscaped(out, value.name);
            out += '\t';
            out += std::to_string(value.type);
            out += '\t';
            for (BYTE b : value.data) {
                out += digits[b >> 4];
                out += digits[b & 15];
            }
            out += '\n';
        }
    }
    return out;
}
