// The hardware facts that the settings defaults depend on, behind a seam so
// that the defaults can be computed for any machine.
#pragma once

#include <cstdint>

class HardwareProbe {
  public:
    virtual ~HardwareProbe() = default;
    // Whether the measurements can be made at all: false when a system
    // library they need cannot be had, and then every figure is unknown.
    virtual bool CanMeasure() { return true; }
    // QueryVideoMemory: bytes, 0 when unknown.
    virtual std::uint32_t VideoMemoryBytes() = 0;
    // MeasureProcessorClock: MHz, 0 when unknown.
    virtual std::int32_t ProcessorClockMhz() = 0;
    // GetSystemMetrics(SM_CYFULLSCREEN): a full-screen window's client height
    // on the primary monitor, in pixels.
    virtual std::int32_t FullScreenHeight() = 0;
};

// The probe in use: the machine's own on Windows, one that knows nothing
// elsewhere, or whatever a ScopedHardware installed.
HardwareProbe& Hardware();

class ScopedHardware {
  public:
    explicit ScopedHardware(HardwareProbe& replacement);
    ~ScopedHardware();
    ScopedHardware(const ScopedHardware&) = delete;
    ScopedHardware& operator=(const ScopedHardware&) = delete;

  private:
    HardwareProbe* previous_;
};

// A machine given by its three figures; counts how often each is asked for.
class FixedHardware final : public HardwareProbe {
  public:
    FixedHardware(std::uint32_t videoMemoryBytes, std::int32_t clockMhz, std::int32_t height)
        : videoMemoryBytes_(videoMemoryBytes), clockMhz_(clockMhz), height_(height) {}

    std::uint32_t VideoMemoryBytes() override {
        ++queries_;
        return videoMemoryBytes_;
    }
    std::int32_t ProcessorClockMhz() override {
        ++queries_;
        return clockMhz_;
    }
    std::int32_t FullScreenHeight() override {
        ++queries_;
        return height_;
    }
    int Queries() const { return queries_; }

  private:
    std::uint32_t videoMemoryBytes_;
    std::int32_t clockMhz_;
    std::int32_t height_;
    int queries_ = 0;
};
