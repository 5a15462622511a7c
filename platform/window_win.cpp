// Window creation and message routing for the window framework.
#include "platform/window_win.h"

#include "platform/app_module_win.h"

#include <cwchar>

namespace platform {
namespace {

HINSTANCE ModuleInstance() {
    HINSTANCE instance = Module().Instance();
    return instance ? instance : GetModuleHandleW(nullptr);
}

} // namespace

WindowImplBase::~WindowImplBase() {
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

LRESULT WindowImplBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ProcessWindowMessage(window_, message, wParam, lParam, result)) return result;
    return DefWindowProcW(window_, message, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND) {}

HWND WindowImplBase::CreateWithClass(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text,
                                     DWORD style, DWORD exStyle, UINT_PTR id) {
    return CreateWindowExW(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(id), ModuleInstance(), this);
}

LRESULT CALLBACK WindowImplBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowImplBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self && message == WM_NCCREATE) {
        self = static_cast<WindowImplBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);

    const LRESULT result = self->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->OnFinalMessage(window);
    }
    return result;
}

ATOM RegisterDefaultWindowClass(const void* classTag, wchar_t (&name)[64]) {
    std::swprintf(name, 64, L"Sorvane:%p", classTag);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &WindowImplBase::Procedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass);
}

} // namespace platform
