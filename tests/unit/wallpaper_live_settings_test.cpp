// The wallpaper's live changes: what each posted (code, value) does to its
// settings, in the order the settings dialog posts them.
#include "main_program/desktop/live_settings.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using desktop::LiveEffect;
using desktop::LiveSettings;

// The setting a code names, as a number (switches as 0 or 1).
long long SettingOf(const LiveSettings& s, WPARAM code) {
    switch (code) {
    case 0: return s.highQualityGraphics;
    case 1: return s.musicVolume;
    case 2: return s.musicEnabled;
    case 3: return s.soundsVolume;
    case 4: return s.soundsEnabled;
    case 5: return s.highQualityTextures;
    case 6: return s.antialiasing;
    default: return -1;
    }
}

struct Expected {
    WPARAM code;
    LPARAM value;
    LiveEffect effect;
    long long setting; // the named setting afterwards
    const char* what;
};

// Posted one after the other to a wallpaper that started with the defaults.
const Expected kSequence[] = {
    {1, 40, LiveEffect::MusicVolume, 40, "music volume moves"},
    {1, 40, LiveEffect::None, 40, "the same position again changes nothing"},
    {1, 101, LiveEffect::MusicVolume, 100, "above 100 clamps"},
    {1, -1, LiveEffect::MusicVolume, 0, "below 0 clamps"},
    {1, 1LL << 40, LiveEffect::MusicVolume, 100, "a value beyond 32 bits clamps, not wraps"},
    {3, 7, LiveEffect::SoundsVolume, 7, "sound volume moves"},
    {3, 250, LiveEffect::SoundsVolume, 100, "sound volume clamps"},
    {2, 0, LiveEffect::MusicEnabled, 0, "music off"},
    {2, 0, LiveEffect::None, 0, "music off again"},
    {2, 1, LiveEffect::MusicEnabled, 1, "music on"},
    {4, 0, LiveEffect::SoundsEnabled, 0, "sounds off"},
    {4, 5, LiveEffect::SoundsEnabled, 1, "any value but 0 is on"},
    {6, 4, LiveEffect::Antialiasing, 4, "a count"},
    {6, 0, LiveEffect::Antialiasing, 0, "antialiasing off"},
    {6, 1, LiveEffect::Antialiasing, 1, "on, the best count"},
    {6, -3, LiveEffect::None, 1, "negative is on, as 1 is"},
    {6, 2, LiveEffect::Antialiasing, 2, "the smallest count"},
    {6, 64, LiveEffect::Antialiasing, 16, "more samples than Direct3D 9 has"},
    {0, 1, LiveEffect::HighQualityGraphics, 1, "high-quality graphics"},
    {0, 0, LiveEffect::HighQualityGraphics, 0, "automatic detail, what the dialog sends"},
    {5, 3, LiveEffect::HighQualityTextures, 1, "high-quality textures"},
    {5, 0, LiveEffect::HighQualityTextures, 0, "automatic texture detail"},
    {7, 1, LiveEffect::None, -1, "code 7 is ignored"},
    {static_cast<WPARAM>(-1), 1, LiveEffect::None, -1, "a huge code is ignored"},
};

TEST(WallpaperLiveChanges, EachPostChangesItsSettingAsTheTableSays) {
    LiveSettings settings;
    for (const Expected& row : kSequence) {
        const LiveSettings before = settings;
        EXPECT_EQ(desktop::ApplyLiveChange(settings, row.code, row.value), row.effect) << row.what;
        EXPECT_EQ(SettingOf(settings, row.code), row.setting) << row.what;
        // Nothing else moves.
        for (WPARAM other = 0; other <= 6; ++other) {
            if (other == row.code) continue;
            EXPECT_EQ(SettingOf(settings, other), SettingOf(before, other)) << row.what;
        }
    }
}

TEST(WallpaperLiveChanges, CancelsPostsOfTheStoredValuesRestoreTheStartingState) {
    LiveSettings stored;
    stored.musicVolume = 60;
    stored.soundsEnabled = false;
    stored.antialiasing = 8;
    LiveSettings live = stored;
    desktop::ApplyLiveChange(live, 1, 5);
    desktop::ApplyLiveChange(live, 4, 1);
    desktop::ApplyLiveChange(live, 6, 0);
    desktop::ApplyLiveChange(live, 0, 1);
    ASSERT_FALSE(live == stored);
    // The dialog's Cancel, in its order 6, 1, 2, 3, 4, 0, 5.
    const std::pair<WPARAM, LPARAM> cancel[] = {{6, 8}, {1, 60}, {2, 1}, {3, 100}, {4, 0}, {0, 0}, {5, 0}};
    for (const auto& [code, value] : cancel) desktop::ApplyLiveChange(live, code, value);
    EXPECT_TRUE(live == stored);
}

} // namespace
