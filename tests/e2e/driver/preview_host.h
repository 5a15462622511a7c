// A window of the test driver that plays the Display control panel's
// preview area: the parent the screensaver's preview is created in.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class PreviewHost {
public:
    // A visible top-level window whose client area is `width` x `height`,
    // with its client area's top-left corner at (`left`, `top`) on the screen.
    PreviewHost(int width, int height, int left = 200, int top = 200);
    ~PreviewHost(); // destroys the window if it still exists
    PreviewHost(const PreviewHost&) = delete;
    PreviewHost& operator=(const PreviewHost&) = delete;

    HWND Window() const { return window_; }
    // The decimal window number, as the preview switch takes it.
    std::wstring Number() const;
    // The client area in screen coordinates.
    RECT ClientOnScreen() const;
    // Gives the client area a new size.
    void Resize(int width, int height);
    void Destroy();

private:
    HWND window_ = nullptr;
};

// The first child window of `parent` that belongs to process `processId`, or
// null after `milliseconds`.
HWND WaitForChildOf(HWND parent, DWORD processId, DWORD milliseconds);

} // namespace e2e
