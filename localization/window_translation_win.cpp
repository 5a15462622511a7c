// Translation of a window's caption and its direct children's texts.
#include "localization/language_table.h"

#include <windows.h>

namespace {

constexpr int kTextCapacity = 1024; // longer texts are cut and match no key

void TranslateText(const LanguageTable& table, HWND window) {
    wchar_t buffer[kTextCapacity] = {};
    const int length = GetWindowTextW(window, buffer, kTextCapacity);
    std::wstring translation;
    if (table.Lookup(std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0), translation))
        SetWindowTextW(window, translation.c_str());
}

} // namespace

void LanguageTable::TranslateWindow(HWND window) const {
    TranslateText(*this, window);
    for (HWND child = GetTopWindow(window); child; child = GetWindow(child, GW_HWNDNEXT))
        TranslateText(*this, child);
}

void TranslateWindow(HWND window) {
    if (const LanguageTable* table = LanguageTable::Current()) table->TranslateWindow(window);
}
