// What the pause decision is fed on Windows: the top-level windows, the
// session's lock and connection, the display's power, the screensaver and
// full-screen applications.
#pragma once

#include "main_program/desktop/pause_policy.h"
#include "platform/library_win.h"

#include <windows.h>

#include <vector>

namespace desktop {

// The visible top-level windows, as the covering rule needs them.
std::vector<WindowFacts> VisibleTopLevelWindows();

class SessionDetectors {
  public:
    // Asks for the session's and the display's notifications to `window`, a
    // top-level window of this thread that lives longer than this object.
    explicit SessionDetectors(HWND window);
    ~SessionDetectors();
    SessionDetectors(const SessionDetectors&) = delete;
    SessionDetectors& operator=(const SessionDetectors&) = delete;

    // The window's messages: true for the notifications asked for, whose
    // news is in the next Facts().
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The notified states with what is asked of the system now: whether a
    // screensaver runs, and whether the shell reports a full-screen Direct3D
    // application or presentation mode.
    SessionFacts Facts() const;

  private:
    HWND window_;
    platform::Library wtsapi32_{L"wtsapi32.dll"};
    platform::Library shell32_{L"shell32.dll"};
    bool sessionNotified_ = false;
    HPOWERNOTIFY displayState_ = nullptr;
    HPOWERNOTIFY monitorPower_ = nullptr;
    SessionFacts notified_;
};

} // namespace desktop
