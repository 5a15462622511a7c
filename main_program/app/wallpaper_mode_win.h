// The animated wallpaper ("/w"): the scene behind the desktop icons on the
// monitors the settings choose, paused while nobody can see it, changed live
// by the settings dialog and again whenever the product key changes.
#pragma once

#include "main_program/app/program_settings.h"
#include "main_program/app/test_tuning.h"

namespace main_program {

// "/w": one wallpaper per session, never elevated (an elevated start is
// handed to the desktop's shell). Returns the exit code (0).
int RunWallpaper();

// Runs the wallpaper until it is closed, stopped or the session ends.
int RunWallpaperMode(const SettingsAtStart& start, const TestTuning& tuning);

// "/stop": closes the session's running wallpaper and waits a while for it.
int StopWallpaper();

} // namespace main_program
