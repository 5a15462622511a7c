// The processor clock estimate with the time-stamp counter and the
// performance counter.
#include "hardware/processor_clock.h"

#include <windows.h>

#include <cpuid.h>
#include <x86intrin.h>

namespace {

class SystemPerformanceCounter final : public PerformanceCounter {
  public:
    bool Frequency(std::int64_t& countsPerSecond) override {
        LARGE_INTEGER frequency{};
        if (!QueryPerformanceFrequency(&frequency)) return false;
        countsPerSecond = frequency.QuadPart;
        return true;
    }
    std::int64_t Now() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
};

// Without the counter the instruction would fault; asking first keeps the
// estimate a plain "unknown" on such a processor.
bool HasTimeStampCounter() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    constexpr unsigned timeStampCounterFlag = 1u << 4; // CPUID leaf 1, EDX
    return (edx & timeStampCounterFlag) != 0;
}

} // namespace

std::int32_t MeasureProcessorClock() {
    if (!HasTimeStampCounter()) return 0;
    SystemPerformanceCounter counter;

    const std::uint64_t waitStart = __rdtsc();
    TimedWait(counter, kClockWaitMilliseconds);
    const std::uint64_t waitCycles = __rdtsc() - waitStart;

    const std::uint64_t setUpStart = __rdtsc();
    WaitSetUp(counter, kClockWaitMilliseconds);
    const std::uint64_t setUpCycles = __rdtsc() - setUpStart;

    return ClockMhzFromCycles(static_cast<std::int64_t>(waitCycles), static_cast<std::int64_t>(setUpCycles));
}
