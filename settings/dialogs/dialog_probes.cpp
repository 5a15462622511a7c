// The settings dialog's concurrent hardware probes and their bounded waits.
#include "settings/dialogs/dialog_probes.h"

#include <cstring>

DisplayProbe& DefaultDisplayProbe(); // dialog_probes_win.cpp, or below off Windows

namespace {
DisplayProbe* g_override = nullptr;
DialogProbes::Bounds g_bounds;
// Every probe uses Direct3D, DirectDraw or WMI on its thread.
constexpr platform::ThreadEnd kProbeThreadEnd = platform::ThreadEnd::StaysUntilProcessEnds;
} // namespace

DisplayProbe& Display() { return g_override ? *g_override : DefaultDisplayProbe(); }

ScopedDisplayProbe::ScopedDisplayProbe(DisplayProbe& replacement) : previous_(g_override) {
    g_override = &replacement;
}
ScopedDisplayProbe::~ScopedDisplayProbe() { g_override = previous_; }

DialogProbes::Bounds DialogProbes::DefaultBounds() { return g_bounds; }

ScopedDialogProbeBounds::ScopedDialogProbeBounds(DialogProbes::Bounds bounds) : previous_(g_bounds) {
    g_bounds = bounds;
}
ScopedDialogProbeBounds::~ScopedDialogProbeBounds() { g_bounds = previous_; }

#ifndef _WIN32
// Off Windows there is no Direct3D: no adapter, no sample count.
DisplayProbe& DefaultDisplayProbe() {
    class Nothing final : public DisplayProbe {
      public:
        bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval&) override {
            found.adapterCount = found.monitorCount = 0;
            return false;
        }
        std::vector<int> SupportedSampleCounts() override { return {}; }
    };
    static Nothing nothing;
    return nothing;
}
#endif

void DialogProbes::StartDisplayProbes(DeviceModeApproval approve) {
    displayStarted_ = platform::BackgroundTask<Enumeration>::Clock::now();
    DisplayProbe& display = Display();
    adapters_ = platform::BackgroundTask<Enumeration>::Start([&display, approve = std::move(approve)] {
        Enumeration enumeration;
        enumeration.found = std::make_shared<AdapterEnumeration>();
        enumeration.usable = display.EnumerateAdapters(*enumeration.found, approve);
        return enumeration;
    }, kProbeThreadEnd);
    sampleCounts_ = platform::BackgroundTask<std::vector<int>>::Start([&display] {
        return display.SupportedSampleCounts();
    }, kProbeThreadEnd);
}

void DialogProbes::StartHardwareFacts() {
    if (facts_.Started()) return;
    factsStarted_ = platform::BackgroundTask<HardwareFacts>::Clock::now();
    facts_ = platform::BackgroundTask<HardwareFacts>::Start([] { return MeasureHardware(); }, kProbeThreadEnd);
}

bool DialogProbes::Adapters(AdapterEnumeration& found, bool& answered) const {
    const Enumeration* enumeration = adapters_.WaitUntil(displayStarted_ + bounds_.display, answered);
    if (!enumeration) {
        // As when Direct3D 9 is unavailable: no records.
        std::memset(&found, 0, sizeof found);
        return false;
    }
    found = *enumeration->found;
    return enumeration->usable;
}

std::vector<int> DialogProbes::SampleCounts(bool& answered) const {
    const std::vector<int>* counts = sampleCounts_.WaitUntil(displayStarted_ + bounds_.display, answered);
    return counts ? *counts : std::vector<int>();
}

HardwareFacts DialogProbes::Facts() {
    StartHardwareFacts();
    const HardwareFacts* facts = facts_.WaitUntil(factsStarted_ + bounds_.facts);
    return facts ? *facts : HardwareFacts();
}

bool DialogProbes::AllAnswered() const {
    return (!adapters_.Started() || adapters_.Done()) && (!sampleCounts_.Started() || sampleCounts_.Done()) &&
           (!facts_.Started() || facts_.Done());
}
