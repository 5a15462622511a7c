// Conversions between UTF-8 byte strings and the program's wide texts.
#pragma once

#include <string>

// Invalid input (a broken UTF-8 sequence, a lone surrogate) becomes U+FFFD,
// as the system's CP_UTF8 conversion does.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The characters `bytes` encode as strict UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF), in `text`; false, with `text` not to
// be used, when they are not valid UTF-8. The same on every build.
bool StrictUtf8ToWide(const std::string& bytes, std::wstring& text);
