// The waits and the arithmetic of the processor clock estimate.
#include "hardware/processor_clock.h"

#include <limits>

namespace {

// The wait's length in counter ticks; false when the frequency cannot be read.
bool WaitTicks(PerformanceCounter& counter, unsigned milliseconds, std::int64_t& ticks) {
    std::int64_t frequency = 0;
    if (!counter.Frequency(frequency)) return false;
    ticks = (frequency / 1000) * milliseconds;
    return true;
}

} // namespace

void TimedWait(PerformanceCounter& counter, unsigned milliseconds) {
    std::int64_t ticks = 0;
    if (!WaitTicks(counter, milliseconds, ticks)) return;
    const std::int64_t start = counter.Now();
    while (counter.Now() - start < ticks) {
    }
}

void WaitSetUp(PerformanceCounter& counter, unsigned milliseconds) {
    std::int64_t ticks = 0;
    if (!WaitTicks(counter, milliseconds, ticks)) return;
    const std::int64_t start = counter.Now();
    while (counter.Now() - start == ticks) {
    }
}

std::int32_t ClockMhzFromCycles(std::int64_t waitCycles, std::int64_t setUpCycles) {
    // Both counts are differences of the same 64-bit counter; their
    // difference is taken modulo 2^64 like the counter itself.
    const auto cycles =
        static_cast<std::int64_t>(static_cast<std::uint64_t>(waitCycles) - static_cast<std::uint64_t>(setUpCycles));
    const std::int64_t mhz = cycles / (std::int64_t{kClockWaitMilliseconds} * 1000);
    if (mhz <= 0) return 0;
    if (mhz > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(mhz);
}
