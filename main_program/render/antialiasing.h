// The multisample count a device is set up with, from the Antialiasing setting
// and the counts Direct3D 9 supports on that device.
#pragma once

#include <vector>

namespace render {

// 0: off. 1 or negative: the count the settings dialog selects for "on"
// (the top of its sorted list). 2 or more: that count where supported, else
// the highest supported below it. 0 when nothing of 2 or more fits.
// `supported` lists counts from 2 up.
int ChooseSampleCount(int setting, const std::vector<int>& supported);

} // namespace render
