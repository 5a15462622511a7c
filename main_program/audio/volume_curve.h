// The volume settings' curve: a percentage from 0 to 100 as a gain.
//
//   0             silence
//   1 .. 9        the gain at 10, scaled down in proportion (p / 10)
//   10 .. 100     -6.02 dB (one half) at 100, falling by 0.2 dB per step:
//                 -23.02 dB at 15, -16.02 dB at 50, -24.02 dB at 10
//
// Full scale comes in at one half at most, so that music and effects, both
// at 100, add up to no more than full scale.
#pragma once

namespace audio {

// Out-of-range percentages are clamped to 0..100.
float VolumeGain(int percent);

// The gain in decibels for a percentage above 0.
double VolumeDecibels(int percent);

} // namespace audio
