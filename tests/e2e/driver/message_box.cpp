// Message boxes of a program under test, read through their child controls.
#include "tests/e2e/driver/message_box.h"

#include "tests/e2e/driver/windows.h"

#include <vector>

namespace e2e {
namespace {

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM context) CALLBACK -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsIconStatic(HWND control) {
    return (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

MessageBoxSeen Read(HWND window) {
    MessageBoxSeen box;
    box.window = window;
    box.caption = WindowText(window);
    for (HWND child : Children(window)) {
        const std::wstring type = ClassName(child);
        if (_wcsicmp(type.c_str(), L"Static") == 0) {
            if (IsIconStatic(child)) {
                box.hasIcon = box.hasIcon || (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0);
                continue;
            }
            const std::wstring text = WindowText(child);
            if (text.empty()) continue;
            if (!box.text.empty()) box.text += L"\n";
            box.text += text;
        } else if (_wcsicmp(type.c_str(), L"Button") == 0 && GetDlgCtrlID(child) == IDOK) {
            box.hasOkButton = true;
        }
    }
    return box;
}

} // namespace

std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, DWORD milliseconds) {
    return WaitForMessageBox(processId, nullptr, milliseconds);
}

std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, const wchar_t* caption, DWORD milliseconds) {
    HWND window = WaitForWindow(processId, L"#32770", caption, milliseconds);
    if (!window) return std::nullopt;
    // The box may be found before its text is set.
    MessageBoxSeen box;
    WaitUntil(
        [&] {
            box = Read(window);
            return !box.text.empty() && box.hasOkButton;
        },
        milliseconds);
    return box;
}

void PressOk(const MessageBoxSeen& box) { Click(Control(box.window, IDOK)); }

} // namespace e2e
