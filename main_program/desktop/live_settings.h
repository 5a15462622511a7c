// The wallpaper's settings that the settings dialog changes while it runs, and
// how one posted (code, value) changes them.
#pragma once

#include "platform/win_types.h"

namespace desktop {

// Multisample counts go no higher than Direct3D 9's largest.
constexpr int kMostSamples = 16;

struct LiveSettings {
    int musicVolume = 15; // 0..100
    bool musicEnabled = true;
    int soundsVolume = 100; // 0..100
    bool soundsEnabled = true;
    // As the stored Antialiasing: 0 off, 1 on with the best count the device
    // offers, 2..kMostSamples that count (or the nearest the device offers).
    int antialiasing = 0;
    // As the stored HighQualityGraphics and HighQualityTextures: 0 the
    // detail is chosen automatically, 1 high quality.
    int highQualityGraphics = 0;
    int highQualityTextures = 0;

    friend bool operator==(const LiveSettings& a, const LiveSettings& b) {
        return a.musicVolume == b.musicVolume && a.musicEnabled == b.musicEnabled &&
               a.soundsVolume == b.soundsVolume && a.soundsEnabled == b.soundsEnabled &&
               a.antialiasing == b.antialiasing && a.highQualityGraphics == b.highQualityGraphics &&
               a.highQualityTextures == b.highQualityTextures;
    }
};

// What one change asks of the wallpaper: nothing, or the one thing to redo.
enum class LiveEffect {
    None, // an unknown code, or the value the setting already had
    MusicVolume,
    MusicEnabled,
    SoundsVolume,
    SoundsEnabled,
    Antialiasing, // the swap chains are reset with the new count
    HighQualityGraphics,
    HighQualityTextures,
};

// Applies the settings dialog's live change `code` (its wParam) with `value`
// (its lParam): volumes clamped to 0..100, switches 0 off and anything else
// on, antialiasing 0 off, 1 or negative on, 2 or more a count; other codes
// are ignored.
LiveEffect ApplyLiveChange(LiveSettings& settings, WPARAM code, LPARAM value);

// A stored or posted antialiasing value in LiveSettings' terms.
int AntialiasingRequest(long long value);

} // namespace desktop
