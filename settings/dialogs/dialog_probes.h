// The hardware questions of the settings dialog, asked concurrently when the
// configure mode starts: the Direct3D 9 adapters and their monitors, the
// Direct3D 11 sample counts, and the facts that the hardware-dependent
// defaults are computed from. Each answer is waited for only where it is
// needed, and never past its bound: a probe that fails or does not return in
// time counts as one that failed.
#pragma once

#include "platform/background_task.h"
#include "hardware/display_adapters.h"
#include "settings/store/settings_schema.h"

#include <chrono>
#include <memory>
#include <vector>

// The Direct3D questions, behind a seam so that a probe that fails or never
// returns can be tried.
class DisplayProbe {
  public:
    virtual ~DisplayProbe() = default;
    // EnumerateAdapters over the system's Direct3D 9 and monitors.
    virtual bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve) = 0;
    // SupportedSampleCounts of Direct3D 11.
    virtual std::vector<int> SupportedSampleCounts() = 0;
};

// The probe in use: the machine's own on Windows, one that finds nothing
// elsewhere, or whatever a ScopedDisplayProbe installed.
DisplayProbe& Display();

class ScopedDisplayProbe {
  public:
    explicit ScopedDisplayProbe(DisplayProbe& replacement);
    ~ScopedDisplayProbe();
    ScopedDisplayProbe(const ScopedDisplayProbe&) = delete;
    ScopedDisplayProbe& operator=(const ScopedDisplayProbe&) = delete;

  private:
    DisplayProbe* previous_;
};

class DialogProbes {
  public:
    // How long each answer is waited for, counted from its probe's start.
    struct Bounds {
        std::chrono::milliseconds display{8000};
        std::chrono::milliseconds facts{15000}; // WMI alone may take 5 s
    };

    explicit DialogProbes(Bounds bounds) : bounds_(bounds) {}
    DialogProbes() : DialogProbes(Bounds{}) {}

    // The Direct3D 9 enumeration and the Direct3D 11 sample counts, each on a
    // thread of its own. `approve` is called on the enumeration's thread.
    void StartDisplayProbes(DeviceModeApproval approve);
    // The video memory, the processor clock and the screen height
    // (MeasureHardware), on a thread of its own.
    void StartHardwareFacts();
    bool HardwareFactsStarted() const { return facts_.Started(); }

    // The enumeration's records; none (both counts 0) when it failed or did
    // not answer in time. False then.
    bool Adapters(AdapterEnumeration& found) const;
    // The sample counts; empty when the probe failed or did not answer in time.
    std::vector<int> SampleCounts() const;
    // The facts; all unknown (0) when the probe failed or did not answer in
    // time, or was never started.
    HardwareFacts Facts() const;
    // Whether every started probe has answered, in time or not.
    bool AllAnswered() const;

  private:
    struct Enumeration {
        bool usable = false;
        std::shared_ptr<AdapterEnumeration> found;
    };

    Bounds bounds_;
    platform::BackgroundTask<Enumeration>::Clock::time_point displayStarted_{}, factsStarted_{};
    platform::BackgroundTask<Enumeration> adapters_;
    platform::BackgroundTask<std::vector<int>> sampleCounts_;
    platform::BackgroundTask<HardwareFacts> facts_;
};
