#include "StringTable.h"

#include <map>
#include <mutex>

namespace {

struct Table {
    std::mutex mutex;
    std::map<UINT, const char16_t*> texts;
};

// Built on first use: registrations run from other files' static initialisers.
Table& TheTable()
{
    static Table table;
    return table;
}

} // namespace

StringTableEntries::StringTableEntries(std::initializer_list<std::pair<UINT, const char16_t*>> entries)
{
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    for (const auto& [id, text] : entries) table.texts[id] = text;
}

const char16_t* FindStringResource(UINT id)
{
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    const auto it = table.texts.find(id);
    return it == table.texts.end() ? nullptr : it->second;
}

BOOL AfxLoadString(UINT id, CString& text)
{
    const char16_t* found = FindStringResource(id);
    if (!found) return FALSE;
    text = CString(found);
    return TRUE;
}

BOOL CString::LoadString(UINT id)
{
    return AfxLoadString(id, *this);
}

CString FormatTemplate2(const CString& pattern, LPCTSTR text1, LPCTSTR text2)
{
    const std::u16string& in = pattern.Str();
    std::u16string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == u'%' && i + 1 < in.size() && (in[i + 1] == u'1' || in[i + 1] == u'2')) {
            const char16_t* insert = in[i + 1] == u'1' ? text1 : text2;
            if (insert) out += insert;
            ++i;
        } else {
            out += in[i];
        }
    }
    return CString(std::move(out));
}

void AfxFormatString2(CString& result, UINT id, LPCTSTR text1, LPCTSTR text2)
{
    CString pattern;
    AfxLoadString(id, pattern);
    result = FormatTemplate2(pattern, text1, text2);
}
