// The volume curve.
#include "main_program/audio/volume_curve.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

// Half of full scale.
constexpr double kTopDecibels = -6.0206;
constexpr double kDecibelsPerStep = 0.2;
constexpr int kLogarithmicFrom = 10;

} // namespace

double VolumeDecibels(int percent) {
    const int clamped = std::clamp(percent, 1, 100);
    const double atOrAbove = kTopDecibels - kDecibelsPerStep * (100 - std::max(clamped, kLogarithmicFrom));
    if (clamped >= kLogarithmicFrom) return atOrAbove;
    return atOrAbove + 20.0 * std::log10(static_cast<double>(clamped) / kLogarithmicFrom);
}

float VolumeGain(int percent) {
    if (percent <= 0) return 0.0f;
    return static_cast<float>(std::pow(10.0, VolumeDecibels(percent) / 20.0));
}

} // namespace audio
