// Closing the session's running wallpaper.
#include "main_program/desktop/stop_wallpaper_win.h"

#include "main_program/app/program_names.h"
#include "platform/com_objects_win.h"

#include <array>

namespace desktop {

int StopRunningWallpaper(DWORD timeoutMs) {
    std::array<platform::ScopedHandle, MAXIMUM_WAIT_OBJECTS> processes;
    std::array<HANDLE, MAXIMUM_WAIT_OBJECTS> waits{};
    DWORD waitCount = 0;
    int asked = 0;
    // Only top-level windows of this desktop, that is of this session, are found.
    for (HWND control = FindWindowExW(nullptr, nullptr, main_program::kWallpaperControlClass, nullptr);
         control && asked < static_cast<int>(MAXIMUM_WAIT_OBJECTS);
         control = FindWindowExW(nullptr, control, main_program::kWallpaperControlClass, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(control, &id);
        if (id == GetCurrentProcessId()) continue;
        auto& process = processes[asked++];
        process.Reset(OpenProcess(SYNCHRONIZE, FALSE, id));
        if (process) waits[waitCount++] = process.Get();
        PostMessageW(control, WM_CLOSE, 0, 0);
    }
    if (waitCount > 0) WaitForMultipleObjects(waitCount, waits.data(), TRUE, timeoutMs);
    return asked;
}

} // namespace desktop
