// The windows and back buffers planned over a monitor list: which monitors
// show the scene, which are black and which are left alone; every window
// exactly over its monitor (other DPIs, portrait, negative coordinates);
// back-buffer sizes, the shape of a pixel, the canvas, and the monitor that
// CurMonitor names.
#include "main_program/display/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using display::Monitor;
using display::Orientation;
using display::Role;

HMONITOR Handle(int n) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(0x1000 + n)); }

Monitor MakeMonitor(int n, RECT area, std::uint32_t dpi = 96, bool primary = false,
                    Orientation orientation = Orientation::Landscape) {
    Monitor m;
    m.area = area;
    m.dpi = dpi;
    m.primary = primary;
    m.orientation = orientation;
    m.refreshHz = 60;
    m.handle = Handle(n);
    return m;
}

// A 4K primary at 192 DPI, a portrait 1080p monitor to its left at negative
// coordinates, and a 1280x1024 monitor above, at 96 DPI.
const std::vector<Monitor> kDesk = {
    MakeMonitor(0, {0, 0, 3840, 2160}, 192, true),
    MakeMonitor(1, {-1080, -300, 0, 1620}, 120, false, Orientation::Portrait),
    MakeMonitor(2, {0, -1024, 1280, 0}, 96),
};

struct PlannedWindow {
    std::size_t monitor;
    Role role;
    std::uint32_t width, height;
    float pixelAspect;
};

struct LayoutCase {
    const char* name;
    display::LayoutSettings settings;
    std::size_t chosen;
    std::vector<PlannedWindow> windows;
    RECT canvas;
};

display::LayoutSettings Settings(bool multi, bool black, bool desktopRes = true, int aspect = 4,
                                 std::uint32_t maxSide = 0) {
    display::LayoutSettings s;
    s.multiMonitor = multi;
    s.showBlackScreens = black;
    s.useDesktopResolution = desktopRes;
    s.monitorAspectRatio = aspect;
    s.maxRenderSide = maxSide;
    return s;
}

std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

