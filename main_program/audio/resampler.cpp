// Folding channels to stereo and converting sample rates.
#include "main_program/audio/resampler.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

constexpr std::size_t kPhases = 256;
constexpr double kPi = 3.14159265358979323846;
constexpr float kSideGain = 0.7071f;

} // namespace

void FoldToStereo(const float* samples, std::size_t frames, int channels, std::vector<float>& stereo) {
    const std::size_t start = stereo.size();
    stereo.resize(start + 2 * frames);
    float* out = stereo.data() + start;
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i)
            out[2 * i] = out[2 * i + 1] = samples[i];
        return;
    }
    if (channels == 2) {
        std::copy(samples, samples + 2 * frames, out);
        return;
    }
    // Left and right gains of the channels of the usual layout of each count,
    // in the WAVE order: 3 L R C; 4 L R BL BR; 5 L R C BL BR; 6 L R C LFE
    // BL BR; 7 L R C LFE BC SL SR; 8 L R C LFE BL BR SL SR.
    static const float kLeft[][8] = {
        {1, 0, kSideGain},
        {1, 0, kSideGain, 0},
        {1, 0, kSideGain, kSideGain, 0},
        {1, 0, kSideGain, 0, kSideGain, 0},
        {1, 0, kSideGain, 0, 0.5f, kSideGain, 0},
        {1, 0, kSideGain, 0, kSideGain, 0, kSideGain, 0},
    };
    static const float kRight[][8] = {
        {0, 1, kSideGain},
        {0, 1, 0, kSideGain},
        {0, 1, kSideGain, 0, kSideGain},
        {0, 1, kSideGain, 0, 0, kSideGain},
        {0, 1, kSideGain, 0, 0.5f, 0, kSideGain},
        {0, 1, kSideGain, 0, 0, kSideGain, 0, kSideGain},
    };
    const int used = std::min(channels, 8);
    const float* leftGains = kLeft[used - 3];
    const float* rightGains = kRight[used - 3];
    float leftSum = 0.0f;
    float rightSum = 0.0f;
    for (int c = 0; c < used; ++c) {
        leftSum += leftGains[c];
        rightSum += rightGains[c];
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float* frame = samples + i * static_cast<std::size_t>(channels);
        float left = 0.0f;
        float right = 0.0f;
        for (int c = 0; c < used; ++c) {
            left += leftGains[c] * frame[c];
            right += rightGains[c] * frame[c];
        }
        out[2 * i] = left / leftSum;
        out[2 * i + 1] = right / rightSum;
    }
}

void Resampler::Reset(int inputRate, int outputRate) {
    inputRate_ = inputRate;
    outputRate_ = outputRate;
    // Silence before the first frame, which the first output frame meets.
    history_.assign(2 * (kHalfTaps - 1), 0.0f);
    frame_ = kHalfTaps - 1;
    fraction_ = 0;
    table_.assign((kPhases + 1) * 2 * kHalfTaps, 0.0f);
    // Cut-off at 0.45 of the lower rate, relative to the input rate.
    const double cutoff = 0.45 * std::min(1.0, static_cast<double>(outputRate) / inputRate);
    for (std::size_t phase = 0; phase <= kPhases; ++phase) {
        const double fraction = static_cast<double>(phase) / kPhases;
        float* row = &table_[phase * 2 * kHalfTaps];
        double sum = 0.0;
        for (std::size_t k = 0; k < 2 * kHalfTaps; ++k) {
            // The distance from the output point.
            const double x = static_cast<double>(k) - static_cast<double>(kHalfTaps - 1) - fraction;
            const double sinc = x == 0.0 ? 1.0 : std::sin(2.0 * kPi * cutoff * x) / (2.0 * kPi * cutoff * x);
            const double w = x / static_cast<double>(kHalfTaps);
            // Blackman window over -kHalfTaps..kHalfTaps.
            const double window =
                std::abs(w) >= 1.0 ? 0.0 : 0.42 + 0.5 * std::cos(kPi * w) + 0.08 * std::cos(2.0 * kPi * w);
            row[k] = static_cast<float>(sinc * window);
            sum += row[k];
        }
        // A constant passes unchanged at every phase.
        for (std::size_t k = 0; k < 2 * kHalfTaps; ++k)
            row[k] = static_cast<float>(row[k] / sum);
    }
}

void Resampler::Process(const float* stereo, std::size_t frames, std::vector<float>& output) {
    if (inputRate_ == outputRate_) {
        output.insert(output.end(), stereo, stereo + 2 * frames);
        return;
    }
    history_.insert(history_.end(), stereo, stereo + 2 * frames);
    const std::size_t available = history_.size() / 2;
    // An output frame at frame_ needs input frames frame_ - 7 .. frame_ + 8.
    while (frame_ + kHalfTaps < available) {
        const double scaled = static_cast<double>(fraction_) * kPhases / outputRate_;
        const auto phase = static_cast<std::size_t>(scaled);
        const auto blend = static_cast<float>(scaled - static_cast<double>(phase));
        const float* lower = &table_[phase * 2 * kHalfTaps];
        const float* upper = lower + 2 * kHalfTaps;
        const float* input = &history_[2 * (frame_ + 1 - kHalfTaps)];
        float left = 0.0f;
        float right = 0.0f;
        for (std::size_t k = 0; k < 2 * kHalfTaps; ++k) {
            const float tap = lower[k] + blend * (upper[k] - lower[k]);
            left += tap * input[2 * k];
            right += tap * input[2 * k + 1];
        }
        output.push_back(left);
        output.push_back(right);
        fraction_ += inputRate_;
        frame_ += static_cast<std::size_t>(fraction_ / outputRate_);
        fraction_ %= outputRate_;
    }
    // Keep what the next output frames still need.
    const std::size_t keepFrom = std::min(frame_ + 1 - kHalfTaps, available);
    history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(2 * keepFrom));
    frame_ -= keepFrom;
}

} // namespace audio
