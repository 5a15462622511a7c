// Modes not built yet: each returns at once. Removed as each mode lands.
#include "startup/run_modes_win.h"

void ShowSettingsDialog(HWND) {}
