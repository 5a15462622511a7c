// The monitor list and blank-screens check box of the settings dialog, over
// the Direct3D 9 adapter enumeration.
#pragma once

#include "hardware/display_adapters.h"

#include <cstdint>

class Node;

// Item data of the "Multi-monitor" entry; monitor entries carry their record index.
constexpr std::intptr_t kMultiMonitorItemData = 1000;

#ifdef _WIN32

// Fills the monitor list and the blank-screens check box from the records
// and the settings `CurMonitor`, `EnableMultiMonitorMode`, `ShowBlackScreens`.
void FillMonitorList(HWND monitorList, HWND blankScreens, const AdapterEnumeration& found, const Node& settings);
// CBN_SELENDOK of the monitor list: the choice goes into the settings at once.
void OnMonitorSelected(HWND monitorList, HWND blankScreens, Node& settings);
// BN_CLICKED of the blank-screens check box.
void OnBlankScreensClicked(HWND blankScreens, Node& settings);
#endif
