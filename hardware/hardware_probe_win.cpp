// The hardware probe over the machine's own measurements.
#include "hardware/hardware_probe.h"

#include "hardware/processor_clock.h"
#include "hardware/video_memory_win.h"
#include "platform/delayed_imports_win.h"

#include <windows.h>

namespace {

class MachineHardware final : public HardwareProbe {
  public:
    // Resolved on the measuring thread itself: a library that cannot be had
    // makes the measurement answer nothing, never ends the process.
    bool CanMeasure() override { return platform::ResolveDelayedImports({L"user32.dll", L"ole32.dll", L"oleaut32.dll"}); }
    std::uint32_t VideoMemoryBytes() override { return QueryVideoMemory(); }
    std::int32_t ProcessorClockMhz() override { return MeasureProcessorClock(); }
    std::int32_t FullScreenHeight() override { return GetSystemMetrics(SM_CYFULLSCREEN); }
};

} // namespace

HardwareProbe& DefaultHardware() {
    static MachineHardware machine;
    return machine;
}
