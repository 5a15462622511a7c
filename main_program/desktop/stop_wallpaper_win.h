// "/stop": closing the wallpaper that runs in this session.
#pragma once

#include <windows.h>

namespace desktop {

// Asks every running wallpaper of the session (its control window) to close
// and waits up to `timeoutMs` for their processes to end. Returns how many
// were asked; their ending is not waited for beyond the time-out.
int StopRunningWallpaper(DWORD timeoutMs);

} // namespace desktop
