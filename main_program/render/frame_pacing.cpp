// The target frame rate and the frame limiter.
#include "main_program/render/frame_pacing.h"

#include <algorithm>

namespace render {

double TargetFrameRate(const std::vector<std::uint32_t>& refreshRates, bool onBattery, double testCap) {
    std::uint32_t highest = 0;
    for (std::uint32_t rate : refreshRates)
        if (rate > 1) highest = std::max(highest, rate);
    double target = highest == 0 ? kMaxFrameRate : std::min<double>(highest, kMaxFrameRate);
    if (onBattery) target = std::min(target, kBatteryFrameRate);
    if (testCap > 0) target = std::min(target, testCap);
    return target;
}

FrameLimiter::FrameLimiter(double framesPerSecond) : rate_(0), period_(0) { SetRate(framesPerSecond); }

void FrameLimiter::SetRate(double framesPerSecond) {
    rate_ = std::clamp(framesPerSecond, 1.0, 1000.0);
    period_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate_));
}

FrameLimiter::Clock::duration FrameLimiter::WaitBeforeFrame(Clock::time_point now) const {
    if (next_ == Clock::time_point{} || now >= next_) return Clock::duration::zero();
    return next_ - now;
}

void FrameLimiter::FrameStarted(Clock::time_point now) {
    // On time (or a little late): keep to the grid, so that the rate holds
    // exactly; more than a period late: start afresh from now.
    if (next_ == Clock::time_point{} || now - next_ > period_)
        next_ = now + period_;
    else
        next_ += period_;
}

} // namespace render
