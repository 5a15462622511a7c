// Reading and selecting the items of a list view, in this process or another.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// The texts of the items (first column) in order.
std::vector<std::wstring> ListViewTexts(HWND list);
// Selects exactly the items at `indices`; false if any could not be set.
bool SelectListViewItems(HWND list, const std::vector<int>& indices);
// The indices of the selected items in order.
std::vector<int> SelectedListViewItems(HWND list);
// The width in pixels that the list view gives `text` in its own font.
int ListViewStringWidth(HWND list, const std::wstring& text);

} // namespace e2e
