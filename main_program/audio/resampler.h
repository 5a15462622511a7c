// Decoded audio brought to the output's form: any number of channels folded
// to stereo, and any sample rate converted to the output's.
#pragma once

#include <cstddef>
#include <vector>

namespace audio {

// Appends `frames` frames of `channels` interleaved channels to `stereo` as
// stereo frames. Mono plays on both sides; three to eight channels (in the
// WAVE order, each count in its usual layout) are folded down, the
// low-frequency channel left out, without exceeding the loudest input.
void FoldToStereo(const float* samples, std::size_t frames, int channels, std::vector<float>& stereo);

// Sample-rate conversion of stereo frames by a windowed-sinc filter whose
// cut-off lies below the lower of the two rates' Nyquist frequencies.
class Resampler {
  public:
    Resampler() = default;
    // Starts anew from `inputRate` to `outputRate`; history is forgotten.
    void Reset(int inputRate, int outputRate);
    // Converts `frames` stereo frames and appends the result to `output`.
    void Process(const float* stereo, std::size_t frames, std::vector<float>& output);

    static constexpr std::size_t kHalfTaps = 8;

  private:
    int inputRate_ = 0;
    int outputRate_ = 0;
    // The next output frame lies at history frame `frame_` plus
    // `fraction_` / outputRate_: exact, so that the output does not depend
    // on how the input is split.
    std::size_t frame_ = 0;
    long long fraction_ = 0;
    std::vector<float> history_;
    std::vector<float> table_; // the filter at kPhases + 1 fractional offsets
};

} // namespace audio
