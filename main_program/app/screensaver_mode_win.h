// The screensaver: a window per monitor (scene or black), the render loop,
// and the rules that end it on input.
#pragma once

#include "main_program/app/program_settings.h"
#include "main_program/app/test_tuning.h"

namespace main_program {

// Runs the screensaver until input, a close or the end of the session ends
// it. Returns the process's exit code (0).
int RunScreensaverMode(const SettingsAtStart& start, const TestTuning& tuning);

} // namespace main_program
