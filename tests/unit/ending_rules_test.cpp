// When the screensaver ends on input, and when its watchdog ends a process
// whose window thread is stuck.
#include "main_program/input/ending_rules.h"
#include "main_program/input/watchdog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using input::Point;

enum class Event { Shown, Move, Poll, Key, Active, Inactive, Close };

struct Step {
    Event event;
    Point at{};
};

struct RulesCase {
    const char* name;
    bool mouseMoveEnds;
    std::vector<Step> steps;
    bool ends;
};

TEST(EndingRules, EndOnInputAsTheSettingsSay) {
    const Point origin{500, 400};
    const RulesCase cases[] = {
        {"3 pixels of movement", true, {{Event::Shown, origin}, {Event::Move, {500, 400}}, {Event::Move, {503, 400}}},
         false},
        {"30 pixels of movement", true, {{Event::Shown, origin}, {Event::Move, {500, 400}}, {Event::Move, {530, 400}}},
         true},
        {"8 pixels diagonally is within; 9 straight is beyond", true,
         {{Event::Shown, origin}, {Event::Move, origin}, {Event::Move, {505, 406}}}, false},
        {"9 pixels straight", true, {{Event::Shown, origin}, {Event::Move, origin}, {Event::Move, {500, 391}}}, true},
        {"the first mouse-move message is ignored, however far", true,
         {{Event::Shown, origin}, {Event::Move, {900, 900}}}, false},
        {"the distance counts from where the pointer was when the scene showed", true,
         {{Event::Move, {0, 0}}, {Event::Shown, origin}, {Event::Move, {0, 0}}}, true},
        {"small steps add up", true,
         {{Event::Shown, origin}, {Event::Move, origin}, {Event::Move, {505, 400}}, {Event::Move, {510, 400}}}, true},
        {"movement before the scene showed does not count", true,
         {{Event::Move, {0, 0}}, {Event::Move, {100, 100}}, {Event::Poll, {300, 300}}}, false},
        {"the pointer moved over a monitor left alone", true, {{Event::Shown, origin}, {Event::Poll, {-300, 10}}},
         true},
        {"mouse movement switched off: 30 pixels", false,
         {{Event::Shown, origin}, {Event::Move, origin}, {Event::Move, {530, 400}}, {Event::Poll, {530, 400}}},
         false},
        {"mouse movement switched off: a key", false,
         {{Event::Shown, origin}, {Event::Move, {530, 400}}, {Event::Key}}, true},
        {"a key before the scene showed", true, {{Event::Key}}, true},
        {"a close", false, {{Event::Close}}, true},
        {"another program takes the foreground after we had it", false,
         {{Event::Active}, {Event::Inactive}}, true},
        {"never having been active, losing it means nothing", false, {{Event::Inactive}}, false},
    };
    for (const RulesCase& c : cases) {
        input::EndingRules rules(c.mouseMoveEnds);
        for (const Step& step : c.steps) {
            switch (step.event) {
            case Event::Shown: rules.SceneShown(step.at); break;
            case Event::Move: rules.MouseMoved(step.at); break;
            case Event::Poll: rules.PointerAt(step.at); break;
            case Event::Key: rules.KeyOrButton(); break;
            case Event::Active: rules.Activated(true); break;
            case Event::Inactive: rules.Activated(false); break;
            case Event::Close: rules.Close(); break;
            }
        }
        EXPECT_EQ(rules.ShouldEnd(), c.ends) << c.name;
    }
}

// One look of the watchdog: at `now`, the thread last answered at `answer`,
// the last-input tick, the pointer, a key held.
struct Look {
    std::uint32_t now, answer, lastInput;
    Point pointer;
    bool keyDown;
    bool ends;
};

TEST(Watchdog, EndsOnlyWhenInputMeetsAStuckWindowThread) {
    const Point p{100, 100};
    const struct {
        const char* name;
        bool mouseMoveEnds;
        std::vector<Look> looks;
    } cases[] = {
        {"input while the thread answers: its own rules judge it", true,
         {{500, 500, 10, p, false, false}, {1000, 1000, 900, p, false, false}, {1500, 1500, 900, p, false, false}}},
        {"a stuck thread and no input: nothing to do", true,
         {{500, 0, 10, p, false, false}, {4000, 0, 10, p, false, false}}},
        {"a key while the thread is stuck ends it once it has not answered for 3 s", true,
         {{500, 0, 10, p, false, false}, {1000, 0, 950, p, false, false}, {2900, 0, 950, p, false, false},
          {3000, 0, 950, p, false, true}}},
        {"the thread answers after the input: it was not stuck", true,
         {{1000, 0, 950, p, false, false}, {1500, 1200, 950, p, false, false}, {5000, 1200, 950, p, false, false}}},
        {"mouse movement switched off: a pointer that moved does not count", false,
         {{1000, 0, 950, {300, 300}, false, false}, {5000, 0, 950, {300, 300}, false, false}}},
        {"mouse movement switched off: a button held while moving counts", false,
         {{1000, 0, 950, {300, 300}, true, false}, {5000, 0, 950, {300, 300}, false, true}}},
        {"mouse movement counts beyond the threshold", true,
         {{1000, 0, 950, {300, 300}, false, false}, {5000, 0, 950, {300, 300}, false, true}}},
        {"but not within it", true,
         {{1000, 0, 950, {103, 100}, false, false}, {5000, 0, 950, {103, 100}, false, false}}},
        {"the tick counter wraps", true,
         {{0xFFFFFF00u, 0xFFFFFE00u, 0xFFFFFF00u, p, false, false}, {2900, 0xFFFFFE00u, 0xFFFFFF00u, p, false, true}}},
    };
    for (const auto& c : cases) {
        input::WatchdogJudge judge(c.mouseMoveEnds, 10, p);
        int index = 0;
        for (const Look& look : c.looks) {
            EXPECT_EQ(judge.Look(look.now, look.answer, look.lastInput, look.pointer, look.keyDown), look.ends)
                << c.name << ", look " << index;
            ++index;
        }
    }
}

} // namespace
