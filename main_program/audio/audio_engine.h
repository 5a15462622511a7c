// The main program's music and sound effects as the modes see them: started
// with the settings, changed live, paused, and fed the scene's events. Every
// call returns at once; opening, decoding and the device live on the audio's
// own thread.
#pragma once

#include "main_program/scene/scene_events.h"

#include <cstdint>
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

// What plays, for the program's test state and the tests.
struct AudioStatus {
    bool deviceOpen = false;        // the output device is held
    int sampleRate = 0;             // the device's, while open
    std::uint64_t framesPlayed = 0; // handed to a device since Start
    double latencyMs = 0.0;         // from handing a frame over to hearing it
    float musicGain = 0.0f;         // as mixed now, ramps included
    float soundsGain = 0.0f;
    enum class Music { Nothing, BuiltIn, PlayList, Midi } music = Music::Nothing;
    std::wstring entry;               // the playlist entry playing
    const char* decoder = "";         // its decoder: "Media Foundation", "Vorbis", "FLAC", "MIDI"
    std::uint32_t entriesStarted = 0; // playlist entries that began to play
    std::uint32_t entriesSkipped = 0; // ... that were missing or failed
    std::uint32_t effectsStarted = 0;
    std::uint64_t musicBuffered = 0; // decoded playlist frames waiting for the device
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
    virtual AudioStatus Status() const = 0;
};

} // namespace audio
