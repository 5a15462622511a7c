// The names by which the main program's windows and instances are found: by
// the settings dialog (the wallpaper's window class), by "/stop", by a second
// start and by the installer.
#pragma once

#include "settings/store/wallpaper_notification.h"

namespace main_program {

// The screensaver's scene windows, one per monitor. Never "Direct3D Window",
// which the settings dialog takes for the wallpaper.
constexpr wchar_t kScreensaverWindowClass[] = L"SorvaneScreensaverWindow";
// The wallpaper's scene windows are of class kWallpaperWindowClass
// ("Direct3D Window"), where the settings dialog looks for them.

// A hidden top-level window per mode that takes WM_CLOSE for the whole mode
// and the session's broadcasts (end of session, display and power changes,
// a new shell).
constexpr wchar_t kScreensaverControlClass[] = L"SorvaneScreensaverControl";
constexpr wchar_t kWallpaperControlClass[] = L"SorvaneWallpaperControl";

// One instance of each mode per session: named mutexes in the session's
// namespace, held for the life of the mode.
constexpr wchar_t kScreensaverInstanceName[] = L"Local\\SorvaneScreensaverInstance";
constexpr wchar_t kWallpaperInstanceName[] = L"Local\\SorvaneWallpaperInstance";

} // namespace main_program
