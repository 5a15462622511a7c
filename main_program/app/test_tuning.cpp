// Reading the test tuning.
#include "main_program/app/test_tuning.h"

#include <cstdlib>

namespace main_program {

namespace {

std::uint64_t Positive(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::strtoull(text.c_str(), nullptr, 10);
}

} // namespace

TestTuning ParseTestTuning(const std::function<std::string(const char*)>& variable) {
    TestTuning tuning;
    tuning.maxRenderSide = static_cast<std::uint32_t>(Positive(variable("SORVANE_TEST_MAX_RENDER")));
    tuning.frameRateCap = static_cast<double>(Positive(variable("SORVANE_TEST_FPS")));
    tuning.loseDeviceAtFrame = Positive(variable("SORVANE_TEST_LOSE_DEVICE"));
    tuning.stallAtFrame = Positive(variable("SORVANE_TEST_STALL"));
    tuning.plainDirect3D9 = Positive(variable("SORVANE_TEST_PLAIN_D3D9")) != 0;
    return tuning;
}

} // namespace main_program
