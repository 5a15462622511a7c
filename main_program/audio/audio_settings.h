// The audio's settings as the product key holds them: the switches and
// volumes of the settings tree (their defaults where the key has none) and
// the PlayList value.
#pragma once

#include "main_program/audio/audio_engine.h"
#include "settings/store/settings_tree.h"

#include <string>

namespace audio {

// From a settings tree read from the product key; volumes clamped to 0..100.
AudioSettings AudioSettingsFrom(const Node& tree, const std::wstring& playList);

// Reads the product key and its PlayList value now.
AudioSettings ReadAudioSettings();

// The PlayList value of the product key; empty when it is missing.
std::wstring ReadPlayList();

} // namespace audio
