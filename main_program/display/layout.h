// Which monitors show the scene, which are black and which are left alone;
// each window's rectangle and back-buffer size, the shape of its pixels, and
// the canvas that joins the scene's monitors into one picture.
#pragma once

#include "main_program/display/monitors.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace display {

enum class Role { Scene, Black };

struct LayoutSettings {
    bool multiMonitor = true;
    bool showBlackScreens = true;
    bool useDesktopResolution = true;
    int monitorAspectRatio = 4; // 0: 5:4, 1: 4:3, 2: 16:9, 3: 16:10, 4: from the pixels
    // Test tuning: the back buffer's longest side at most this (0: no limit).
    std::uint32_t maxRenderSide = 0;
};

struct WindowPlan {
    std::size_t monitor = 0; // index into the monitor list
    Role role = Role::Scene;
    RECT area{};            // the window covers exactly this: the monitor
    std::uint32_t width = 0; // the back buffer, scaled to the window when it is smaller
    std::uint32_t height = 0;
    float pixelAspect = 1.0f; // a back-buffer pixel's width over its height, as seen
    std::uint32_t dpi = 96;
};

struct Layout {
    std::vector<WindowPlan> windows; // in monitor order; left-alone monitors have none
    RECT canvas{};                   // around every scene window
};

// The index of the primary monitor (0 when none is marked).
std::size_t PrimaryMonitor(const std::vector<Monitor>& monitors);

// The monitor that CurMonitor names: monitor record `curMonitor` of the
// adapter enumeration (its monitor handle, else its area, found among
// `monitors`), or the primary monitor when there is no such record or it
// matches no monitor.
std::size_t ChooseMonitor(int curMonitor, const std::vector<Monitor>& records, const std::vector<Monitor>& monitors);

Layout PlanLayout(const std::vector<Monitor>& monitors, std::size_t chosen, const LayoutSettings& settings);

// The back buffer for a monitor of `width` x `height` pixels: its own size, or
// with UseDesktopRes 0 three quarters of each side with the shorter side at
// most 1080; then within `maxSide`. Never 0, never above the monitor.
void BackBufferSize(std::uint32_t width, std::uint32_t height, bool desktopResolution, std::uint32_t maxSide,
                    std::uint32_t& bufferWidth, std::uint32_t& bufferHeight);

} // namespace display
