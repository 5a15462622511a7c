// List-view items read and selected through memory in the list view's process.
#include "tests/e2e/driver/list_view.h"

#include "tests/e2e/driver/remote_memory.h"

#include <commctrl.h>

namespace e2e {
namespace {

constexpr std::size_t kTextCapacity = 4096; // characters, the terminator included

bool SetState(HWND list, int index, UINT state) {
    RemoteMemory memory(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = state;
    if (!memory.Write(0, &item, sizeof item)) return false;
    return SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), memory.Param()) != FALSE;
}

} // namespace

std::vector<std::wstring> ListViewTexts(HWND list) {
    std::vector<std::wstring> texts;
    RemoteMemory memory(list, sizeof(LVITEMW) + kTextCapacity * sizeof(wchar_t));
    if (!memory.Valid()) return texts;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text(kTextCapacity, L'\0');
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = static_cast<wchar_t*>(memory.At(sizeof(LVITEMW)));
        item.cchTextMax = static_cast<int>(kTextCapacity);
        if (!memory.Write(0, &item, sizeof item)) break;
        const LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), memory.Param());
        if (length < 0 || !memory.Read(sizeof(LVITEMW), &text[0], kTextCapacity * sizeof(wchar_t))) break;
        texts.emplace_back(text.c_str(), static_cast<std::size_t>(length));
    }
    return texts;
}

bool SelectListViewItems(HWND list, const std::vector<int>& indices) {
    bool all = SetState(list, -1, 0);
    for (const int index : indices)
        all = SetState(list, index, LVIS_SELECTED) && all;
    return all;
}

std::vector<int> SelectedListViewItems(HWND list) {
    std::vector<int> selected;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) & LVIS_SELECTED)
            selected.push_back(i);
    return selected;
}

int ListViewStringWidth(HWND list, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    RemoteMemory memory(list, bytes);
    if (!memory.Write(0, text.c_str(), bytes)) return -1;
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, memory.Param()));
}

} // namespace e2e
