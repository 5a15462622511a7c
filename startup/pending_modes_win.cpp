// Modes not built yet: each returns at once. Removed as each mode lands.
#include "startup/run_modes_win.h"

int RunPreview(HWND) { return 0; }
void ShowSettingsDialog(HWND) {}
