// Dispatch of one run mode per process, with the initialisation each needs.
#include "startup/run_modes_win.h"

#include "analytics/google_analytics4.h"
#include "platform/app_module_win.h"
#include "platform/delayed_imports_win.h"
#include "platform/library_win.h"
#include "settings/dialogs/settings_dialog_win.h"
#include "startup/command_line.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>

namespace {

// How long after the settings dialog closes the process still gives usage
// hits on their way (the dialog's "end" among them) before it ends with them.
constexpr LONG kHitsInFlightWait = 1000;

HWND WindowFromNumber(std::int32_t number) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(number)); }

// Waits for the hits still on their way, until kHitsInFlightWait after the
// message that closed the dialog (the click on OK or Cancel): the dialog's own
// closing work counts against the wait, not on top of it.
void WaitForLastHits() {
    // Signed: the message's time stamp may run a tick ahead of this clock.
    const auto sinceClose = static_cast<LONG>(GetTickCount() - static_cast<DWORD>(GetMessageTime()));
    WaitForHitsInFlight(kHitsInFlightWait - std::clamp<LONG>(sinceClose, 0, kHitsInFlightWait));
}

// Hands over to the system's password-change routine, when it has one.
void RunChangePassword() {
    // No system header declares it: registry key, parent window, two reserved values.
    using ChangePasswordFn = platform::WinApiFunction<DWORD, LPCSTR, HWND, DWORD, DWORD>;
    platform::Library mpr(L"MPR.DLL");
    if (auto changePassword = mpr.Function<ChangePasswordFn>("PwdChangePasswordA"))
        changePassword("SCRSAVE", nullptr, 0, 0);
}

// COM and the application module; the common controls' trackbars only for
// the settings dialog (the preview has no control to load them for).
void InitialiseWindowing(HINSTANCE instance, bool commonControls) {
    CoInitialize(nullptr);
    if (commonControls) {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
    }
    platform::Module().Init(instance);
}

void RunConfigure(HINSTANCE instance, HWND owner) {
    // Everything the dialog always calls, before anything is shown or
    // edited; what only some buttons need is resolved when first pressed.
    platform::RequireDelayedImports({L"user32.dll", L"gdi32.dll", L"ole32.dll", L"comctl32.dll"});
    // The window system first: Wine's display driver, set up by two threads
    // at once (this one and a probe's), was seen to hang now and then.
    InitialiseWindowing(instance, true);
    const bool probesPending = ShowSettingsDialog(owner);
    WaitForLastHits();
    // A hardware probe that never answered may hold locks that an orderly end
    // would wait for: the process ends at once, its settings long written.
    if (probesPending) {
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 0);
    }
    platform::Module().Term();
    CoUninitialize();
}

} // namespace

int RunScreensaver(HINSTANCE instance, const wchar_t* commandLine) {
    const CommandLine switches = ParseSwitches(commandLine);
    switch (switches.mode) {
    case RunMode::Exit:
        break;
    case RunMode::ChangePassword:
        RunChangePassword();
        break;
    case RunMode::Run:
        LaunchMainProgram();
        break;
    case RunMode::Configure:
        RunConfigure(instance, WindowFromNumber(switches.window));
        break;
    case RunMode::Preview:
        platform::RequireDelayedImports({L"user32.dll", L"gdi32.dll", L"ole32.dll", L"oleaut32.dll"});
        InitialiseWindowing(instance, false);
        RunPreview(WindowFromNumber(switches.window));
        break;
    }
    return 0;
}
