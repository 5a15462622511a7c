// The main program's music and sound effects as the modes see them: started
// with the settings, changed live, paused, and fed the scene's events. Every
// call returns at once; opening, decoding and the device live on the audio's
// own thread.
#pragma once

#include "main_program/scene/scene_events.h"

#include <memory>
#include <string>

namespace audio {

struct AudioSettings {
    bool musicEnabled = true;  // !DisableMusic
    int musicVolume = 15;      // 0..100
    bool soundsEnabled = true; // !DisableSound
    int soundsVolume = 100;    // 0..100
    bool usePlaylist = false;
    bool shuffle = true;
    std::wstring playList;     // the product key's PlayList text, as stored
};

class AudioEngine {
  public:
    // Nothing plays until Start.
    static std::unique_ptr<AudioEngine> Create();
    // Ends the audio thread without waiting for a file that does not open.
    virtual ~AudioEngine() = default;

    virtual void Start(const AudioSettings& settings) = 0;
    // Settings read anew (the wallpaper's watch of the product key).
    virtual void Apply(const AudioSettings& settings) = 0;
    virtual void SetMusicVolume(int volume) = 0;
    virtual void SetMusicEnabled(bool enabled) = 0;
    virtual void SetSoundsVolume(int volume) = 0;
    virtual void SetSoundsEnabled(bool enabled) = 0;
    // Paused: nothing plays and the output device is released.
    virtual void SetPaused(bool paused) = 0;
    virtual void Play(const scene::SceneEvent& event) = 0;
};

} // namespace audio
