// The landscape's shape and colours.
#include "main_program/scene/terrain.h"

#include "main_program/scene/noise.h"

#include <cmath>

namespace scene {

namespace {

// A fractal sum normalised by all its octaves, with the sum of the first
// `broadOctaves` alone (normalised the same way) as well.
struct SplitSum {
    float full = 0, broad = 0;
};
SplitSum SplitFractal(double x, double y, int octaves, int broadOctaves, std::uint32_t seed, float gain) {
    float sum = 0, amplitude = 1, total = 0, broad = 0;
    for (int i = 0; i < octaves; ++i) {
        if (i == broadOctaves) broad = sum;
        sum += amplitude * GradientNoise(x, y, seed + static_cast<std::uint32_t>(i) * 1013u);
        total += amplitude;
        amplitude *= gain;
        const double nx = 1.6 * x - 1.2 * y + 17.31, ny = 1.2 * x + 1.6 * y - 9.73;
        x = nx;
        y = ny;
    }
    if (broadOctaves >= octaves) broad = sum;
    return {sum / total, broad / total};
}

// Softens the ground near the water's edge into shallow shores and beaches,
// keeping the height's order and its smoothness.
float Shore(float h) {
    const float u = (h - 1.0f) / 3.5f;
    return h - 0.6f * (h - 1.0f) * std::exp(-u * u);
}

} // namespace

Terrain::Terrain(std::uint32_t seed) : seed_(seed) {}

TerrainHeights Terrain::Heights(double x, double y) const {
    // Kilometres, bent by a slow warp so that nothing lines up with the lattice.
    const double u0 = x * 0.001, v0 = y * 0.001;
    const double u = u0 + 0.30 * Fractal(u0 * 0.55, v0 * 0.55, 2, seed_ + 11u);
    const double v = v0 + 0.30 * Fractal(u0 * 0.55 + 5.2, v0 * 0.55 + 1.3, 2, seed_ + 23u);

    // Regions some twenty kilometres across: highlands, lake country, open water.
    const float region = Fractal(u0 * 0.05, v0 * 0.05, 2, seed_ + 5u);
    const float land = Fractal(u * 0.32, v * 0.32, 3, seed_ + 37u, 0.45f);
    const SplitSum hills = SplitFractal(u * 1.6, v * 1.6, 7, 2, seed_ + 53u, 0.48f);
    const SplitSum crest = SplitFractal(u * 0.75, v * 0.75, 5, 2, seed_ + 71u, 0.45f);
    const float mountains = SmoothStep(0.0f, 0.55f, 0.8f * region + 0.5f * land);

    auto shape = [&](float hillsValue, float crestValue) {
        const float ridge = 1.0f - std::fabs(crestValue);
        const float h = 6.0f + 20.0f * region + 70.0f * land + 28.0f * hillsValue +
                        200.0f * mountains * (ridge * ridge - 0.3f);
        return Shore(h);
    };
    return {shape(hills.full, crest.full), shape(hills.broad, crest.broad)};
}

float Terrain::Woodland(double x, double y) const {
    const float n = Fractal(x * 0.004, y * 0.004, 4, seed_ + 97u, 0.55f);
    return SmoothStep(-0.15f, 0.25f, n);
}

Color GroundColor(float height, float level, float woodland) {
    const Color sand{0.55f, 0.47f, 0.34f}, meadow{0.27f, 0.33f, 0.14f}, wood{0.10f, 0.17f, 0.09f};
    const Color rock{0.33f, 0.29f, 0.26f}, snow{0.85f, 0.87f, 0.92f}, mud{0.20f, 0.19f, 0.15f};
    Color c = Lerp(meadow, wood, woodland * SmoothStep(4.0f, 12.0f, height) * (1.0f - SmoothStep(150.0f, 190.0f, height)));
    c = Lerp(c, sand, 1.0f - SmoothStep(1.2f, 3.0f, height));
    c = Lerp(c, mud, 1.0f - SmoothStep(-4.0f, -0.5f, height));
    c = Lerp(c, rock, 1.0f - SmoothStep(0.72f, 0.86f, level));
    c = Lerp(c, snow, SmoothStep(175.0f, 215.0f, height) * SmoothStep(0.70f, 0.85f, level));
    return c;
}

} // namespace scene
