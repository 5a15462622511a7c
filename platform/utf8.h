// Conversions between UTF-8 byte strings and the program's wide texts.
#pragma once

#include <string>

// Invalid input (a broken UTF-8 sequence, a lone surrogate) becomes U+FFFD,
// as the system's CP_UTF8 conversion does.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
