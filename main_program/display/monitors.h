// The monitors as the window system reports them, behind a seam so that the
// layout of windows and back buffers can be planned for any set of them.
#pragma once

#include "platform/win_types.h"

#include <cstdint>
#include <vector>

namespace display {

enum class Orientation { Landscape = 0, Portrait = 90, LandscapeFlipped = 180, PortraitFlipped = 270 };

struct Monitor {
    RECT area{};           // the whole monitor in virtual-screen pixels
    std::uint32_t dpi = 96; // its effective DPI
    Orientation orientation = Orientation::Landscape;
    std::uint32_t refreshHz = 0; // 0 or 1: unknown
    bool primary = false;
    HMONITOR handle = nullptr;
};

#ifdef _WIN32
// The monitors of the desktop, the primary one among them, in the system's
// order, each with the system's DPI.
std::vector<Monitor> ListMonitors();
// The DPI of the monitor `window` is on, where the system tells it; else `otherwise`.
std::uint32_t WindowDpi(HWND window, std::uint32_t otherwise);
#endif

} // namespace display
