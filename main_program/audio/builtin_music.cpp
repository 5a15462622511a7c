// The built-in music's voices, chords and melody.
#include "main_program/audio/builtin_music.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

struct Chord {
    int bass;
    int tones[4];
};

// Chords of D major, as MIDI notes: D, Bm7, Gmaj7, Asus2, Em9, F#m7.
constexpr Chord kChords[] = {
    {38, {50, 57, 64, 66}}, {35, {47, 54, 62, 69}}, {43, {50, 55, 59, 66}},
    {45, {52, 57, 59, 64}}, {40, {47, 55, 62, 66}}, {42, {49, 57, 61, 64}},
};
constexpr int kChordCount = static_cast<int>(sizeof kChords / sizeof kChords[0]);
// The melody's notes: the pentatonic scale from D5 to D6.
constexpr int kMelody[] = {74, 76, 78, 81, 83, 86};
constexpr int kMelodyCount = static_cast<int>(sizeof kMelody / sizeof kMelody[0]);

constexpr int kPadSlots = 4;
constexpr int kBassSlot = kPadSlots;
constexpr float kPadAmplitude = 0.12f;
constexpr float kBassAmplitude = 0.14f;
constexpr float kBellAmplitude = 0.065f;
constexpr int kMaxBells = 4;
static_assert(kPadSlots * kPadAmplitude + kBassAmplitude + kMaxBells * kBellAmplitude <= 0.8801f,
              "the voices' amplitudes add up to more than the peak bound");

// Pads: a fundamental with a slightly detuned twin, two harmonics.
constexpr double kPadRatios[] = {1.0, 1.0035, 2.0, 3.0};
constexpr float kPadWeights[] = {0.5f, 0.25f, 0.17f, 0.08f};
constexpr double kBassRatios[] = {1.0, 2.0};
constexpr float kBassWeights[] = {0.8f, 0.2f};
// Bells: glassy partials that die away faster the higher they are.
constexpr double kBellRatios[] = {1.0, 2.0, 2.76};
constexpr float kBellWeights[] = {0.72f, 0.2f, 0.08f};
constexpr double kBellSeconds = 5.0;
constexpr double kBellAttackSeconds = 0.008;
constexpr double kBellFadeSeconds = 0.5;
constexpr double kBellDecaySeconds = 1.4;
constexpr float kPadPans[] = {0.3f, 0.7f, 0.4f, 0.6f};
constexpr float kTremoloDepth = 0.15f;

double NoteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

} // namespace

BuiltInMusic::BuiltInMusic(int sampleRate, std::uint64_t seed)
    : rate_(sampleRate), random_(seed), nextBell_(static_cast<std::uint64_t>(3.0 * sampleRate)),
      crossfadeFrames_(static_cast<std::uint64_t>(kCrossfadeSeconds * sampleRate)) {
    chord_ = static_cast<int>(random_.Below(kChordCount));
}

BuiltInMusic::Voice* BuiltInMusic::FreeVoice() {
    for (auto& voice : voices_)
        if (!voice.active) return &voice;
    return nullptr;
}

void BuiltInMusic::Pan(Voice& voice, float pan) {
    // Constant power: pan 0 is left, 1 is right.
    voice.left = TableSine(0.25 + 0.25 * pan);
    voice.right = TableSine(0.25 * pan);
}

void BuiltInMusic::StartSection() {
    if (sections_ > 0) chord_ = (chord_ + 1 + static_cast<int>(random_.Below(kChordCount - 1))) % kChordCount;
    ++sections_;
    // Each slot's sounding voice fades out exactly while its successor fades in.
    for (auto& voice : voices_) {
        if (voice.active && voice.slot >= 0 && voice.release == UINT64_MAX) {
            voice.release = frame_;
            voice.end = frame_ + crossfadeFrames_;
        }
    }
    const Chord& chord = kChords[chord_];
    for (int slot = 0; slot <= kBassSlot; ++slot) {
        Voice* voice = FreeVoice();
        if (!voice) break; // cannot happen: two voices per slot at most, plus the bells
        *voice = Voice{};
        voice->active = true;
        voice->slot = slot;
        voice->start = frame_;
        const bool bass = slot == kBassSlot;
        const double frequency = NoteFrequency(bass ? chord.bass : chord.tones[slot]);
        voice->partials = bass ? 2 : 4;
        for (int p = 0; p < voice->partials; ++p) {
            voice->step[p] = frequency * (bass ? kBassRatios[p] : kPadRatios[p]) / rate_;
            voice->amplitude[p] = (bass ? kBassAmplitude * kBassWeights[p] : kPadAmplitude * kPadWeights[p]);
            voice->phase[p] = random_.Unit();
        }
        voice->tremoloStep = random_.Between(0.05, 0.12) / rate_;
        voice->tremoloPhase = random_.Unit();
        Pan(*voice, bass ? 0.5f : kPadPans[slot]);
    }
    nextSection_ = frame_ + static_cast<std::uint64_t>(kSectionSeconds * rate_);
}

