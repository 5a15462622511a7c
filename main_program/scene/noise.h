// Deterministic hashing and gradient noise: the source of every generated
// shape in the scene, from the landscape to the textures.
#pragma once

#include <cstdint>

namespace scene {

// A well-mixed 32-bit value for a lattice point and a seed.
std::uint32_t Hash(std::int64_t x, std::int64_t y, std::uint32_t seed);
std::uint32_t Hash(std::uint32_t value, std::uint32_t seed);
// A hash mapped to 0..1.
inline float Unit(std::uint32_t hash) { return static_cast<float>(hash >> 8) * (1.0f / 16777216.0f); }

// Gradient noise, about -1..1, continuous with continuous first and second
// derivatives. With a period, the lattice wraps every `period` units in both
// directions, so that a texture made of it tiles.
float GradientNoise(double x, double y, std::uint32_t seed, std::int64_t period = 0);
float GradientNoise(double x, double y, std::uint32_t seed, std::int64_t periodX, std::int64_t periodY);

// Fractal sums of octaves, each twice the frequency and `gain` the amplitude
// of the one before, normalised to about -1..1. The plain sum turns every
// octave a little against the last to hide the lattice; the periodic one
// cannot, and keeps the period (doubled with each octave).
float Fractal(double x, double y, int octaves, std::uint32_t seed, float gain = 0.5f);
float PeriodicFractal(double x, double y, int octaves, std::uint32_t seed, std::int64_t period, float gain = 0.5f);
float PeriodicFractal(double x, double y, int octaves, std::uint32_t seed, std::int64_t periodX, std::int64_t periodY,
                      float gain);

} // namespace scene
