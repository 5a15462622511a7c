// The stand-in wallpaper window.
#include "tests/e2e/driver/wallpaper_standin.h"

#include "tests/e2e/driver/windows.h"

namespace e2e {
namespace {

constexpr wchar_t kWallpaperClass[] = L"Direct3D Window";

void RegisterOnce() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW; // replaced per window below
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWallpaperClass;
    registered = RegisterClassW(&windowClass) != 0;
}

} // namespace

WallpaperStandIn::WallpaperStandIn(bool asChild) {
    RegisterOnce();
    message_ = RegisterWindowMessageW(L"ChangeWallpaperSettingsSorvane");
    if (asChild) {
        parent_ = CreateWindowExW(0, L"STATIC", L"wallpaper host", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr,
                                  nullptr);
        window_ = CreateWindowExW(0, kWallpaperClass, L"", WS_CHILD, 0, 0, 32, 32, parent_, nullptr, nullptr, nullptr);
    } else {
        window_ = CreateWindowExW(0, kWallpaperClass, L"", WS_POPUP, 0, 0, 32, 32, nullptr, nullptr, nullptr, nullptr);
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WallpaperStandIn::Procedure));
}

WallpaperStandIn::~WallpaperStandIn() {
    if (window_) DestroyWindow(window_);
    if (parent_) DestroyWindow(parent_);
}

LRESULT CALLBACK WallpaperStandIn::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WallpaperStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == self->message_) {
        self->received_.emplace_back(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool WallpaperStandIn::WaitForPosts(size_t count, DWORD milliseconds) {
    return WaitUntil([&] { return received_.size() >= count; }, milliseconds);
}

void WallpaperStandIn::Clear() { received_.clear(); }

std::string Describe(const std::vector<WallpaperStandIn::Post>& posts) {
    std::string text = "{";
    for (const auto& post : posts)
        text += " (" + std::to_string(post.first) + ", " + std::to_string(post.second) + ")";
    return text + " }";
}

} // namespace e2e
