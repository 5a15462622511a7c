// The screensaver's rules for ending on input.
#include "main_program/input/ending_rules.h"

namespace input {

bool BeyondThreshold(Point origin, Point now) {
    const std::int64_t dx = static_cast<std::int64_t>(now.x) - origin.x;
    const std::int64_t dy = static_cast<std::int64_t>(now.y) - origin.y;
    return dx * dx + dy * dy > static_cast<std::int64_t>(kMoveThreshold) * kMoveThreshold;
}

void EndingRules::SceneShown(Point pointer) {
    if (shown_) return;
    shown_ = true;
    origin_ = pointer;
}

void EndingRules::MouseMoved(Point pointer) {
    if (!firstMoveSeen_) {
        firstMoveSeen_ = true;
        return;
    }
    PointerAt(pointer);
}

void EndingRules::PointerAt(Point pointer) {
    if (mouseMoveEnds_ && shown_ && BeyondThreshold(origin_, pointer)) end_ = true;
}

void EndingRules::Activated(bool active) {
    if (active)
        wasActive_ = true;
    else if (wasActive_)
        end_ = true;
}

} // namespace input
