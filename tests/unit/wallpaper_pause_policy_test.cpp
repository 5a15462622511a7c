// The wallpaper's pause decision: which windows pause which monitor, and what
// in the session pauses them all.
#include "main_program/desktop/pause_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using desktop::SessionFacts;
using desktop::WindowFacts;

// Two monitors side by side.
const RECT kLeft{0, 0, 1280, 1024};
const RECT kRight{1280, 0, 2304, 768};

WindowFacts Plain(RECT area) { return {area, true, false, false, false, false, false}; }

struct Row {
    const char* what;
    WindowFacts window;
    bool left, right; // paused
};

WindowFacts With(WindowFacts w, bool WindowFacts::*flag, bool value) {
    w.*flag = value;
    return w;
}

const Row kWindows[] = {
    {"a window exactly over the left monitor pauses only it", Plain(kLeft), true, false},
    {"a maximised window's borders overhang its monitor", Plain({-8, -8, 1288, 1032}), true, false},
    {"95% of the left monitor's height is enough", Plain({0, 0, 1280, 973}), true, false},
    {"just under 95% is not", Plain({0, 0, 1280, 972}), false, false},
    {"a window over both monitors pauses both", Plain({0, 0, 2304, 1024}), true, true},
    {"half of each monitor pauses neither", Plain({640, 0, 1792, 1024}), false, false},
    {"the right monitor only", Plain({1280, 0, 2304, 768}), false, true},
    {"a window far off every monitor", Plain({5000, 5000, 9000, 9000}), false, false},
    {"an empty rectangle", Plain({1280, 1024, 0, 0}), false, false},
    {"coordinates near the limits do not overflow",
     Plain({-2147483647, -2147483647, 2147483647, 2147483647}), true, true},
    {"an invisible window", With(Plain(kLeft), &WindowFacts::visible, false), false, false},
    {"a minimised window", With(Plain(kLeft), &WindowFacts::minimised, true), false, false},
    {"a cloaked window", With(Plain(kLeft), &WindowFacts::cloaked, true), false, false},
    {"a window transparent to input", With(Plain(kLeft), &WindowFacts::transparentToInput, true), false, false},
    {"a window of our own", With(Plain(kLeft), &WindowFacts::ours, true), false, false},
    {"the shell's window", With(Plain({0, 0, 2304, 1024}), &WindowFacts::shells, true), false, false},
};

TEST(WallpaperPause, OneWindowPausesEachMonitorItCovers) {
    for (const Row& row : kWindows) {
        const auto decision = desktop::DecidePause({kLeft, kRight}, {row.window}, {});
        ASSERT_EQ(decision.monitorPaused.size(), 2u);
        EXPECT_EQ(decision.monitorPaused[0], row.left) << row.what;
        EXPECT_EQ(decision.monitorPaused[1], row.right) << row.what;
        EXPECT_EQ(decision.audioPaused, row.left && row.right) << row.what;
    }
}

TEST(WallpaperPause, WindowsDoNotAddUpToACover) {
    // Two halves of the left monitor, each its own window.
    const auto decision = desktop::DecidePause({kLeft}, {Plain({0, 0, 640, 1024}), Plain({640, 0, 1280, 1024})}, {});
    EXPECT_FALSE(decision.monitorPaused[0]);
    EXPECT_FALSE(decision.audioPaused);
}

TEST(WallpaperPause, EachSessionStatePausesEveryMonitor) {
    const std::pair<const char*, bool SessionFacts::*> states[] = {
        {"locked", &SessionFacts::locked},
        {"disconnected", &SessionFacts::disconnected},
        {"display off", &SessionFacts::displayOff},
        {"screensaver running", &SessionFacts::screensaverRunning},
        {"full-screen application or presentation mode", &SessionFacts::fullScreenApplication},
    };
    for (const auto& [what, flag] : states) {
        SessionFacts session;
        session.*flag = true;
        const auto decision = desktop::DecidePause({kLeft, kRight}, {}, session);
        EXPECT_EQ(decision.monitorPaused, (std::vector<bool>{true, true})) << what;
        EXPECT_TRUE(decision.audioPaused) << what;
    }
    const auto playing = desktop::DecidePause({kLeft, kRight}, {}, {});
    EXPECT_EQ(playing.monitorPaused, (std::vector<bool>{false, false}));
    EXPECT_FALSE(playing.audioPaused);
}

} // namespace
