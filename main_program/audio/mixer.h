// The mix that goes to the device: the music (the built-in piece or the
// playlist's decoded frames) and the sound effects, each at its gain, every
// change of gain or source ramped so that nothing clicks, and a soft limit
// just below full scale.
#pragma once

#include "main_program/audio/builtin_music.h"
#include "main_program/audio/frame_ring.h"
#include "main_program/audio/sound_effects.h"
#include "main_program/scene/scene_events.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

// Where the music comes from.
enum class MusicSource { None, BuiltIn, PlayList, Midi };

// What the other threads tell the mixer; it reads them at every block.
struct MixControls {
    std::atomic<float> musicGain{0.0f};
    std::atomic<float> soundsGain{0.0f};
    std::atomic<MusicSource> source{MusicSource::None};
};

class Mixer {
  public:
    // A gain moves at most this far per second (from 0 to full in 20 ms).
    static constexpr float kGainPerSecond = 50.0f;
    // The built-in piece and the playlist cross over this long.
    static constexpr double kSourceFadeSeconds = 0.5;
    // The limit starts bending here; no output sample reaches 1.
    static constexpr float kLimitKnee = 0.9f;

    Mixer(MixControls& controls, FrameRing& playlist, std::uint64_t seed);

    // The device's rate; a new rate starts the built-in piece and the
    // effects anew. Called on the output thread.
    void SetSampleRate(int rate);
    int SampleRate() const { return rate_; }

    // From any thread: an effect to start at the next block. Dropped while
    // too many wait.
    void Trigger(const scene::SceneEvent& event);

    // The next `frames` stereo frames. Called on the output thread.
    void Render(float* stereo, std::size_t frames);

    // Gains as mixed now, and effects started (any thread).
    float MusicGainNow() const { return musicGainNow_.load(std::memory_order_relaxed); }
    float SoundsGainNow() const { return soundsGainNow_.load(std::memory_order_relaxed); }
    std::uint32_t EffectsStarted() const { return effectsStarted_.load(std::memory_order_relaxed); }

  private:
    void RenderMusic(float* stereo, std::size_t frames);

    MixControls& controls_;
    FrameRing& playlist_;
    std::uint64_t seed_;
    int rate_ = 0;
    std::unique_ptr<BuiltInMusic> builtIn_;
    std::unique_ptr<SoundEffects> effects_;
    float musicGain_ = 0.0f;
    float soundsGain_ = 0.0f;
    float builtInLevel_ = 0.0f; // the crossing between the two music sources
    float playlistLevel_ = 0.0f;
    std::vector<float> music_;
    std::mutex pendingMutex_;
    std::vector<scene::SceneEvent> pending_;
    std::vector<scene::SceneEvent> starting_;
    std::atomic<float> musicGainNow_{0.0f};
    std::atomic<float> soundsGainNow_{0.0f};
    std::atomic<std::uint32_t> effectsStarted_{0};
};

} // namespace audio
