// Synthesis of the sound effects.
#include "main_program/audio/sound_effects.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

constexpr double kMakeWaySeconds = 0.012;

double LengthSeconds(scene::SceneEventKind kind) {
    switch (kind) {
    case scene::SceneEventKind::LightRises:
        return 1.0;
    case scene::SceneEventKind::LightPasses:
        return 1.4;
    case scene::SceneEventKind::ShootingStar:
        return 0.9;
    case scene::SceneEventKind::WaterRipple:
        return 0.8;
    }
    return 1.0;
}

float Loudness(scene::SceneEventKind kind) {
    switch (kind) {
    case scene::SceneEventKind::LightRises:
        return 0.5f;
    case scene::SceneEventKind::LightPasses:
        return 0.55f;
    case scene::SceneEventKind::ShootingStar:
        return 0.4f;
    case scene::SceneEventKind::WaterRipple:
        return 0.6f;
    }
    return 0.5f;
}

// Starts and ends without a corner: a raised-cosine rise over `attack`
// seconds and fall over the last `release` seconds of `length`.
float Edges(double t, double length, double attack, double release) {
    return RaisedCosine(t / attack) * RaisedCosine((length - t) / release);
}

} // namespace

SoundEffects::SoundEffects(int sampleRate, std::uint64_t seed) : rate_(sampleRate), random_(seed) {}

void SoundEffects::Trigger(const scene::SceneEvent& event) {
    const float strength = std::clamp(event.strength, 0.0f, 1.0f);
    if (strength <= 0.0f) return;
    std::size_t live = 0;
    Voice* oldest = nullptr;
    Voice* free = nullptr;
    for (auto& voice : voices_) {
        if (!voice.active) {
            if (!free) free = &voice;
            continue;
        }
        if (voice.fadeFrom != UINT64_MAX) continue;
        ++live;
        if (!oldest || voice.serial < oldest->serial) oldest = &voice;
    }
    if (!free) return; // a burst: every slot still sounds or fades
    if (live >= kMaxLive && oldest) oldest->fadeFrom = oldest->frame;

    Voice& voice = *free;
    voice = Voice{};
    voice.active = true;
    voice.kind = event.kind;
    voice.amplitude = Loudness(event.kind) * strength;
    voice.pan = 0.5f + 0.5f * std::clamp(event.pan, -1.0f, 1.0f);
    voice.length = static_cast<std::uint64_t>(LengthSeconds(event.kind) * rate_);
    voice.serial = ++serial_;
    voice.noise = Random(random_.Next());
    // Glides and decays as factors per frame, not powers per frame.
    const double perFrame = 1.0 / (LengthSeconds(event.kind) * rate_);
    switch (event.kind) {
    case scene::SceneEventKind::LightRises:
        voice.frequency = 420.0;
        voice.glide = std::pow(2.0, 1.1 * perFrame);
        break;
    case scene::SceneEventKind::ShootingStar:
        voice.frequency = 2400.0;
        voice.glide = std::pow(2.0, -perFrame);
        voice.decay = static_cast<float>(std::exp(-1.0 / (0.3 * rate_)));
        break;
    case scene::SceneEventKind::WaterRipple:
        voice.decay = static_cast<float>(std::exp(-1.0 / (0.07 * rate_)));
        break;
    case scene::SceneEventKind::LightPasses:
        break;
    }
}

