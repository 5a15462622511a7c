// The built-in music: a calm piece made up as it plays, without end. Slow
// chords of soft pads over a low drone change every few seconds, crossfading
// so that the sum of each voice's old and new chord tone stays level, while a
// quiet bell-like melody wanders over them.
#pragma once

#include "main_program/audio/oscillator.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace audio {

class BuiltInMusic {
  public:
    BuiltInMusic(int sampleRate, std::uint64_t seed);

    // The next `frames` stereo frames, written over `stereo`. The output does
    // not depend on how it is split into calls.
    void Render(float* stereo, std::size_t frames);

    // No sample ever exceeds this: the sum of the voices' largest amplitudes
    // (each voice's partials add up to 1, its envelopes and pan to at most 1,
    // and a chord tone's fading and rising voices together to 1).
    static constexpr float kPeakBound = 0.88f;
    // No partial sounds above this frequency, in hertz.
    static constexpr double kHighestFrequency = 3600.0;
    static constexpr double kSectionSeconds = 12.0;
    static constexpr double kCrossfadeSeconds = 4.0;

    // Chords begun so far.
    std::uint64_t Sections() const { return sections_; }

  private:
    static constexpr int kMaxPartials = 4;
    static constexpr std::size_t kVoices = 16;

    struct Voice {
        bool active = false;
        bool bell = false;
        int partials = 0;
        std::array<double, kMaxPartials> phase{};
        std::array<double, kMaxPartials> step{};
        std::array<float, kMaxPartials> amplitude{};
        std::array<float, kMaxPartials> decay{}; // per frame, bells only
        std::array<float, kMaxPartials> level{};
        float left = 0.0f;
        float right = 0.0f;
        double tremoloPhase = 0.0;
        double tremoloStep = 0.0;
        int slot = -1; // a chord tone's voice: its slot
        std::uint64_t start = 0;
        std::uint64_t release = UINT64_MAX; // a chord tone's fade-out begins here
        std::uint64_t end = UINT64_MAX;
    };

    void StartSection();
    void StartBell();
    Voice* FreeVoice();
    float Envelope(const Voice& voice, std::uint64_t frame) const;
    // Whether the voice's envelope is 1 from frame_ to `last`.
    bool Steady(const Voice& voice, std::uint64_t last) const;
    void RenderVoice(Voice& voice, float* stereo, std::size_t frames);
    static void Pan(Voice& voice, float pan);

    int rate_;
    Random random_;
    std::array<Voice, kVoices> voices_{};
    std::uint64_t frame_ = 0;
    std::uint64_t nextSection_ = 0;
    std::uint64_t nextBell_;
    std::uint64_t crossfadeFrames_;
    std::uint64_t sections_ = 0;
    int chord_ = 0;
    int melodyStep_ = 2;
};

} // namespace audio
