// The wallpaper never runs elevated: an elevated start is handed to the
// desktop's shell, which starts the program again with the user's own rights.
#pragma once

namespace desktop {

// True when this process runs elevated while the desktop's shell does not
// (so that a start through the shell would not be elevated). With no shell,
// or an elevated one, there is nothing to hand the start to.
bool ShouldHandStartToShell();

// Starts this program's own file with `arguments` through the desktop's
// shell (its folder view's automation object), with the shell's rights.
// False when the shell cannot be reached or refuses.
bool StartThroughShell(const wchar_t* arguments);

} // namespace desktop