void BuiltInMusic::StartBell() {
    // Rests now and then; a longer one after a phrase.
    const double wait = random_.Unit() < 0.2 ? random_.Between(4.0, 8.0) : random_.Between(1.6, 3.6);
    nextBell_ = frame_ + static_cast<std::uint64_t>(wait * rate_);
    int bells = 0;
    for (const auto& voice : voices_)
        bells += voice.active && voice.bell ? 1 : 0;
    Voice* voice = bells < kMaxBells ? FreeVoice() : nullptr;
    if (!voice) return;

    const int move = static_cast<int>(random_.Below(5)) - 2; // -2 .. 2 steps
    melodyStep_ += move;
    if (melodyStep_ < 0) melodyStep_ = -melodyStep_;
    if (melodyStep_ >= kMelodyCount) melodyStep_ = 2 * (kMelodyCount - 1) - melodyStep_;
    const double frequency = NoteFrequency(kMelody[melodyStep_]);

    *voice = Voice{};
    voice->active = true;
    voice->bell = true;
    voice->start = frame_;
    voice->end = frame_ + static_cast<std::uint64_t>(kBellSeconds * rate_);
    voice->partials = 3;
    for (int p = 0; p < voice->partials; ++p) {
        voice->step[p] = frequency * kBellRatios[p] / rate_;
        voice->amplitude[p] = kBellAmplitude * kBellWeights[p];
        voice->level[p] = 1.0f;
        voice->decay[p] = static_cast<float>(std::exp(-(1.0 + p) / (kBellDecaySeconds * rate_)));
    }
    Pan(*voice, static_cast<float>(random_.Between(0.2, 0.8)));
}

float BuiltInMusic::Envelope(const Voice& voice, std::uint64_t frame) const {
    const double since = static_cast<double>(frame - voice.start);
    if (voice.bell) {
        const double attack = RaisedCosine(since / (kBellAttackSeconds * rate_));
        const double left = static_cast<double>(voice.end - frame);
        const double fade = RaisedCosine(left / (kBellFadeSeconds * rate_));
        return static_cast<float>(attack * fade);
    }
    const double fadeIn = RaisedCosine(since / static_cast<double>(crossfadeFrames_));
    if (frame < voice.release) return static_cast<float>(fadeIn);
    // 1 - the successor's fade-in, frame by frame: together they stay at 1.
    const double fadeOut =
        1.0 - RaisedCosine(static_cast<double>(frame - voice.release) / static_cast<double>(crossfadeFrames_));
    return static_cast<float>(std::fmin(fadeIn, fadeOut));
}

bool BuiltInMusic::Steady(const Voice& voice, std::uint64_t last) const {
    if (voice.bell)
        return frame_ >= voice.start + static_cast<std::uint64_t>(kBellAttackSeconds * rate_) + 1 &&
               last + static_cast<std::uint64_t>(kBellFadeSeconds * rate_) + 1 < voice.end;
    return frame_ >= voice.start + crossfadeFrames_ && last < voice.release;
}

void BuiltInMusic::RenderVoice(Voice& voice, float* stereo, std::size_t frames) {
    // Between its fades a voice's envelope is 1, and is not computed.
    const bool steady = Steady(voice, frame_ + frames - 1);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint64_t frame = frame_ + i;
        if (frame >= voice.end) {
            voice.active = false;
            return;
        }
        float sample = 0.0f;
        for (int p = 0; p < voice.partials; ++p) {
            float partial = voice.amplitude[p] * TableSine(voice.phase[p]);
            if (voice.bell) {
                partial *= voice.level[p];
                voice.level[p] *= voice.decay[p];
            }
            sample += partial;
            voice.phase[p] += voice.step[p];
            if (voice.phase[p] >= 1.0) voice.phase[p] -= 1.0;
        }
        if (!voice.bell) {
            sample *= 1.0f - kTremoloDepth * (0.5f - 0.5f * TableSine(voice.tremoloPhase));
            voice.tremoloPhase += voice.tremoloStep;
            if (voice.tremoloPhase >= 1.0) voice.tremoloPhase -= 1.0;
        }
        if (!steady) sample *= Envelope(voice, frame);
        stereo[2 * i] += sample * voice.left;
        stereo[2 * i + 1] += sample * voice.right;
    }
}

void BuiltInMusic::Render(float* stereo, std::size_t frames) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    std::size_t done = 0;
    while (done < frames) {
        if (frame_ == nextSection_) StartSection();
        if (frame_ == nextBell_) StartBell();
        // Up to the next chord or bell, voice by voice.
        const std::uint64_t until = std::min({frame_ + (frames - done), nextSection_, nextBell_});
        const auto count = static_cast<std::size_t>(until - frame_);
        for (auto& voice : voices_)
            if (voice.active) RenderVoice(voice, stereo + 2 * done, count);
        frame_ = until;
        done += count;
    }
}

} // namespace audio
