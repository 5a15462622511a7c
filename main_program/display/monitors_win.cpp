// The desktop's monitors from the window system.
#include "main_program/display/monitors.h"

namespace display {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM list) {
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(handle, &info)) return TRUE;
    Monitor monitor;
    monitor.area = info.rcMonitor;
    monitor.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    monitor.handle = handle;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) {
        monitor.refreshHz = mode.dmDisplayFrequency;
        if (mode.dmFields & DM_DISPLAYORIENTATION)
            monitor.orientation = static_cast<Orientation>(mode.dmDisplayOrientation * 90);
    }
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(monitor);
    return TRUE;
}

} // namespace

std::vector<Monitor> ListMonitors() {
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    // The system's DPI; a window on the monitor tells its own (WindowDpi).
    UINT systemDpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        systemDpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    for (Monitor& monitor : monitors) monitor.dpi = systemDpi;
    return monitors;
}

std::uint32_t WindowDpi(HWND window, std::uint32_t otherwise) {
    // Windows 10 1607 and later: with per-monitor awareness, the DPI of the
    // monitor the window is on. Looked up by name: older systems lack it.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto dpiFor = user32 ? reinterpret_cast<DpiForWindow>(
                                     reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                               : nullptr;
    const UINT dpi = dpiFor ? dpiFor(window) : 0;
    return dpi ? dpi : otherwise;
}

} // namespace display
