// The embedded language table and the translation of texts and windows.
#pragma once

#include <string>

// The translation of `key` in the current language, or `key` itself when no
// table exists or the table does not know it.
std::wstring Translate(const std::wstring& key);
