// When the wallpaper pauses: one decision, made in one place, from what the
// detectors report about the windows on the screen and about the session.
#pragma once

#include "platform/win_types.h"

#include <vector>

namespace desktop {

// A top-level window as the covering detector saw it.
struct WindowFacts {
    RECT area; // in virtual-screen pixels
    bool visible;
    bool minimised;
    bool cloaked;            // hidden by the compositor (another virtual desktop, a suspended app)
    bool transparentToInput; // WS_EX_TRANSPARENT: an overlay the user clicks through
    bool ours;               // a window of the wallpaper's own process
    bool shells;             // the desktop, the program manager or the wallpaper worker
};

// What pauses every monitor at once.
struct SessionFacts {
    bool locked = false;
    bool disconnected = false;
    bool displayOff = false;
    bool screensaverRunning = false;
    bool fullScreenApplication = false; // full-screen Direct3D, or presentation mode
};

struct PauseDecision {
    std::vector<bool> monitorPaused; // one per monitor, in the order given
    bool audioPaused = false;        // true when every monitor is paused
};

// At least this share of a monitor, covered by one window, pauses it.
constexpr int kCoveringPercent = 95;

// Whether `window` (any rectangle) covers kCoveringPercent of `monitor`.
bool Covers(const RECT& window, const RECT& monitor);
// Whether a window can pause a monitor at all: visible, not minimised, not
// cloaked, not transparent to input, neither ours nor the shell's.
bool CanCover(const WindowFacts& window);

PauseDecision DecidePause(const std::vector<RECT>& monitors, const std::vector<WindowFacts>& windows,
                          const SessionFacts& session);

} // namespace desktop
