// The main program's start: the mode its command line asks for, one
// screensaver per session.
#pragma once

namespace main_program {

// Runs the mode of `commandLine` (GetCommandLineW); returns the exit code.
int RunProgram(const wchar_t* commandLine);

} // namespace main_program
