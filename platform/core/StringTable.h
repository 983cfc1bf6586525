// The string table: texts registered by id (the program keeps them in res/), loaded by id,
// and AfxFormatString2 for the "%1"/"%2" templates among them.
#pragma once

#include "String.h"
#include "Types.h"

#include <initializer_list>
#include <utility>

// Registers a group of strings; res/ files do this from a static object of this type.
// A later registration of the same id replaces the earlier text.
struct StringTableEntries {
    StringTableEntries(std::initializer_list<std::pair<UINT, const char16_t*>> entries);
};

// The text of id, or nullptr when the table has none.
const char16_t* FindStringResource(UINT id);

// Fills text with string id (an empty string included); FALSE leaves text unchanged.
BOOL AfxLoadString(UINT id, CString& text);

// Loads template id and replaces "%1" by text1 and "%2" by text2 in one pass: inserted text is
// never scanned again. A missing template gives an empty result.
void AfxFormatString2(CString& result, UINT id, LPCTSTR text1, LPCTSTR text2);
// The same on a template given as text.
CString FormatTemplate2(const CString& pattern, LPCTSTR text1, LPCTSTR text2);
