// The pause decision's detectors on Windows.
#include "main_program/desktop/pause_detectors_win.h"

#include "main_program/app/program_names.h"
#include "platform/com_objects_win.h"

#include <dwmapi.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <cstring>

namespace desktop {
namespace {

// The display's power, as the power notifications name it: the console's
// display (Windows 8 on) and the monitor (Windows 7).
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
constexpr DWORD kDwmCloaked = 14; // DWMWA_CLOAKED, Windows 8 on

bool IsShellClass(HWND window) {
    wchar_t name[257];
    if (GetClassNameW(window, name, 257) == 0) return false;
    for (const wchar_t* shellClass : {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"})
        if (lstrcmpW(name, shellClass) == 0) return true;
    return false;
}

struct WindowSearch {
    std::vector<WindowFacts>* windows;
    decltype(&::DwmGetWindowAttribute) cloakedQuery;
    HWND shell;
};

BOOL CALLBACK AddVisibleWindow(HWND window, LPARAM context) {
    if (!IsWindowVisible(window)) return TRUE;
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    WindowFacts facts{};
    facts.visible = true;
    GetWindowRect(window, &facts.area);
    facts.minimised = IsIconic(window) != FALSE;
    facts.transparentToInput = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    facts.ours = process == GetCurrentProcessId();
    facts.shells = window == search.shell || IsShellClass(window);
    DWORD cloaked = 0;
    facts.cloaked = search.cloakedQuery &&
                    SUCCEEDED(search.cloakedQuery(window, kDwmCloaked, &cloaked, sizeof cloaked)) && cloaked != 0;
    search.windows->push_back(facts);
    return TRUE;
}

} // namespace

std::vector<WindowFacts> VisibleTopLevelWindows() {
    static const platform::Library dwmapi(L"dwmapi.dll");
    std::vector<WindowFacts> windows;
    WindowSearch search{&windows, dwmapi.Function<decltype(&::DwmGetWindowAttribute)>("DwmGetWindowAttribute"),
                        GetShellWindow()};
    EnumWindows(AddVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return windows;
}

SessionDetectors::SessionDetectors(HWND window) : window_(window) {
    if (const auto subscribe = wtsapi32_.Function<decltype(&::WTSRegisterSessionNotification)>(
            "WTSRegisterSessionNotification"))
        sessionNotified_ = subscribe(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
    // Each sends the present state at once.
    displayState_ = RegisterPowerSettingNotification(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
    monitorPower_ = RegisterPowerSettingNotification(window, &kMonitorPowerOn, DEVICE_NOTIFY_WINDOW_HANDLE);
}

SessionDetectors::~SessionDetectors() {
    if (displayState_) UnregisterPowerSettingNotification(displayState_);
    if (monitorPower_) UnregisterPowerSettingNotification(monitorPower_);
    if (!sessionNotified_) return;
    if (const auto unsubscribe = wtsapi32_.Function<decltype(&::WTSUnRegisterSessionNotification)>(
            "WTSUnRegisterSessionNotification"))
        unsubscribe(window_);
}

bool SessionDetectors::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WTSSESSION_CHANGE) {
        switch (wParam) {
        case WTS_SESSION_LOCK: notified_.locked = true; break;
        case WTS_SESSION_UNLOCK: notified_.locked = false; break;
        case WTS_CONSOLE_DISCONNECT:
        case WTS_REMOTE_DISCONNECT: notified_.disconnected = true; break;
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT: notified_.disconnected = false; break;
        default: break;
        }
        return true;
    }
    if (message == WM_POWERBROADCAST && wParam == PBT_POWERSETTINGCHANGE && lParam) {
        const auto& setting = *reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
        const bool display = IsEqualGUID(setting.PowerSetting, kConsoleDisplayState) ||
                             IsEqualGUID(setting.PowerSetting, kMonitorPowerOn);
        if (!display || setting.DataLength < sizeof(DWORD)) return false;
        DWORD state = 0; // 0 off, 1 on, 2 dimmed
        std::memcpy(&state, setting.Data, sizeof state);
        notified_.displayOff = state == 0;
        return true;
    }
    return false;
}

SessionFacts SessionDetectors::Facts() const {
    SessionFacts facts = notified_;
    BOOL running = FALSE;
    SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    // Our own screensaver holds its instance name while it runs.
    const platform::ScopedHandle screensaver(OpenMutexW(SYNCHRONIZE, FALSE, main_program::kScreensaverInstanceName));
    facts.screensaverRunning = running || static_cast<bool>(screensaver);
    if (const auto query = shell32_.Function<decltype(&::SHQueryUserNotificationState)>(
            "SHQueryUserNotificationState")) {
        QUERY_USER_NOTIFICATION_STATE state{};
        facts.fullScreenApplication = SUCCEEDED(query(&state)) &&
                                      (state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE);
    }
    return facts;
}

} // namespace desktop
