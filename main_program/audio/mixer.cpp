// Mixing the music and the effects.
#include "main_program/audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

constexpr std::size_t kMaxPendingEffects = 16;

// Moves `value` toward `target` by at most `step`.
float Toward(float value, float target, float step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

// Identity up to the knee, then bending smoothly toward 1 without reaching it.
float Limit(float x) {
    const float magnitude = std::fabs(x);
    if (magnitude <= Mixer::kLimitKnee) return x;
    const float room = 1.0f - Mixer::kLimitKnee;
    const float bent = Mixer::kLimitKnee + room * std::tanh((magnitude - Mixer::kLimitKnee) / room);
    return std::min(bent, 0.99997f) * (x < 0.0f ? -1.0f : 1.0f);
}

} // namespace

Mixer::Mixer(MixControls& controls, FrameRing& playlist, std::uint64_t seed)
    : controls_(controls), playlist_(playlist), seed_(seed) {}

void Mixer::SetSampleRate(int rate) {
    if (rate == rate_) return;
    rate_ = rate;
    builtIn_.reset();
    builtInLevel_ = 0.0f;
    effects_ = std::make_unique<SoundEffects>(rate, seed_ ^ 0x5EEDull);
}

void Mixer::Trigger(const scene::SceneEvent& event) {
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    if (pending_.size() < kMaxPendingEffects) pending_.push_back(event);
}

void Mixer::RenderMusic(float* stereo, std::size_t frames) {
    const MusicSource source = controls_.source.load(std::memory_order_relaxed);
    const float builtInTarget = source == MusicSource::BuiltIn ? 1.0f : 0.0f;
    const float playlistTarget = source == MusicSource::PlayList ? 1.0f : 0.0f;
    const auto sourceStep = static_cast<float>(1.0 / (kSourceFadeSeconds * rate_));

    const bool builtInSounds = builtInLevel_ > 0.0f || builtInTarget > 0.0f;
    const bool playlistSounds = playlistLevel_ > 0.0f || playlistTarget > 0.0f;
    music_.assign(4 * frames, 0.0f);
    float* builtIn = music_.data();
    float* playlist = music_.data() + 2 * frames;
    if (builtInSounds) {
        if (!builtIn_) builtIn_ = std::make_unique<BuiltInMusic>(rate_, seed_++);
        builtIn_->Render(builtIn, frames);
    }
    if (playlistSounds) playlist_.Read(playlist, frames); // short of frames: silence

    for (std::size_t i = 0; i < frames; ++i) {
        builtInLevel_ = Toward(builtInLevel_, builtInTarget, sourceStep);
        playlistLevel_ = Toward(playlistLevel_, playlistTarget, sourceStep);
        stereo[2 * i] = builtInLevel_ * builtIn[2 * i] + playlistLevel_ * playlist[2 * i];
        stereo[2 * i + 1] = builtInLevel_ * builtIn[2 * i + 1] + playlistLevel_ * playlist[2 * i + 1];
    }
    // Silent now: the piece starts afresh, with its own fade-in, next time.
    if (builtInLevel_ == 0.0f) builtIn_.reset();
}

void Mixer::Render(float* stereo, std::size_t frames) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    if (rate_ <= 0) return;
    const float musicTarget = controls_.musicGain.load(std::memory_order_relaxed);
    const float soundsTarget = controls_.soundsGain.load(std::memory_order_relaxed);
    const float gainStep = kGainPerSecond / static_cast<float>(rate_);

    // Effects asked for meanwhile; the render loop that asks never waits
    // for this thread, and this thread never waits for it.
    starting_.clear();
    {
        std::unique_lock<std::mutex> lock(pendingMutex_, std::try_to_lock);
        if (lock.owns_lock()) starting_.swap(pending_);
    }
    if (soundsTarget > 0.0f) {
        for (const auto& event : starting_) {
            effects_->Trigger(event);
            effectsStarted_.fetch_add(1, std::memory_order_relaxed);
        }
    }

    if (musicTarget > 0.0f || musicGain_ > 0.0f) {
        RenderMusic(stereo, frames);
        for (std::size_t i = 0; i < frames; ++i) {
            musicGain_ = Toward(musicGain_, musicTarget, gainStep);
            stereo[2 * i] *= musicGain_;
            stereo[2 * i + 1] *= musicGain_;
        }
    }

    if (soundsTarget > 0.0f || soundsGain_ > 0.0f) {
        music_.assign(2 * frames, 0.0f);
        effects_->Mix(music_.data(), frames);
        for (std::size_t i = 0; i < frames; ++i) {
            soundsGain_ = Toward(soundsGain_, soundsTarget, gainStep);
            stereo[2 * i] += soundsGain_ * music_[2 * i];
            stereo[2 * i + 1] += soundsGain_ * music_[2 * i + 1];
        }
    } else {
        effects_->Clear();
    }

    for (std::size_t i = 0; i < 2 * frames; ++i)
        stereo[i] = Limit(stereo[i]);
    musicGainNow_.store(musicGain_, std::memory_order_relaxed);
    soundsGainNow_.store(soundsGain_, std::memory_order_relaxed);
}

} // namespace audio
