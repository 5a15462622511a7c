// The table sine, the raised-cosine fade and the random source.
#include "main_program/audio/oscillator.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace audio {

namespace {

constexpr int kTableSize = 4096;

const std::array<float, kTableSize + 1>& SineTable() {
    static const std::array<float, kTableSize + 1> table = [] {
        std::array<float, kTableSize + 1> values{};
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<float>(std::sin(2.0 * 3.14159265358979323846 * static_cast<double>(i) / kTableSize));
        return values;
    }();
    return table;
}

} // namespace

float TableSine(double cycles) {
    const auto& table = SineTable();
    // Oscillators keep their phase within one cycle: no floor needed.
    const double whole = cycles >= 0.0 && cycles < 1.0 ? cycles : cycles - std::floor(cycles);
    const double position = whole * kTableSize;
    // A value just below a whole cycle can round up to the table's end.
    const auto index = std::min(static_cast<std::size_t>(position), static_cast<std::size_t>(kTableSize - 1));
    const auto fraction = static_cast<float>(position - static_cast<double>(index));
    return table[index] + fraction * (table[index + 1] - table[index]);
}

float RaisedCosine(double fraction) {
    if (fraction <= 0.0) return 0.0f;
    if (fraction >= 1.0) return 1.0f;
    return 0.5f - 0.5f * TableSine(0.25 + 0.5 * fraction);
}

std::uint64_t Random::Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace audio
