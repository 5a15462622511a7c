// Small pieces of synthesis shared by the built-in music and the effects: a
// table sine, a raised-cosine fade and a seeded random source.
#pragma once

#include <cstdint>

namespace audio {

// sin(2 pi cycles) for any cycles >= 0, from a table with linear
// interpolation (error below 1e-6).
float TableSine(double cycles);

// 0 at 0, 1 at 1, a half cosine in between: a fade without corners.
float RaisedCosine(double fraction);

// splitmix64: small, fast, and the same on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [low, high).
    double Between(double low, double high) { return low + (high - low) * Unit(); }
    // Uniform in 0 .. count - 1.
    unsigned Below(unsigned count) { return static_cast<unsigned>(Unit() * count); }

  private:
    std::uint64_t state_;
};

} // namespace audio
