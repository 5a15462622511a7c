// The watchdog's judgement.
#include "main_program/input/watchdog.h"

namespace input {

WatchdogJudge::WatchdogJudge(bool mouseMoveEnds, std::uint32_t lastInputAtStart, Point pointerAtStart)
    : mouseMoveEnds_(mouseMoveEnds), lastInput_(lastInputAtStart), lastPointer_(pointerAtStart),
      origin_(pointerAtStart) {}

bool WatchdogJudge::Look(std::uint32_t now, std::uint32_t lastAnswer, std::uint32_t lastInput, Point pointer,
                         bool keyOrButtonDown) {
    if (lastInput != lastInput_) {
        const bool moved = pointer.x != lastPointer_.x || pointer.y != lastPointer_.y;
        // Input that left the pointer where it was came from keys, buttons or
        // the wheel.
        const bool counts = !moved || keyOrButtonDown || (mouseMoveEnds_ && BeyondThreshold(origin_, pointer));
        if (counts) {
            inputSeen_ = true;
            inputSeenAt_ = now;
        }
        lastInput_ = lastInput;
    }
    lastPointer_ = pointer;
    // Ticks wrap; differences of unsigned ticks do not mind.
    const bool answeredSince = inputSeen_ && static_cast<std::int32_t>(lastAnswer - inputSeenAt_) > 0;
    if (answeredSince) inputSeen_ = false;
    return inputSeen_ && now - lastAnswer >= kStuckMilliseconds;
}

} // namespace input
