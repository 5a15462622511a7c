// The antialiasing list's texts and their order.
#include "settings/store/sample_count_list.h"

#include <algorithm>

std::wstring SampleCountText(int samples) { return std::to_wstring(samples) + L"x"; }

int SampleCountAtTopOfList(const std::vector<int>& counts) {
    if (counts.empty()) return 0;
    // Digits and "x" sort alike in every collation the list may use.
    return *std::min_element(counts.begin(), counts.end(),
                             [](int a, int b) { return SampleCountText(a) < SampleCountText(b); });
}
