// Finding, reading and closing the message boxes a program under test shows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text; // the message, without the button labels
    bool hasOkButton = false;
    bool hasIcon = false;
};

// The first visible message box of process `processId`, or nothing after `milliseconds`.
std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, DWORD milliseconds);
// The same, for a box with this caption (a program with a dialog of its own open).
std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, const wchar_t* caption, DWORD milliseconds);

// Presses the box's OK button as a user's click does.
void PressOk(const MessageBoxSeen& box);

} // namespace e2e
