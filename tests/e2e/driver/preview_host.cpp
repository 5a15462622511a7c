// The driver's stand-in for the Display control panel's preview area.
#include "tests/e2e/driver/preview_host.h"

#include "tests/e2e/driver/windows.h"

#include <vector>

namespace e2e {
namespace {

constexpr DWORD kHostStyle = WS_POPUP | WS_BORDER | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr const wchar_t* kHostClass = L"SorvanePreviewHost";

void RegisterHostClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = kHostClass;
        return RegisterClassExW(&windowClass);
    }();
    (void)atom;
}

RECT OuterRect(int left, int top, int width, int height) {
    RECT rect{left, top, left + width, top + height};
    AdjustWindowRect(&rect, kHostStyle, FALSE);
    return rect;
}

} // namespace

PreviewHost::PreviewHost(int width, int height, int left, int top) {
    RegisterHostClass();
    const RECT outer = OuterRect(left, top, width, height);
    window_ = CreateWindowExW(0, kHostClass, L"Preview area", kHostStyle, outer.left, outer.top,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    // Let the window settle on the screen before a child is put into it.
    WaitUntil([&] { return window_ && IsWindowVisible(window_); }, 2000);
}

PreviewHost::~PreviewHost() { Destroy(); }

std::wstring PreviewHost::Number() const {
    return std::to_wstring(static_cast<long long>(reinterpret_cast<INT_PTR>(window_)));
}

RECT PreviewHost::ClientOnScreen() const {
    RECT client{};
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

void PreviewHost::Resize(int width, int height) {
    const RECT client = ClientOnScreen();
    const RECT outer = OuterRect(client.left, client.top, width, height);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PreviewHost::Destroy() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

HWND WaitForChildOf(HWND parent, DWORD processId, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(child, &owner);
                if (owner == processId) {
                    found = child;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}

} // namespace e2e
