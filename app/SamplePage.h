// The sample page: a small XHTML page beside the converted files that declares them as one web
// font, family "myFont", and shows the user's sample string in it, so that the result can be
// tried in a browser at once.
#pragma once

#include "String.h"
#include "Types.h"

#include <string>

// The whole page as text. The names are plain file names beside the page, each written as the
// address that leads back to it: a character that would change the address's meaning or break
// the page around it is percent-encoded, and any other name goes in exactly as given.
// woff2Name, eotName and srcName are left out when null or empty. bOpenType picks the source
// font's format. The sample goes into the page unchanged, markup and all.
CString ComposeSampleHtml(LPCWSTR woffName, LPCWSTR woff2Name, LPCWSTR eotName, LPCWSTR srcName, BOOL bOpenType,
                          const CString& sample);

// The page as it is stored: UTF-8 without a byte-order mark or a terminating zero.
std::string SampleHtmlBytes(const CString& page);
