// The maker's web site: the address behind the links and the pages of the advertisement
// panel. The domain is a reserved one that never resolves.
#pragma once

// The address as the about box shows it.
inline constexpr const char16_t* kMakerSiteText = u"orvisto.example";
inline constexpr const char16_t* kMakerSiteUrl = u"https://orvisto.example/";
// Page n (0 to 3) of the advertisement panel: host, a slash and a name ending in n and ".htm".
inline constexpr const char16_t* kAdPageFormat = u"orvisto.example/fenwrap_ad%d.htm";
