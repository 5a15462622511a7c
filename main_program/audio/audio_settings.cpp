// Reading the audio's settings.
#include "main_program/audio/audio_settings.h"

#include "platform/registry_access.h"
#include "settings/store/settings_schema.h"

#include <algorithm>

namespace audio {

namespace {

// A value stored in another kind reads as 0, as everywhere else.
int IntOr(const Node& tree, const wchar_t* name, int fallback) {
    const auto entry = tree.GetEntries().find(name);
    return entry == tree.GetEntries().end() ? fallback : entry->second.AsInt();
}

} // namespace

AudioSettings AudioSettingsFrom(const Node& tree, const std::wstring& playList) {
    const AudioSettings defaults;
    AudioSettings settings;
    settings.musicEnabled = IntOr(tree, setting::kDisableMusic, 0) == 0;
    settings.musicVolume = std::clamp(IntOr(tree, setting::kMusicVolumePercentage, defaults.musicVolume), 0, 100);
    settings.soundsEnabled = IntOr(tree, setting::kDisableSound, 0) == 0;
    settings.soundsVolume = std::clamp(IntOr(tree, setting::kSoundsVolumePercentage, defaults.soundsVolume), 0, 100);
    settings.usePlaylist = IntOr(tree, setting::kUsePlaylist, 0) != 0;
    settings.shuffle = IntOr(tree, setting::kShufflePlayList, 1) != 0;
    settings.playList = playList;
    return settings;
}

std::wstring ReadPlayList() {
    std::wstring playList;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", playList, true);
    return playList;
}

AudioSettings ReadAudioSettings() {
    Node tree;
    ReadSettings(tree);
    return AudioSettingsFrom(tree, ReadPlayList());
}

} // namespace audio
