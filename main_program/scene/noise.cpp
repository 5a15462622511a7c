// Hashing and gradient noise.
#include "main_program/scene/noise.h"

#include <cmath>

namespace scene {

namespace {

std::uint32_t Mix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

// Eight unit gradients around the circle.
constexpr float kGradients[8][2] = {{1.0f, 0.0f},       {0.7071068f, 0.7071068f},   {0.0f, 1.0f},
                                    {-0.7071068f, 0.7071068f}, {-1.0f, 0.0f},        {-0.7071068f, -0.7071068f},
                                    {0.0f, -1.0f},      {0.7071068f, -0.7071068f}};

inline float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

inline std::int64_t Wrap(std::int64_t v, std::int64_t period) {
    if (period <= 0) return v;
    const std::int64_t r = v % period;
    return r < 0 ? r + period : r;
}

inline float Corner(std::int64_t x, std::int64_t y, std::uint32_t seed, float dx, float dy) {
    const float* g = kGradients[Hash(x, y, seed) & 7u];
    return g[0] * dx + g[1] * dy;
}

} // namespace

std::uint32_t Hash(std::int64_t x, std::int64_t y, std::uint32_t seed) {
    const auto lowX = static_cast<std::uint32_t>(x), highX = static_cast<std::uint32_t>(static_cast<std::uint64_t>(x) >> 32);
    const auto lowY = static_cast<std::uint32_t>(y), highY = static_cast<std::uint32_t>(static_cast<std::uint64_t>(y) >> 32);
    std::uint32_t h = Mix(lowY * 0xd8163841u + seed * 0x9e3779b9u);
    if (highX | highY) h = Mix(h ^ highX * 0xcb1ab31fu ^ highY * 0x2c1b3c6du);
    return Mix(h + lowX * 0x8da6b343u);
}

std::uint32_t Hash(std::uint32_t value, std::uint32_t seed) { return Mix(Mix(seed ^ 0x68e31da4u) ^ value * 0x9e3779b1u); }

float GradientNoise(double x, double y, std::uint32_t seed, std::int64_t period) {
    return GradientNoise(x, y, seed, period, period);
}

float GradientNoise(double x, double y, std::uint32_t seed, std::int64_t periodX, std::int64_t periodY) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const auto dx = static_cast<float>(x - fx), dy = static_cast<float>(y - fy);
    const std::int64_t x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
    const std::int64_t y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
    const float n00 = Corner(x0, y0, seed, dx, dy), n10 = Corner(x1, y0, seed, dx - 1, dy);
    const float n01 = Corner(x0, y1, seed, dx, dy - 1), n11 = Corner(x1, y1, seed, dx - 1, dy - 1);
    const float u = Fade(dx), v = Fade(dy);
    const float a = n00 + (n10 - n00) * u, b = n01 + (n11 - n01) * u;
    // The largest value of this noise is 1/sqrt(2); scaled to about -1..1.
    return (a + (b - a) * v) * 1.4142136f;
}

float Fractal(double x, double y, int octaves, std::uint32_t seed, float gain) {
    float sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * GradientNoise(x, y, seed + static_cast<std::uint32_t>(i) * 1013u);
        total += amplitude;
        amplitude *= gain;
        // Twice the frequency, turned by the angle of a 3-4-5 triangle.
        const double nx = 1.6 * x - 1.2 * y + 17.31, ny = 1.2 * x + 1.6 * y - 9.73;
        x = nx;
        y = ny;
    }
    return sum / total;
}

float PeriodicFractal(double x, double y, int octaves, std::uint32_t seed, std::int64_t period, float gain) {
    return PeriodicFractal(x, y, octaves, seed, period, period, gain);
}

float PeriodicFractal(double x, double y, int octaves, std::uint32_t seed, std::int64_t periodX, std::int64_t periodY,
                      float gain) {
    float sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * GradientNoise(x, y, seed + static_cast<std::uint32_t>(i) * 1013u, periodX, periodY);
        total += amplitude;
        amplitude *= gain;
        x *= 2;
        y *= 2;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / total;
}

} // namespace scene
