// The screensaver's entry point.
#include "startup/run_modes_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunScreensaver(instance, GetCommandLineW()); }
