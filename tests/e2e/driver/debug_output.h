// What programs write with OutputDebugString, received the way a debug
// monitor receives it (the DBWIN_BUFFER protocol): for tests of what a
// program says when it cannot go on.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Receives every program's debug output while it lives; one at a time.
class DebugOutputMonitor {
  public:
    DebugOutputMonitor();
    ~DebugOutputMonitor();
    DebugOutputMonitor(const DebugOutputMonitor&) = delete;
    DebugOutputMonitor& operator=(const DebugOutputMonitor&) = delete;

    // Whether the monitor could be set up (another may hold its names).
    bool Listening() const;
    // The lines received from process `processId` so far, in order.
    std::vector<std::string> From(DWORD processId) const;
    // Waits until a line from `processId` contains `text`; true when one did
    // within `milliseconds`.
    bool WaitFor(DWORD processId, const std::string& text, DWORD milliseconds) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace e2e
