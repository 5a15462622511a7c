// The live link to a running animated wallpaper: its registered message, the
// search for its window among the desktop's windows, and posting one setting.
#pragma once

#include <windows.h>

constexpr wchar_t kWallpaperMessageName[] = L"ChangeWallpaperSettingsSorvane";
constexpr wchar_t kWallpaperWindowClass[] = L"Direct3D Window";

// The message's wParam: which setting changed. Its lParam is the new value.
enum WallpaperSetting : int {
    kWallpaperHighQualityGraphics = 0,
    kWallpaperMusicVolume = 1,
    kWallpaperMusicEnabled = 2,
    kWallpaperSoundsVolume = 3,
    kWallpaperSoundsEnabled = 4,
    kWallpaperHighQualityTextures = 5,
    kWallpaperAntialiasing = 6,
};

// The order in which every setting is posted at once.
constexpr int kWallpaperNotifyAllOrder[] = {6, 1, 2, 3, 4, 0, 5};

// The program manager ("Progman"), the desktop's shell view and list view,
// and the wallpaper: a "Direct3D Window" that is top-level or a descendant
// of a top-level window. The caller sets all four to null first; what is not
// found stays null.
void FindDesktopWindows(HWND& programManager, HWND& shellView, HWND& listView, HWND& wallpaper);

class WallpaperLink {
  public:
    // Registers the message and searches for a running wallpaper once.
    void Connect();

    // Posts one setting to the wallpaper, searching again first when the kept
    // window is gone; nothing is posted while no wallpaper runs.
    void NotifyWallpaper(int code, LPARAM value);

    UINT Message() const { return message_; }
    HWND Window() const { return window_; }

  private:
    void Search();

    UINT message_ = 0;
    HWND window_ = nullptr;
};
