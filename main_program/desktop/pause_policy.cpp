// The wallpaper's pause decision.
#include "main_program/desktop/pause_policy.h"

#include <algorithm>
#include <cstdint>

namespace desktop {
namespace {

std::int64_t Area(const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    return (static_cast<std::int64_t>(r.right) - r.left) * (static_cast<std::int64_t>(r.bottom) - r.top);
}

} // namespace

bool Covers(const RECT& window, const RECT& monitor) {
    const std::int64_t monitorArea = Area(monitor);
    if (monitorArea == 0) return false;
    const RECT overlap{std::max(window.left, monitor.left), std::max(window.top, monitor.top),
                       std::min(window.right, monitor.right), std::min(window.bottom, monitor.bottom)};
    return Area(overlap) * 100 >= monitorArea * kCoveringPercent;
}

bool CanCover(const WindowFacts& window) {
    return window.visible && !window.minimised && !window.cloaked && !window.transparentToInput && !window.ours &&
           !window.shells;
}

PauseDecision DecidePause(const std::vector<RECT>& monitors, const std::vector<WindowFacts>& windows,
                          const SessionFacts& session) {
    const bool everywhere = session.locked || session.disconnected || session.displayOff ||
                            session.screensaverRunning || session.fullScreenApplication;
    PauseDecision decision;
    decision.monitorPaused.reserve(monitors.size());
    for (const RECT& monitor : monitors) {
        decision.monitorPaused.push_back(everywhere || std::any_of(windows.begin(), windows.end(), [&](const auto& w) {
                                             return CanCover(w) && Covers(w.area, monitor);
                                         }));
    }
    decision.audioPaused =
        std::all_of(decision.monitorPaused.begin(), decision.monitorPaused.end(), [](bool paused) { return paused; });
    return decision;
}

} // namespace desktop
