// The screensaver's entry point.
#include "startup/run_modes_win.h"

#include "platform/library_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::RestrictLibrarySearchToSystemFolder();
    return RunScreensaver(instance, GetCommandLineW());
}
