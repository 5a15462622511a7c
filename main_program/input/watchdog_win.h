// The watchdog thread: it posts a heartbeat to the window thread twice a
// second and ends the process when the user gives input while that thread
// has not answered for a few seconds (a driver call that never returns).
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

namespace input {

class Watchdog {
  public:
    // Starts the thread, which posts `heartbeat` to `window` and lives until
    // the process ends.
    Watchdog(HWND window, UINT heartbeat, bool mouseMoveEnds);
    // The window thread handled a heartbeat.
    void Answered();

  private:
    struct Shared {
        std::atomic<DWORD> lastAnswer{0};
    };
    std::shared_ptr<Shared> shared_;
};

} // namespace input
