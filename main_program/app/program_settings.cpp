// Reading the settings into the main program's record.
#include "main_program/app/program_settings.h"

#include "main_program/audio/audio_settings.h"

#include <algorithm>

namespace main_program {

namespace {

int IntOf(const Node& tree, const wchar_t* name) {
    const auto& entries = tree.GetEntries();
    const auto found = entries.find(name);
    return found == entries.end() ? 0 : found->second.AsInt();
}

bool SwitchOf(const Node& tree, const wchar_t* name) { return IntOf(tree, name) != 0; }

int Volume(const Node& tree, const wchar_t* name) { return std::clamp(IntOf(tree, name), 0, 100); }

bool Holds(const Node& stored, const wchar_t* name) {
    return stored.GetEntries().find(name) != stored.GetEntries().end();
}

} // namespace

ProgramSettings InterpretSettings(const Node& tree) {
    ProgramSettings s;
    s.multiMonitor = SwitchOf(tree, setting::kEnableMultiMonitorMode);
    s.curMonitor = IntOf(tree, setting::kCurMonitor);
    s.showBlackScreens = SwitchOf(tree, setting::kShowBlackScreens);
    s.useDesktopResolution = SwitchOf(tree, setting::kUseDesktopRes);
    const int aspect = IntOf(tree, setting::kMonitorAspectRatio);
    s.monitorAspectRatio = aspect >= 0 && aspect <= kAspectFromPixels ? aspect : kAspectFromPixels;
    s.antialiasing = IntOf(tree, setting::kAntialiasing);
    s.highQualityGraphics = SwitchOf(tree, setting::kHighQualityGraphics);
    s.highQualityTextures = SwitchOf(tree, setting::kHighQualityTextures);
    s.showFps = SwitchOf(tree, setting::kShowFPS);
    s.fontScaling = std::clamp(IntOf(tree, setting::kFontScaling), kFontScalingMin, kFontScalingMax);
    s.disableOnMouseActivate = SwitchOf(tree, setting::kDisableOnMouseActivate);
    s.musicEnabled = !SwitchOf(tree, setting::kDisableMusic);
    s.musicVolume = Volume(tree, setting::kMusicVolumePercentage);
    s.soundsEnabled = !SwitchOf(tree, setting::kDisableSound);
    s.soundsVolume = Volume(tree, setting::kSoundsVolumePercentage);
    s.usePlaylist = SwitchOf(tree, setting::kUsePlaylist);
    s.shufflePlaylist = SwitchOf(tree, setting::kShufflePlayList);
    return s;
}

audio::AudioSettings AudioSettingsOf(const ProgramSettings& settings) {
    audio::AudioSettings audio;
    audio.musicEnabled = settings.musicEnabled;
    audio.musicVolume = settings.musicVolume;
    audio.soundsEnabled = settings.soundsEnabled;
    audio.soundsVolume = settings.soundsVolume;
    audio.usePlaylist = settings.usePlaylist;
    audio.shuffle = settings.shufflePlaylist;
    audio.playList = audio::ReadPlayList();
    return audio;
}

SettingsAtStart ReadSettingsAtStart() {
    // The hardware is not measured here: a missing setting that depends on it
    // reads as 0 until it has been measured, after the first frame.
    Node tree;
    SetDefaults(tree, HardwareFacts{});
    ReadSettings(tree);
    SettingsAtStart start;
    start.settings = InterpretSettings(tree);
    Node stored;
    if (ReadSettings(stored)) {
        start.missing.textures = !Holds(stored, setting::kHighQualityTextures);
        start.missing.graphics = !Holds(stored, setting::kHighQualityGraphics);
        start.missing.antialiasing = !Holds(stored, setting::kAntialiasing);
    } else {
        start.missing = {true, true, true};
    }
    return start;
}

void ApplyHardwareDefaults(ProgramSettings& settings, const MissingHardwareSettings& missing,
                           const HardwareFacts& facts) {
    Node defaults;
    SetDefaults(defaults, facts);
    const ProgramSettings measured = InterpretSettings(defaults);
    if (missing.textures) settings.highQualityTextures = measured.highQualityTextures;
    if (missing.graphics) settings.highQualityGraphics = measured.highQualityGraphics;
    if (missing.antialiasing) settings.antialiasing = measured.antialiasing;
}

} // namespace main_program
