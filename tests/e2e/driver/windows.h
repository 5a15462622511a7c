// Finding, reading and driving the windows and controls of a program under test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Polls `condition` until it holds or `milliseconds` pass; true if it held.
// Messages for the driver's own windows are dispatched while it waits.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds);

// A visible top-level window of process `processId` whose class and caption
// match (null matches anything), or null after `milliseconds`.
HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, DWORD milliseconds);
// All top-level windows of a process, visible or not.
std::vector<HWND> TopLevelWindows(DWORD processId);

std::wstring ClassName(HWND window);
std::wstring WindowText(HWND window);
HWND Control(HWND dialog, int id);
bool IsChecked(HWND button);
bool IsEnabled(HWND control);
int TrackbarPosition(HWND trackbar);
std::vector<std::wstring> ComboItems(HWND combo);
int ComboSelection(HWND combo); // CB_ERR when nothing is selected
LRESULT ComboItemData(HWND combo, int index);

// A click as the user's arrives: the button gets BM_CLICK (posted, so a
// handler that opens a modal dialog does not block the driver) and tells its
// parent BN_CLICKED itself.
void Click(HWND button);
// Returns once the window's thread has ended what it is doing now: a message
// sent from another thread waits for it to ask for its next message. Called
// when a handler is seen to have begun, it waits for that handler's end.
void WaitForHandler(HWND window);
// Moves a trackbar as a drag does: the new position, then WM_HSCROLL to the parent.
void MoveTrackbar(HWND trackbar, int position);
// Chooses a combo box entry as a user's pick does: CB_SETCURSEL, then CBN_SELENDOK and CBN_SELCHANGE,
// sent, so the parent's handlers have ended on return.
void SelectComboItem(HWND combo, int index);
// Closes a window as its close box does.
void Close(HWND window);

// Saves what `window` shows as a 24-bit BMP file; false on failure.
bool SaveScreenshot(HWND window, const std::wstring& path);

} // namespace e2e
