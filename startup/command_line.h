// The screensaver switches on the command line, turned into one run mode.
#pragma once

#include <cstdint>

enum class RunMode : std::int32_t {
    Configure = 0,
    Preview = 1,
    Run = 2,
    Exit = 3,
    ChangePassword = 4,
};

struct CommandLine {
    RunMode mode = RunMode::Configure;
    std::int32_t window = 0; // a window handle written in decimal; 0 when none
};

// Parses the whole command line as the system reports it, program name
// included. Never fails: text without a switch marker means Configure, an
// unknown switch letter means Run.
CommandLine ParseSwitches(const wchar_t* text);