float SoundEffects::Sample(Voice& voice, double seconds) const {
    const double t = seconds;
    const double length = LengthSeconds(voice.kind);
    switch (voice.kind) {
    case scene::SceneEventKind::LightRises: {
        // A chime gliding up a little over an octave.
        voice.phase += voice.frequency / rate_;
        voice.frequency *= voice.glide;
        const float tone = 0.8f * TableSine(voice.phase) + 0.2f * TableSine(2.0 * voice.phase);
        return tone * Edges(t, length, 0.03, 0.6);
    }
    case scene::SceneEventKind::LightPasses: {
        // Noise through a band-pass whose centre rises and falls as the light
        // passes, under a soft hum.
        const float rise = TableSine(0.5 * t / length);
        const double centre = 350.0 + 1300.0 * static_cast<double>(rise * rise);
        const float tune = 2.0f * TableSine(0.5 * centre / rate_);
        const auto input = static_cast<float>(voice.noise.Between(-1.0, 1.0));
        voice.low += tune * voice.band;
        const float high = input - voice.low - 0.7f * voice.band;
        voice.band += tune * high;
        voice.phase += centre * 0.25 / rate_;
        const float sound = std::clamp(0.6f * voice.band, -0.8f, 0.8f) + 0.2f * TableSine(voice.phase);
        return sound * Edges(t, length, 0.5, 0.7);
    }
    case scene::SceneEventKind::ShootingStar: {
        // A high tone falling an octave, shimmering, dying away.
        voice.phase += voice.frequency / rate_;
        voice.frequency *= voice.glide;
        voice.level *= voice.decay;
        const float shimmer = 0.75f + 0.25f * TableSine(28.0 * t);
        return TableSine(voice.phase) * shimmer * voice.level * Edges(t, length, 0.005, 0.15);
    }
    case scene::SceneEventKind::WaterRipple: {
        // Three drops, each a short upward glide, quieter each time.
        static const double kDrops[] = {0.0, 0.14, 0.31};
        static const float kDropLevels[] = {1.0f, 0.5f, 0.25f};
        float sum = 0.0f;
        for (std::size_t d = 0; d < 3; ++d) {
            const double since = t - kDrops[d];
            if (since < 0.0 || since > 0.4) continue;
            // The glide's phase in closed form: 300 Hz rising to 700 Hz over 50 ms.
            const double glide = std::min(since, 0.05);
            const double cycles = 300.0 * glide + 4000.0 * glide * glide + 700.0 * (since - glide);
            sum += kDropLevels[d] * TableSine(cycles) * voice.drops[d] * Edges(since, 0.4, 0.003, 0.1);
            voice.drops[d] *= voice.decay;
        }
        return sum * Edges(t, length, 0.001, 0.05);
    }
    }
    return 0.0f;
}

void SoundEffects::Mix(float* stereo, std::size_t frames) {
    const auto makeWay = static_cast<double>(kMakeWaySeconds * rate_);
    for (auto& voice : voices_) {
        if (!voice.active) continue;
        const float left = voice.amplitude * TableSine(0.25 + 0.25 * voice.pan);
        const float right = voice.amplitude * TableSine(0.25 * voice.pan);
        // The whoosh travels across as the light passes.
        const bool travels = voice.kind == scene::SceneEventKind::LightPasses;
        for (std::size_t i = 0; i < frames; ++i, ++voice.frame) {
            if (voice.frame >= voice.length ||
                (voice.fadeFrom != UINT64_MAX && static_cast<double>(voice.frame - voice.fadeFrom) >= makeWay)) {
                voice.active = false;
                break;
            }
            float sample = Sample(voice, static_cast<double>(voice.frame) / rate_);
            if (voice.fadeFrom != UINT64_MAX)
                sample *= 1.0f - RaisedCosine(static_cast<double>(voice.frame - voice.fadeFrom) / makeWay);
            float l = left;
            float r = right;
            if (travels) {
                const double pan = std::clamp(
                    voice.pan - 0.3 + 0.6 * static_cast<double>(voice.frame) / static_cast<double>(voice.length), 0.0, 1.0);
                l = voice.amplitude * TableSine(0.25 + 0.25 * pan);
                r = voice.amplitude * TableSine(0.25 * pan);
            }
            stereo[2 * i] += sample * l;
            stereo[2 * i + 1] += sample * r;
        }
    }
}

std::size_t SoundEffects::Sounding() const {
    return static_cast<std::size_t>(std::count_if(voices_.begin(), voices_.end(), [](const Voice& v) { return v.active; }));
}

void SoundEffects::Clear() {
    for (auto& voice : voices_)
        voice.active = false;
}

} // namespace audio
