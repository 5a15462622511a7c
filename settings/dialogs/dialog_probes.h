// The hardware questions of the settings dialog, asked concurrently when the
// configure mode starts: the Direct3D 9 adapters and their monitors, the
// Direct3D 11 sample counts, and the facts that the hardware-dependent
// defaults are computed from. Each is asked at most once per dialog, and its
// first answer serves every later use. Each answer is waited for only where
// it is needed, and never past its bound, counted from the probe's start: a
// probe that fails or does not return in time counts as one that failed
// until its answer arrives.
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
    // The bounds of a DialogProbes made without any: these, or those that a
    // ScopedDialogProbeBounds installed.
    static Bounds DefaultBounds();

    explicit DialogProbes(Bounds bounds) : bounds_(bounds) {}
    DialogProbes() : DialogProbes(DefaultBounds()) {}

    // The Direct3D 9 enumeration and the Direct3D 11 sample counts, each on a
    // thread of its own. `approve` is called on the enumeration's thread.
    void StartDisplayProbes(DeviceModeApproval approve);
    // The video memory, the processor clock and the screen height
    // (MeasureHardware), on a thread of its own; once only.
    void StartHardwareFacts();
    bool HardwareFactsStarted() const { return facts_.Started(); }

    // The enumeration's records; none (both counts 0) when it failed or has
    // not answered by its bound. False then. `answered` is false while the
    // probe is still under way: its answer may come later.
    bool Adapters(AdapterEnumeration& found, bool& answered) const;
    bool Adapters(AdapterEnumeration& found) const {
        bool answered = false;
        return Adapters(found, answered);
    }
    // The sample counts; empty when the probe failed or has not answered by
    // its bound.
    std::vector<int> SampleCounts(bool& answered) const;
    std::vector<int> SampleCounts() const {
        bool answered = false;
        return SampleCounts(answered);
    }
    // The facts, measured once: started now when they were not; all unknown
    // (0) when the probe failed or has not answered by its bound.
    HardwareFacts Facts();

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

// Replaces the default bounds while it lives, for tests of probes that never
// answer.
class ScopedDialogProbeBounds {
  public:
    explicit ScopedDialogProbeBounds(DialogProbes::Bounds bounds);
    ~ScopedDialogProbeBounds();
    ScopedDialogProbeBounds(const ScopedDialogProbeBounds&) = delete;
    ScopedDialogProbeBounds& operator=(const ScopedDialogProbeBounds&) = delete;

  private:
    DialogProbes::Bounds previous_;
};
