// The render loop's pace: the frame rate it aims for and the limiter that
// holds it there, whether or not presenting waits for the display.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace render {

constexpr double kMaxFrameRate = 60.0;
constexpr double kBatteryFrameRate = 30.0;

// The highest refresh rate among the shown monitors, capped at 60; 60 when
// none is known (0 or 1 Hz); at most 30 on battery; at most `testCap` when
// that is above 0.
double TargetFrameRate(const std::vector<std::uint32_t>& refreshRates, bool onBattery, double testCap = 0);

// Frame deadlines one period apart. A frame that ends late starts the next
// period from now instead of rushing to catch up, so the loop never runs
// faster than the target.
class FrameLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    explicit FrameLimiter(double framesPerSecond);
    void SetRate(double framesPerSecond);
    double Rate() const { return rate_; }

    // How long to wait from `now` before the next frame starts (0: at once).
    Clock::duration WaitBeforeFrame(Clock::time_point now) const;
    // A frame starts at `now`; the next one is due a period after its deadline.
    void FrameStarted(Clock::time_point now);
    // Rendering resumes after a pause: the next frame may start at once.
    void Restart() { next_ = {}; }

  private:
    double rate_;
    Clock::duration period_;
    Clock::time_point next_{};
};

} // namespace render
