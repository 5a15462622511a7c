// The entry point's dispatch to one run mode, and the modes it starts.
#pragma once

#include <windows.h>

// Runs the mode that the command line asks for; always returns 0.
int RunScreensaver(HINSTANCE instance, const wchar_t* commandLine);

// The modes, each in the file that owns it.
void LaunchMainProgram();                 // startup/launcher_win.cpp
int RunPreview(HWND parent);              // startup/preview_window_win.cpp
