// The entry point's dispatch to one run mode, and the modes it starts.
#pragma once

#include <windows.h>

// Runs the mode that the command line asks for; always returns 0.
int RunScreensaver(HINSTANCE instance, const wchar_t* commandLine);

// The modes, each in the file that owns it.
void LaunchMainProgram();                 // startup/launcher_win.cpp
int RunPreview(HWND parent);              // startup/preview_window_win.cpp
// Starts the dialog's hardware probes, then runs the dialog. True when a probe
// has not answered by the time the dialog ends: the process must then end
// without waiting for it.
bool ShowSettingsDialog(HWND owner);      // settings/dialogs/settings_dialog_win.cpp
