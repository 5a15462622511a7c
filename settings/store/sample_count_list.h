// The antialiasing list's texts and order: the settings dialog shows each
// multisample count as "<n>x" in a sorted list, whose top entry is what a
// stored Antialiasing of 1 (on, no count) stands for.
#pragma once

#include <string>
#include <vector>

// The list's text for `samples`: "4x".
std::wstring SampleCountText(int samples);

// The count whose text a sorted list puts at the top ("16x" before "2x");
// 0 when `counts` is empty.
int SampleCountAtTopOfList(const std::vector<int>& counts);
