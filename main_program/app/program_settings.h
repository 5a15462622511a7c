// The settings as the main program uses them: read once at start from the
// product key, on top of the defaults, with the same names, kinds and rules
// as the settings dialog, into a plain record.
#pragma once

#include "main_program/audio/audio_engine.h"
#include "settings/store/settings_schema.h"

namespace main_program {

// FontScaling is held to this range: 10 is a fifth of the normal size, 400
// eight times it.
constexpr int kFontScalingMin = 10;
constexpr int kFontScalingMax = 400;
constexpr int kFontScalingNormal = 50;

// MonitorAspectRatio 4: the pixels' own shape.
constexpr int kAspectFromPixels = 4;

struct ProgramSettings {
    bool multiMonitor = true;
    int curMonitor = 0; // a monitor record's index, as the dialog counts them
    bool showBlackScreens = true;
    bool useDesktopResolution = true;
    int monitorAspectRatio = kAspectFromPixels; // 0: 5:4, 1: 4:3, 2: 16:9, 3: 16:10, 4: from the pixels
    int antialiasing = 0;                       // 0 off; 1 or negative: the dialog's count; 2 or more: a count
    bool highQualityGraphics = false;           // false: detail chosen from the frame time
    bool highQualityTextures = false;
    bool showFps = false;
    int fontScaling = kFontScalingNormal;
    bool disableOnMouseActivate = true;
    bool musicEnabled = true;
    int musicVolume = 15;
    bool soundsEnabled = true;
    int soundsVolume = 100;
    bool usePlaylist = false;
    bool shufflePlaylist = true;
};

// The record from a settings tree that holds the defaults and the stored
// values: integers through AsInt (another kind reads as 0), switches as 0 or
// not, volumes held to 0..100, MonitorAspectRatio outside 0..4 as 4,
// FontScaling held to its range.
ProgramSettings InterpretSettings(const Node& tree);

// Which of the three settings whose defaults depend on the hardware the
// product key lacks.
struct MissingHardwareSettings {
    bool textures = false;
    bool graphics = false;
    bool antialiasing = false;
    bool Any() const { return textures || graphics || antialiasing; }
};

struct SettingsAtStart {
    ProgramSettings settings; // missing hardware settings read as 0 until measured
    MissingHardwareSettings missing;
};

// Reads the product key once: the defaults with no hardware measured, the
// stored values on top.
SettingsAtStart ReadSettingsAtStart();

// The audio's settings from the record, with the PlayList value read now.
audio::AudioSettings AudioSettingsOf(const ProgramSettings& settings);

// The missing hardware settings from the front end's rules over `facts`.
void ApplyHardwareDefaults(ProgramSettings& settings, const MissingHardwareSettings& missing,
                           const HardwareFacts& facts);

} // namespace main_program
