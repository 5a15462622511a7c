// The monitor list and blank-screens check box of the settings dialog.
#include "settings/dialogs/monitor_selection.h"

#include "localization/language_table.h"
#include "settings/store/settings_tree.h"

namespace {

int ReadInt(const Node& settings, const wchar_t* name) {
    const auto& entries = settings.GetEntries();
    const auto found = entries.find(name);
    return found == entries.end() ? 0 : found->second.AsInt();
}

void WriteInt(Node& settings, const wchar_t* name, int value) {
    settings.Get(name) = Node::Value(static_cast<std::int32_t>(value));
}

bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Adds an entry with its item data; the entry's index, or CB_ERR.
LRESULT AddEntry(HWND list, const wchar_t* text, std::intptr_t itemData) {
    const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) return CB_ERR;
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(itemData));
    return index;
}

} // namespace

void FillMonitorList(HWND monitorList, HWND blankScreens, const AdapterEnumeration& found, const Node& settings) {
    SendMessageW(monitorList, CB_RESETCONTENT, 0, 0);
    SendMessageW(blankScreens, BM_SETCHECK, ReadInt(settings, L"ShowBlackScreens") ? BST_CHECKED : BST_UNCHECKED, 0);
    const BOOL several = found.monitorCount > 1;
    EnableWindow(blankScreens, several);
    EnableWindow(monitorList, several);

    const int current = ReadInt(settings, L"CurMonitor");
    const UINT count = found.monitorCount < kMaxMonitorRecords ? found.monitorCount : kMaxMonitorRecords;
    for (UINT i = 0; i < count; ++i) {
        const LRESULT index = AddEntry(monitorList, found.monitors[i].monitorName, static_cast<std::intptr_t>(i));
        if (index != CB_ERR && current == static_cast<int>(i))
            SendMessageW(monitorList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (count >= 2 && found.adapter0Caps.NumberOfAdaptersInGroup >= 2) {
        const std::wstring text = Translate(L"Multi-monitor");
        const LRESULT index = AddEntry(monitorList, text.c_str(), kMultiMonitorItemData);
        // Filling leaves the check box enabled even when "Multi-monitor" is
        // chosen; only choosing an entry in the list changes that.
        if (index != CB_ERR && ReadInt(settings, L"EnableMultiMonitorMode") != 0)
            SendMessageW(monitorList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void OnMonitorSelected(HWND monitorList, HWND blankScreens, Node& settings) {
    const LRESULT selected = SendMessageW(monitorList, CB_GETCURSEL, 0, 0);
    // With no entry selected the list's error result is no monitor index.
    if (selected == CB_ERR) return;
    std::intptr_t data = SendMessageW(monitorList, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    if (data == CB_ERR) return;
    int multiMonitor = 0;
    if (data >= kMultiMonitorItemData) {
        multiMonitor = 1;
        data -= kMultiMonitorItemData;
    }
    WriteInt(settings, L"EnableMultiMonitorMode", multiMonitor);
    WriteInt(settings, L"CurMonitor", static_cast<int>(data));
    EnableWindow(blankScreens, multiMonitor == 0);
}

void OnBlankScreensClicked(HWND blankScreens, Node& settings) {
    WriteInt(settings, L"ShowBlackScreens", IsChecked(blankScreens) ? 1 : 0);
}
