// The main program's entry point.
#include "main_program/app/program_run_win.h"

#include "platform/library_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::RestrictLibrarySearchToSystemFolder();
    return main_program::RunProgram(GetCommandLineW());
}
