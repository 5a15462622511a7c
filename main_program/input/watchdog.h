// The watchdog's judgement: the window thread is stuck (it has not answered a
// heartbeat for a few seconds) while the user gives input, so the program
// must end without it.
#pragma once

#include "main_program/input/ending_rules.h"

#include <cstdint>

namespace input {

constexpr std::uint32_t kHeartbeatMilliseconds = 500;
constexpr std::uint32_t kStuckMilliseconds = 3000;

class WatchdogJudge {
  public:
    // `mouseMoveEnds`: the pointer's movement counts as input; otherwise only
    // input that left the pointer where it was (keys, buttons, the wheel), or
    // that happened with a key or button held, counts.
    WatchdogJudge(bool mouseMoveEnds, std::uint32_t lastInputAtStart, Point pointerAtStart);

    // One look, every heartbeat, at `now` (milliseconds of the watchdog's
    // clock): when the window thread last answered, the system's last-input
    // tick, the pointer, whether a key or button is down. True when the
    // program must end now: input that counts came after the thread's last
    // answer, and that answer is a few seconds old.
    bool Look(std::uint32_t now, std::uint32_t lastAnswer, std::uint32_t lastInput, Point pointer,
              bool keyOrButtonDown);

  private:
    bool mouseMoveEnds_;
    std::uint32_t lastInput_;
    Point lastPointer_;
    Point origin_;
    bool inputSeen_ = false; // input that counts, seen at inputSeenAt_
    std::uint32_t inputSeenAt_ = 0;
};

} // namespace input
