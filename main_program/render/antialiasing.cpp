// Choosing the multisample count.
#include "main_program/render/antialiasing.h"

#include "settings/store/sample_count_list.h"

namespace render {

int ChooseSampleCount(int setting, const std::vector<int>& supported) {
    if (setting == 0) return 0;
    if (setting < 2) return SampleCountAtTopOfList(supported);
    int best = 0;
    for (int count : supported)
        if (count >= 2 && count <= setting && count > best) best = count;
    return best;
}

} // namespace render
