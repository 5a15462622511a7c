// What the settings dialog must do before it shows, and nothing else: both
// Direct3D probes at once, each on a thread of its own (the adapter
// enumeration and the sample counts), then one empty modal dialog, closed by
// its close box. The reference that the configure mode's start is measured
// against.
#include "hardware/display_adapters.h"
#include "settings/dialogs/antialiasing_list_win.h"

#include <windows.h>

#include <memory>
#include <thread>

namespace {

INT_PTR CALLBACK EmptyDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The window system first, as the configure mode sets it up before its
    // probes start.
    GetSystemMetrics(SM_CMONITORS);
    auto found = std::make_unique<AdapterEnumeration>();
    std::thread adapters([&found] { EnumerateAdapters(*found, ApproveEveryDeviceMode); });
    std::thread sampleCounts([] { SupportedSampleCounts(); });
    adapters.join();
    sampleCounts.join();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, EmptyDialog, 0);
    return 0;
}
