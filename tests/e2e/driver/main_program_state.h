// The main program's state as it publishes it through its test seam
// (main_program/app/test_state.h): a shared-memory block made here and named
// to the programs started after it through SORVANE_TEST_STATE.
#pragma once

#include "main_program/app/test_state.h"

#include <windows.h>

#include <functional>
#include <optional>

namespace e2e {

class MainProgramState {
public:
    // Makes the block and names it in this process's environment, so that
    // every program started from now on publishes there.
    MainProgramState();
    // Takes the name out of the environment again.
    ~MainProgramState();
    MainProgramState(const MainProgramState&) = delete;
    MainProgramState& operator=(const MainProgramState&) = delete;

    bool Valid() const { return view_ != nullptr; }
    // Forgets what a program wrote, before the next one starts.
    void Clear();
    // A consistent copy of what the program wrote last; nothing before it
    // has written anything.
    std::optional<main_program::TestState> Read() const;
    // Polls until `condition` holds for a copy; that copy, or nothing after `milliseconds`.
    std::optional<main_program::TestState> WaitFor(const std::function<bool(const main_program::TestState&)>& condition,
                                                   DWORD milliseconds) const;

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

} // namespace e2e
