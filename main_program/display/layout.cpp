// Planning the windows and back buffers over the monitors.
#include "main_program/display/layout.h"

#include <algorithm>
#include <cmath>

namespace display {

namespace {

constexpr double kStatedShapes[] = {5.0 / 4.0, 4.0 / 3.0, 16.0 / 9.0, 16.0 / 10.0};
// In multi-monitor mode a stated shape applies to monitors whose pixels
// come this close to it.
constexpr double kShapeTolerance = 0.10;
constexpr double kReducedScale = 0.75;
constexpr double kReducedShorterSideMax = 1080.0;

std::uint32_t Width(const RECT& r) { return r.right > r.left ? static_cast<std::uint32_t>(r.right - r.left) : 0; }
std::uint32_t Height(const RECT& r) { return r.bottom > r.top ? static_cast<std::uint32_t>(r.bottom - r.top) : 0; }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::uint32_t Scaled(std::uint32_t side, double scale) {
    return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(side * scale)));
}

// A monitor pixel's width over its height for the stated shape, or 1.
double MonitorPixelAspect(const Monitor& monitor, int statedShape, bool onlyWhenClose) {
    const double w = Width(monitor.area), h = Height(monitor.area);
    if (statedShape < 0 || statedShape > 3 || w <= 0 || h <= 0) return 1.0;
    double stated = kStatedShapes[statedShape];
    if (h > w) stated = 1.0 / stated; // a portrait monitor: the stated shape turned
    const double pixels = w / h;
    if (onlyWhenClose && std::fabs(pixels / stated - 1.0) > kShapeTolerance) return 1.0;
    return stated / pixels;
}

} // namespace

std::size_t PrimaryMonitor(const std::vector<Monitor>& monitors) {
    const auto found = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    return found == monitors.end() ? 0 : static_cast<std::size_t>(found - monitors.begin());
}

std::size_t ChooseMonitor(int curMonitor, const std::vector<Monitor>& records, const std::vector<Monitor>& monitors) {
    if (curMonitor >= 0 && static_cast<std::size_t>(curMonitor) < records.size()) {
        const Monitor& record = records[static_cast<std::size_t>(curMonitor)];
        for (std::size_t i = 0; i < monitors.size(); ++i)
            if (record.handle && monitors[i].handle == record.handle) return i;
        for (std::size_t i = 0; i < monitors.size(); ++i)
            if (SameRect(monitors[i].area, record.area)) return i;
    }
    return PrimaryMonitor(monitors);
}

void BackBufferSize(std::uint32_t width, std::uint32_t height, bool desktopResolution, std::uint32_t maxSide,
                    std::uint32_t& bufferWidth, std::uint32_t& bufferHeight) {
    width = std::max<std::uint32_t>(width, 1);
    height = std::max<std::uint32_t>(height, 1);
    double scale = 1.0;
    if (!desktopResolution)
        scale = std::min(kReducedScale, kReducedShorterSideMax / static_cast<double>(std::min(width, height)));
    if (maxSide > 0) scale = std::min(scale, static_cast<double>(maxSide) / static_cast<double>(std::max(width, height)));
    scale = std::min(scale, 1.0);
    bufferWidth = std::min(width, Scaled(width, scale));
    bufferHeight = std::min(height, Scaled(height, scale));
}

Layout PlanLayout(const std::vector<Monitor>& monitors, std::size_t chosen, const LayoutSettings& settings) {
    Layout layout;
    bool anyScene = false;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Monitor& monitor = monitors[i];
        const bool scene = settings.multiMonitor || i == chosen;
        if (!scene && !settings.showBlackScreens) continue;
        WindowPlan plan;
        plan.monitor = i;
        plan.role = scene ? Role::Scene : Role::Black;
        plan.area = monitor.area;
        plan.dpi = monitor.dpi;
        const std::uint32_t w = Width(monitor.area), h = Height(monitor.area);
        BackBufferSize(w, h, settings.useDesktopResolution, settings.maxRenderSide, plan.width, plan.height);
        const double aspect = MonitorPixelAspect(monitor, settings.monitorAspectRatio, settings.multiMonitor);
        // A back-buffer pixel covers (w / width) x (h / height) monitor pixels.
        plan.pixelAspect = static_cast<float>(aspect * (static_cast<double>(std::max<std::uint32_t>(w, 1)) / plan.width) /
                                              (static_cast<double>(std::max<std::uint32_t>(h, 1)) / plan.height));
        if (scene) {
            if (!anyScene) {
                layout.canvas = monitor.area;
            } else {
                layout.canvas.left = std::min(layout.canvas.left, monitor.area.left);
                layout.canvas.top = std::min(layout.canvas.top, monitor.area.top);
                layout.canvas.right = std::max(layout.canvas.right, monitor.area.right);
                layout.canvas.bottom = std::max(layout.canvas.bottom, monitor.area.bottom);
            }
            anyScene = true;
        }
        layout.windows.push_back(plan);
    }
    return layout;
}

} // namespace display
