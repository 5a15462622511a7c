// The hardware probe over the machine's own measurements.
#include "hardware/hardware_probe.h"

#include "hardware/processor_clock.h"
#include "hardware/video_memory_win.h"

#include <windows.h>

namespace {

class MachineHardware final : public HardwareProbe {
  public:
    std::uint32_t VideoMemoryBytes() override { return QueryVideoMemory(); }
    std::int32_t ProcessorClockMhz() override { return MeasureProcessorClock(); }
    std::int32_t FullScreenHeight() override { return GetSystemMetrics(SM_CYFULLSCREEN); }
};

} // namespace

HardwareProbe& DefaultHardware() {
    static MachineHardware machine;
    return machine;
}
