// The live changes of the settings dialog applied to the wallpaper's settings.
#include "main_program/desktop/live_settings.h"

#include <algorithm>

namespace desktop {
namespace {

int Volume(long long value) { return static_cast<int>(std::clamp(value, 0LL, 100LL)); }

template <typename T> LiveEffect Set(T& field, T value, LiveEffect effect) {
    if (field == value) return LiveEffect::None;
    field = value;
    return effect;
}

} // namespace

int AntialiasingRequest(long long value) {
    if (value == 0) return 0;
    if (value < 0) return 1;
    return static_cast<int>(std::min<long long>(value, kMostSamples));
}

LiveEffect ApplyLiveChange(LiveSettings& settings, WPARAM code, LPARAM value) {
    const auto number = static_cast<long long>(value);
    switch (code) {
    case 0:
        return Set(settings.highQualityGraphics, number != 0 ? 1 : 0, LiveEffect::HighQualityGraphics);
    case 1:
        return Set(settings.musicVolume, Volume(number), LiveEffect::MusicVolume);
    case 2:
        return Set(settings.musicEnabled, number != 0, LiveEffect::MusicEnabled);
    case 3:
        return Set(settings.soundsVolume, Volume(number), LiveEffect::SoundsVolume);
    case 4:
        return Set(settings.soundsEnabled, number != 0, LiveEffect::SoundsEnabled);
    case 5:
        return Set(settings.highQualityTextures, number != 0 ? 1 : 0, LiveEffect::HighQualityTextures);
    case 6:
        return Set(settings.antialiasing, AntialiasingRequest(number), LiveEffect::Antialiasing);
    default:
        return LiveEffect::None;
    }
}

} // namespace desktop
