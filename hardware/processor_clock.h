// The processor clock estimate: time-stamp counter cycles over a busy wait of
// 50 milliseconds on the performance counter, less the cost of the wait's
// own set-up.
#pragma once

#include <cstdint>

// The performance counter the waits read (QueryPerformanceFrequency and
// QueryPerformanceCounter on Windows).
class PerformanceCounter {
  public:
    virtual ~PerformanceCounter() = default;
    // False when the frequency cannot be read.
    virtual bool Frequency(std::int64_t& countsPerSecond) = 0;
    virtual std::int64_t Now() = 0;
};

constexpr unsigned kClockWaitMilliseconds = 50;

// Reads the counter until `milliseconds` have passed since the first reading;
// returns at once when the frequency cannot be read.
void TimedWait(PerformanceCounter& counter, unsigned milliseconds);

// The same set-up as TimedWait, then readings only while the difference to the
// first equals the wait's tick count exactly: in practice one further reading.
// Its cycle count is the overhead that TimedWait's count also contains.
void WaitSetUp(PerformanceCounter& counter, unsigned milliseconds);

// MHz from the cycles counted over TimedWait(50) and over WaitSetUp(50):
// (wait - setUp) / 50000, held at the 32-bit maximum. An estimate that is not
// positive (a counter that went backwards, a failed reading) gives 0, the
// value for "unknown": the defaults compare the clock as an unsigned number,
// where a negative estimate would pass for the fastest processor there is.
std::int32_t ClockMhzFromCycles(std::int64_t waitCycles, std::int64_t setUpCycles);

// The estimate for this processor, in MHz; 0 when it has no time-stamp
// counter. Keeps the calling thread busy for about 50 milliseconds.
std::int32_t MeasureProcessorClock();
