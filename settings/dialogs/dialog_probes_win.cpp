// The display probe over the machine's own Direct3D 9 and Direct3D 11.
#include "platform/delayed_imports_win.h"
#include "settings/dialogs/antialiasing_list_win.h"
#include "settings/dialogs/dialog_probes.h"

namespace {

class MachineDisplay final : public DisplayProbe {
  public:
    bool EnumerateAdapters(AdapterEnumeration& found, const DeviceModeApproval& approve) override {
        // On the probe's thread: without the monitors' library the probe
        // answers nothing rather than ending the process.
        if (!platform::ResolveDelayedImports({L"user32.dll"})) {
            found.adapterCount = found.monitorCount = 0;
            return false;
        }
        return ::EnumerateAdapters(found, approve);
    }
    std::vector<int> SupportedSampleCounts() override { return ::SupportedSampleCounts(); }
};

} // namespace

DisplayProbe& DefaultDisplayProbe() {
    static MachineDisplay machine;
    return machine;
}
