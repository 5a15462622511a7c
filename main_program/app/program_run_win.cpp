// Choosing and running the main program's mode.
#include "main_program/app/program_run_win.h"

#include "main_program/app/command_line.h"
#include "main_program/app/program_names.h"
#include "main_program/app/screensaver_mode_win.h"
#include "main_program/app/wallpaper_mode_win.h"
#include "platform/com_objects_win.h"
#include "platform/debug_output_win.h"

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
    switch (ParseProgramMode(commandLine ? commandLine : L"")) {
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
