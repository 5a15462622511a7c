// The waits and the arithmetic of the processor clock estimate.
#include "hardware/processor_clock.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A counter that advances by `step` at every reading.
class SteppingCounter final : public PerformanceCounter {
  public:
    SteppingCounter(std::int64_t frequency, std::int64_t step, bool frequencyReadable = true)
        : frequency_(frequency), step_(step), readable_(frequencyReadable) {}
    bool Frequency(std::int64_t& countsPerSecond) override {
        if (readable_) countsPerSecond = frequency_;
        return readable_;
    }
    std::int64_t Now() override {
        ++readings_;
        now_ += step_;
        return now_;
    }
    int Readings() const { return readings_; }

  private:
    std::int64_t frequency_, step_;
    bool readable_;
    std::int64_t now_ = 1000;
    int readings_ = 0;
};

TEST(ClockWait, ReadsUntilTheWaitsTicksHavePassed) {
    const struct {
        std::int64_t frequency, step;
        int readings;
    } cases[] = {
        // 10 MHz: 500,000 ticks in 50 ms; steps of 1000 need 500 readings after the start.
        {10'000'000, 1000, 501},
        // A step that overshoots: the wait ends at the first reading at or past the mark.
        {10'000'000, 300'000, 3},
        // The frequency is divided by 1000 first: 1999 Hz gives 1 tick per ms, 50 ticks.
        {1999, 10, 6},
        // Below 1000 Hz the wait has no ticks and ends at the first further reading.
        {999, 1, 2},
    };
    for (const auto& c : cases) {
        SteppingCounter counter(c.frequency, c.step);
        TimedWait(counter, kClockWaitMilliseconds);
        EXPECT_EQ(counter.Readings(), c.readings) << "frequency " << c.frequency << ", step " << c.step;
    }
}

TEST(ClockWait, EndsAtOnceWhenTheFrequencyCannotBeRead) {
    SteppingCounter counter(10'000'000, 1, false);
    TimedWait(counter, kClockWaitMilliseconds);
    EXPECT_EQ(counter.Readings(), 0);
    WaitSetUp(counter, kClockWaitMilliseconds);
    EXPECT_EQ(counter.Readings(), 0);
}

TEST(ClockWait, SetUpReadsOnceMoreUnlessTheDifferenceIsExactlyTheWait) {
    SteppingCounter ordinary(10'000'000, 7);
    WaitSetUp(ordinary, kClockWaitMilliseconds);
    EXPECT_EQ(ordinary.Readings(), 2);

    // The first further reading lands exactly one wait's ticks after the
    // start, so the set-up reads once more.
    SteppingCounter exact(10'000'000, 500'000);
    WaitSetUp(exact, kClockWaitMilliseconds);
    EXPECT_EQ(exact.Readings(), 3);
}

TEST(ClockEstimate, CyclesPerFiftyMillisecondsBecomeMegahertz) {
    constexpr std::int64_t kMaxCycles = std::numeric_limits<std::int64_t>::max();
    const struct {
        const char* what;
        std::int64_t wait, setUp;
        std::int32_t mhz;
    } cases[] = {
        {"3.2 GHz", 160'000'000 + 1200, 1200, 3200},
        {"truncated, not rounded", 160'049'999, 0, 3200},
        {"set-up cost taken off", 160'000'000, 50'000, 3199},
        {"just under 1 MHz", 49'999, 0, 0},
        {"a counter that stood still", 0, 0, 0},
        {"a counter that went backwards", -50'000'000, 0, 0},
        {"set-up longer than the wait", 1000, 60'000'000, 0},
        {"absurdly fast: held at the 32-bit top", kMaxCycles, 0, std::numeric_limits<std::int32_t>::max()},
        {"a failed set-up reading (all bits set)", 160'000'000, -1, 3200},
        {"a failed wait reading (all bits set)", -1, 1000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClockMhzFromCycles(c.wait, c.setUp), c.mhz) << c.what;
}

} // namespace
