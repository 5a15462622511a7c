// The main program's command line: which mode a start asks for.
#pragma once

#include <string>

namespace main_program {

enum class ProgramMode {
    Screensaver,   // no arguments, as the screensaver's launcher starts it, or anything unknown
    Wallpaper,     // "/w", from the start-up entry
    StopWallpaper, // "/stop": closes the session's running wallpaper
};

// The mode of a whole command line as GetCommandLineW gives it: the program's
// path (quoted or not), then the switch. Switches are compared without regard
// to case and may start with '-' as well as '/'.
ProgramMode ParseProgramMode(const std::wstring& commandLine);

} // namespace main_program
