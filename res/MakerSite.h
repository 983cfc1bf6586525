// The maker's web site: the address behind the links and the pages of the advertisement
// panel. The domain is a reserved one that never resolves.
#pragma once

inline constexpr const char16_t* kMakerSiteUrl = u"https://www.orvisto.example/";
// Page n (0 to 3) of the advertisement panel: host, a slash and a name ending in n and ".htm".
inline constexpr const char16_t* kAdPageFormat = u"www.orvisto.example/fenwrap_ad%d.htm";
