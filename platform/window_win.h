// The window framework's window implementation: a C++ object per window,
// messages routed to its ProcessWindowMessage, the default procedure for the rest.
#pragma once

#include <windows.h>

namespace platform {

class WindowImplBase {
public:
    // The message map: true when the message was handled, with its result.
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual ~WindowImplBase();
    // The window procedure: the message map first, then DefWindowProcW.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the last message (WM_NCDESTROY); the handle is already null.
    virtual void OnFinalMessage(HWND window);

    HWND Handle() const { return window_; }

    // The window procedure of every framework window class.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    WindowImplBase() = default;
    // Creates the window of class `className` (registered by the caller) for this object.
    HWND CreateWithClass(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text, DWORD style,
                         DWORD exStyle, UINT_PTR id);

private:
    HWND window_ = nullptr;
};

// Registers, once per window class T, a class with the framework's defaults:
// CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW + 1, the arrow cursor,
// no icon, and a generated name.
ATOM RegisterDefaultWindowClass(const void* classTag, wchar_t (&name)[64]);

template <typename T>
class WindowImpl : public WindowImplBase {
public:
    HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle = 0, UINT_PTR id = 0) {
        static wchar_t name[64];
        static const ATOM atom = RegisterDefaultWindowClass(&name, name);
        if (!atom) return nullptr;
        return CreateWithClass(name, parent, rect, text, style, exStyle, id);
    }
};

} // namespace platform
