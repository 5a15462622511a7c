// Choosing and running the main program's mode.
#include "main_program/app/program_run_win.h"

#include "main_program/app/command_line.h"
#include "main_program/app/program_names.h"
#include "main_program/app/screensaver_mode_win.h"
#include "main_program/app/wallpaper_mode_win.h"
#include "platform/com_objects_win.h"
#include "platform/debug_output_win.h"
#include "platform/delayed_imports_win.h"

#include <windows.h>

namespace main_program {

namespace {

int RunScreensaver() {
    // Held until the process ends: a second start finds it and ends at once.
    const platform::ScopedHandle instance(CreateMutexW(nullptr, FALSE, kScreensaverInstanceName));
    if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
        platform::DebugLine(L"a screensaver runs already in this session");
        return 0;
    }
    const TestTuning tuning = ReadTestTuning();
    return RunScreensaverMode(ReadSettingsAtStart(), tuning);
}

} // namespace

int RunProgram(const wchar_t* commandLine) {
    const ProgramMode mode = ParseProgramMode(commandLine ? commandLine : L"");
    // The delay-loaded libraries a mode always calls are resolved before it
    // begins, so that a system without one of their functions ends the
    // program here, with a line naming it, rather than in the middle of a
    // frame. What only some paths call (COM for the hardware measurement and
    // the elevated start) is resolved where that path begins; Direct3D and
    // the audio's libraries are loaded by name, and a missing one is a black
    // screen or silence.
    if (mode == ProgramMode::StopWallpaper) {
        platform::RequireDelayedImports({L"user32.dll"});
    } else {
        platform::RequireDelayedImports({L"user32.dll", L"gdi32.dll"});
    }
    switch (mode) {
    case ProgramMode::Wallpaper:
        return RunWallpaper();
    case ProgramMode::StopWallpaper:
        return StopWallpaper();
    case ProgramMode::Screensaver:
        return RunScreensaver();
    }
    return 0;
}

} // namespace main_program
