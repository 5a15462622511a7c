// Where the wallpaper's windows go: behind the desktop icons, in the first of
// four ways the desktop allows, and how they keep that place.
#pragma once

#include <windows.h>

namespace desktop {

enum class Placement {
    // Windows 8 to 11 23H2, and 7 with composition: a child of the worker
    // window that the program manager makes behind the icons on request.
    WallpaperWorker = 1,
    // Windows 11 24H2 on: the program manager holds the icons' view and its
    // worker; a layered child of it, between the two.
    LayeredInProgramManager = 2,
    // Windows 7 without composition: a child of the program manager.
    ProgramManagerChild = 3,
    // No shell (explorer not running, or Wine): top-level tool windows at the
    // bottom of the z-order, never on the taskbar.
    BottomMost = 4,
};

// What the debugger's output says when a placement is chosen.
const wchar_t* DescribePlacement(Placement placement);

class DesktopPlacement {
  public:
    // Tries the four ways in order (asking the program manager for its
    // wallpaper worker first) and tells the debugger which one it found.
    void Find();

    Placement Kind() const { return kind_; }
    // The window ours are children of; null for BottomMost.
    HWND Host() const { return host_; }

    // Puts `window`, one of ours, over `area` (virtual-screen pixels) in the
    // place found, shown and not activated. False when it could not go there.
    bool Place(HWND window, const RECT& area) const;

    // Top-level windows at the bottom from now on, where the shell refused
    // ours as its children.
    void UseBottomMost();

    // False once the window ours are children of has gone (its shell ended),
    // which destroyed ours with it.
    bool HostAlive() const;
    // Whether a "TaskbarCreated" broadcast means a new place: the host has
    // gone, or the program manager now belongs to another process.
    bool ShellChanged() const;

  private:
    Placement kind_ = Placement::BottomMost;
    HWND host_ = nullptr;
    HWND iconsView_ = nullptr; // LayeredInProgramManager: ours go just below it
    DWORD shellProcess_ = 0;   // the program manager's process when found
};

// The message explorer broadcasts when a new shell has made its taskbar.
UINT TaskbarCreatedMessage();

// Lets every process of the session post `message` to `window` (user32's
// ChangeWindowMessageFilterEx, looked up by name). False where the system
// has no such filter or refuses.
bool AcceptFromAnyProcess(HWND window, UINT message);

// For the procedure of a wallpaper window: keeps a top-level one at the
// bottom of the z-order and every one of them from being activated by a
// click. True when the message was handled, with its result.
bool HandlePlacementMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Puts a top-level wallpaper window back at the bottom when a window of
// another process went below it.
void KeepAtBottom(HWND window);

} // namespace desktop