TEST(MonitorLayout, CoversEachMonitorExactlyWithTheRightRoleAndBackBuffer) {
    const LayoutCase cases[] = {
        {"every monitor shows the scene; the canvas joins them",
         Settings(true, true), 0,
         {{0, Role::Scene, 3840, 2160, 1.0f}, {1, Role::Scene, 1080, 1920, 1.0f}, {2, Role::Scene, 1280, 1024, 1.0f}},
         {-1080, -1024, 3840, 2160}},
        {"one monitor chosen, the others black",
         Settings(false, true), 1,
         {{0, Role::Black, 3840, 2160, 1.0f}, {1, Role::Scene, 1080, 1920, 1.0f}, {2, Role::Black, 1280, 1024, 1.0f}},
         {-1080, -300, 0, 1620}},
        {"one monitor chosen, the others left alone",
         Settings(false, false), 2, {{2, Role::Scene, 1280, 1024, 1.0f}}, {0, -1024, 1280, 0}},
        {"a lower internal resolution: three quarters, the shorter side at most 1080",
         Settings(true, true, false), 0,
         {{0, Role::Scene, 1920, 1080, 1.0f}, {1, Role::Scene, 810, 1440, 1.0f}, {2, Role::Scene, 960, 768, 1.0f}},
         {-1080, -1024, 3840, 2160}},
        {"tests render small: the longest side at most 160",
         Settings(true, false, true, 4, 160), 0,
         {{0, Role::Scene, 160, 90, 1.0f}, {1, Role::Scene, 90, 160, 1.0f}, {2, Role::Scene, 160, 128, 1.0f}},
         {-1080, -1024, 3840, 2160}},
        // 1280x1024 pixels shown on a 4:3 screen are wider than tall.
        {"the chosen monitor's stated shape applies whatever its pixels",
         Settings(false, false, true, 1), 2, {{2, Role::Scene, 1280, 1024, (4.0f / 3.0f) / (5.0f / 4.0f)}},
         {0, -1024, 1280, 0}},
        // The portrait 16:9 monitor is exactly 16:9 turned; 5:4 pixels are far off.
        {"in multi-monitor mode the stated shape applies only to monitors close to it",
         Settings(true, true, true, 2), 0,
         {{0, Role::Scene, 3840, 2160, 1.0f}, {1, Role::Scene, 1080, 1920, 1.0f}, {2, Role::Scene, 1280, 1024, 1.0f}},
         {-1080, -1024, 3840, 2160}},
        // 16:9 pixels are 11% off 16:10 and left alone; 9:16 ones are 10% off
        // 10:16, still within.
        {"16:10 stated in multi-monitor mode: only the monitors within 10% of it",
         Settings(true, true, true, 3), 0,
         {{0, Role::Scene, 3840, 2160, 1.0f},
          {1, Role::Scene, 1080, 1920, (10.0f / 16.0f) / (1080.0f / 1920.0f)},
          {2, Role::Scene, 1280, 1024, 1.0f}},
         {-1080, -1024, 3840, 2160}},
        {"4:3 stated over 5:4 pixels, in multi-monitor mode: close enough (6.7%)",
         Settings(true, false, true, 1), 0,
         {{0, Role::Scene, 3840, 2160, 1.0f}, {1, Role::Scene, 1080, 1920, 1.0f},
          {2, Role::Scene, 1280, 1024, (4.0f / 3.0f) / (5.0f / 4.0f)}},
         {-1080, -1024, 3840, 2160}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const display::Layout layout = display::PlanLayout(kDesk, c.chosen, c.settings);
        ASSERT_EQ(layout.windows.size(), c.windows.size());
        for (std::size_t i = 0; i < c.windows.size(); ++i) {
            const display::WindowPlan& got = layout.windows[i];
            const PlannedWindow& want = c.windows[i];
            const Monitor& monitor = kDesk[want.monitor];
            EXPECT_EQ(got.monitor, want.monitor);
            EXPECT_EQ(got.role, want.role) << "monitor " << want.monitor;
            EXPECT_EQ(Show(got.area), Show(monitor.area)) << "the window must cover exactly its monitor";
            EXPECT_EQ(got.dpi, monitor.dpi);
            if (want.role == Role::Black) continue;
            EXPECT_EQ(got.width, want.width) << "monitor " << want.monitor;
            EXPECT_EQ(got.height, want.height) << "monitor " << want.monitor;
            EXPECT_NEAR(got.pixelAspect, want.pixelAspect, 0.01f) << "monitor " << want.monitor;
        }
        EXPECT_EQ(Show(layout.canvas), Show(c.canvas));
    }
}

TEST(MonitorLayout, AReducedBackBufferKeepsThePictureInShape) {
    // Rounding may make a reduced buffer a little wider or taller than the
    // monitor's shape; the pixel aspect makes up for it exactly.
    const std::vector<Monitor> odd = {MakeMonitor(0, {0, 0, 1366, 768}, 96, true)};
    const display::Layout layout = display::PlanLayout(odd, 0, Settings(true, true, false, 4, 0));
    ASSERT_EQ(layout.windows.size(), 1u);
    const auto& plan = layout.windows[0];
    const double shown = plan.width * plan.pixelAspect / plan.height;
    EXPECT_NEAR(shown, 1366.0 / 768.0, 1e-4) << plan.width << "x" << plan.height;
    EXPECT_LT(plan.width, 1366u);
}

TEST(MonitorLayout, CurMonitorNamesAMonitorRecordElseThePrimaryMonitor) {
    // The dialog's records: only monitors 2 and 1 have usable adapters, in that order.
    std::vector<Monitor> records = {MakeMonitor(2, kDesk[2].area), MakeMonitor(1, kDesk[1].area)};
    const struct {
        int curMonitor;
        std::size_t chosen;
    } cases[] = {{0, 2}, {1, 1}, {2, 0}, {-1, 0}, {1000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(display::ChooseMonitor(c.curMonitor, records, kDesk), c.chosen) << "CurMonitor " << c.curMonitor;
    // A record whose handle is stale is found by its area.
    records[0].handle = Handle(99);
    EXPECT_EQ(display::ChooseMonitor(0, records, kDesk), 2u);
    // A record of a monitor that is gone: the primary monitor.
    records[0].area = {5000, 0, 6000, 1000};
    EXPECT_EQ(display::ChooseMonitor(0, records, kDesk), 0u);
    // No monitor marked primary: the first.
    std::vector<Monitor> unmarked = kDesk;
    unmarked[0].primary = false;
    EXPECT_EQ(display::ChooseMonitor(7, records, unmarked), 0u);
}

} // namespace
