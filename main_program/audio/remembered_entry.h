// The playlist entry that plays next, remembered per user between runs so
// that each run does not begin with the same song.
#pragma once

#include <string>

namespace audio {

// HKEY_CURRENT_USER\Software\Quenvale\Sorvane 3D Screensaver, value
// "NextPlayListEntry" (REG_SZ). Empty when none is remembered.
std::wstring ReadRememberedEntry();
void RememberEntry(const std::wstring& path);

} // namespace audio
