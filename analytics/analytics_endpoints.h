// Where analytics hits go and the maker's web addresses, in one place.
#pragma once

// The Google Analytics 4 measurement collection host; hits are HTTPS POSTs to
// its "/g/collect?" path.
constexpr const char* kCollectionHost = "www.google-analytics.com";
// The measurement the hits are counted under.
constexpr const char* kMeasurementId = "G-K3TQ7ZV5PW";

// Scheme and host of the maker's web site, sent as the hits' "Origin".
constexpr const char* kMakerWebOrigin = "https://www.quenvale.com";

// Root addresses of the maker's site editions; "Visit..." appends its query.
constexpr const wchar_t* kMakerSiteMain = L"https://www.quenvale.com";
constexpr const wchar_t* kMakerSiteGerman = L"https://www.quenvale.de";
constexpr const wchar_t* kMakerSiteFrench = L"https://www.quenvale.fr";
constexpr const wchar_t* kMakerSiteRussian = L"https://www.quenvale.ru";
