// The sound effects of the scene's events, synthesised as they sound: a
// rising chime, a passing whoosh, a falling sparkle and water drops. A few
// sound at once; the oldest makes way for a new one with a short fade.
#pragma once

#include "main_program/audio/oscillator.h"
#include "main_program/scene/scene_events.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace audio {

class SoundEffects {
  public:
    SoundEffects(int sampleRate, std::uint64_t seed);

    void Trigger(const scene::SceneEvent& event);
    // Adds the sounding effects to `stereo`.
    void Mix(float* stereo, std::size_t frames);
    // Effects still sounding, fading ones included.
    std::size_t Sounding() const;
    // Everything stops at once (when nothing is heard any more anyway).
    void Clear();

    static constexpr std::size_t kMaxLive = 6;

  private:
    static constexpr std::size_t kSlots = kMaxLive + 4;

    struct Voice {
        bool active = false;
        scene::SceneEventKind kind = scene::SceneEventKind::LightRises;
        float amplitude = 0.0f;
        float pan = 0.5f; // 0 left .. 1 right
        std::uint64_t frame = 0;
        std::uint64_t length = 0;
        std::uint64_t serial = 0;
        std::uint64_t fadeFrom = UINT64_MAX; // made way for a newer one: fades out from here
        double phase = 0.0;
        double frequency = 0.0; // of a glide, times `glide` each frame
        double glide = 1.0;
        float level = 1.0f; // of a decay, times `decay` each frame
        float decay = 1.0f;
        std::array<float, 3> drops{1.0f, 1.0f, 1.0f}; // each drop's decay
        // The whoosh's noise and its band-pass filter.
        Random noise{0};
        float low = 0.0f;
        float band = 0.0f;
    };

    float Sample(Voice& voice, double seconds) const;

    int rate_;
    Random random_;
    std::array<Voice, kSlots> voices_{};
    std::uint64_t serial_ = 0;
};

} // namespace audio
