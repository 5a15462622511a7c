// Linked only into the benchmark's copy of the screensaver, never into the
// shipped one: with SORVANE_BENCH_NO_HARDWARE_WAIT=1 in its environment, the
// settings defaults skip the processor clock wait and the WMI query, so that
// the rest of the configure mode's start can be measured on its own.
#include "hardware/hardware_probe.h"
#include "hardware/video_memory_win.h"

#include <windows.h>

namespace {

// The machine's probe less the two waits: Direct3D 9 and DirectDraw still
// answer for video memory (the road the defaults take when WMI has no answer),
// the clock is unknown.
class HardwareWithoutWaits final : public HardwareProbe {
  public:
    std::uint32_t VideoMemoryBytes() override {
        HMONITOR monitor = nullptr;
        MonitorOfChosenAdapter(monitor);
        return VideoMemoryFromDirectDraw();
    }
    std::int32_t ProcessorClockMhz() override { return 0; }
    std::int32_t FullScreenHeight() override { return GetSystemMetrics(SM_CYFULLSCREEN); }
};

bool Switched() {
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"SORVANE_BENCH_NO_HARDWARE_WAIT", value, 8);
    return length == 1 && value[0] == L'1';
}

HardwareWithoutWaits withoutWaits;
// Installed before wWinMain runs; the probe pointer it replaces is constant-initialised.
const ScopedHardware installed(Switched() ? static_cast<HardwareProbe&>(withoutWaits) : Hardware());

} // namespace
