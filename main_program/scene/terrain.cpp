// The landscape's shape and colours.
#include "main_program/scene/terrain.h"

#include "main_program/scene/noise.h"

#include <cmath>

namespace scene {

namespace {

// Softens the ground near the water's edge into shallow shores and beaches,
// keeping the height's order and its smoothness.
float Shore(float h) {
    const float u = (h - 1.0f) / 3.5f;
    return h - 0.45f * (h - 1.0f) * std::exp(-u * u);
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
    const float hills = Fractal(u * 1.6, v * 1.6, 7, seed_ + 53u, 0.48f);
    const float ridge = 1.0f - std::fabs(Fractal(u * 0.75, v * 0.75, 5, seed_ + 71u, 0.45f));
    const float mountains = SmoothStep(-0.1f, 0.5f, 0.8f * region + 0.5f * land);

    const float ground = Shore(-1.0f + 20.0f * region + 70.0f * land + 40.0f * hills +
                               200.0f * mountains * (ridge * ridge - 0.3f));
    TerrainHeights heights{ground, 0.0f};

    // Woods in patches a few hundred metres across, on ground neither wet nor
    // high, their canopy rounded in crowns.
    const float patches = Fractal(x * 0.004, y * 0.004, 4, seed_ + 97u, 0.55f);
    const float wood = SmoothStep(-0.1f, 0.25f, patches) * SmoothStep(3.0f, 9.0f, ground) *
                       (1.0f - SmoothStep(130.0f, 175.0f, ground));
    if (wood > 0.0f) {
        const float crowns = 0.5f + 0.5f * Fractal(x * 0.09, y * 0.09, 2, seed_ + 131u, 0.5f);
        heights.height += wood * kCanopy * (0.6f + 0.4f * crowns);
    }
    heights.woodland = wood;
    return heights;
}

Color GroundColor(float height, float level, float woodland) {
    const Color sand{0.56f, 0.49f, 0.37f}, meadow{0.35f, 0.39f, 0.18f}, wood{0.08f, 0.14f, 0.08f};
    const Color rock{0.40f, 0.36f, 0.32f}, snow{0.85f, 0.87f, 0.92f}, mud{0.22f, 0.21f, 0.17f};
    Color c = Lerp(meadow, wood, woodland);
    c = Lerp(c, sand, 1.0f - SmoothStep(0.6f, 2.0f, height));
    c = Lerp(c, mud, 1.0f - SmoothStep(-4.0f, -0.5f, height));
    c = Lerp(c, rock, (1.0f - SmoothStep(0.72f, 0.86f, level)) * (1.0f - woodland));
    c = Lerp(c, snow, SmoothStep(175.0f, 215.0f, height) * SmoothStep(0.70f, 0.85f, level));
    return c;
}

} // namespace scene
