// The antialiasing list of the settings dialog: the multisample counts that
// the Direct3D 11 hardware device supports.
#pragma once

#include <windows.h>

#include <vector>

// The sample counts from 2 to 31 for which the default hardware device
// reports quality levels for R8G8B8A8_UNORM, ascending; empty when Direct3D 11
// is missing or no hardware device can be made.
std::vector<int> SupportedSampleCounts();

// Empties the sorted combo box `list` and adds "<n>x" for each count with n
// as item data. An entry is selected when n is `wantedSamples` or when it
// lands at the top of the list; the list keeps a selection when an entry is
// inserted above it.
void FillAntialiasingList(HWND list, int wantedSamples, const std::vector<int>& sampleCounts);

// The sample count of the selected entry; 0 (antialiasing off) when nothing
// is selected, as in an empty list, never the list's error result.
int SelectedSampleCount(HWND list);

// What the antialiasing controls stand for, stored on OK and posted as code 6:
// 0 while the box is unchecked; the selected entry's count while the list has
// entries; else, with no count to choose from, the stored value when it is a
// positive one, and 1, the "on" flag of the hardware default, when none is
// stored (or a negative one, which earlier front ends stored for "on").
int AntialiasingValue(bool checked, HWND list, int stored);
