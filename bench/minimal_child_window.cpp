// The smallest preview program: given "/p <window number>", it puts a child
// window that paints nothing into that window and ends with it. The reference
// that the preview mode's start is measured against.
#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace {

LRESULT CALLBACK BlankWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam); // WM_PAINT: validated, nothing drawn
}

// The last number after the program's name: the parent window's.
HWND ParentFromCommandLine(const wchar_t* commandLine) {
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        for (++at; *at && *at != L'"'; ++at) {
        }
    }
    while (*at && *at != L' ' && *at != L'\t') ++at;
    const wchar_t* number = nullptr;
    for (; *at; ++at) {
        if (std::iswdigit(*at) && !std::iswdigit(at[-1])) number = at;
    }
    return number ? reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(number, nullptr, 10))) : nullptr;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HWND parent = ParentFromCommandLine(GetCommandLineW());
    RECT area{};
    if (!parent || !GetClientRect(parent, &area)) return 1;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BlankWindow;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalChildWindow";
    if (!RegisterClassW(&windowClass)) return 1;
    if (!CreateWindowExW(0, windowClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                         parent, nullptr, instance, nullptr))
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
