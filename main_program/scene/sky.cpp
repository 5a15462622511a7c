// The sky's colours and lights, from a few keyed moments of a dusk.
#include "main_program/scene/sky.h"

#include <cmath>

namespace scene {

namespace {

constexpr float kDegree = kPi / 180.0f;

// One moment of the dusk, keyed by the sun's elevation in degrees.
struct Palette {
    float elevation;
    Color zenith, horizonSun, horizonAway, glow, sunLight, ambient;
};

// From late golden hour down to the blue hour after sunset.
constexpr Palette kPalettes[] = {
    {6.0f, {0.22f, 0.36f, 0.65f}, {1.00f, 0.74f, 0.48f}, {0.62f, 0.62f, 0.72f}, {1.0f, 0.72f, 0.40f},
     {1.60f, 1.20f, 0.80f}, {0.75f, 0.74f, 0.85f}},
    {2.0f, {0.17f, 0.26f, 0.52f}, {1.00f, 0.55f, 0.26f}, {0.58f, 0.50f, 0.64f}, {1.0f, 0.52f, 0.20f},
     {1.50f, 0.80f, 0.42f}, {0.68f, 0.60f, 0.75f}},
    {-1.5f, {0.11f, 0.15f, 0.37f}, {0.96f, 0.42f, 0.22f}, {0.48f, 0.37f, 0.53f}, {0.9f, 0.35f, 0.16f},
     {0.50f, 0.20f, 0.10f}, {0.56f, 0.46f, 0.66f}},
    {-5.0f, {0.06f, 0.085f, 0.24f}, {0.70f, 0.32f, 0.26f}, {0.24f, 0.22f, 0.38f}, {0.5f, 0.2f, 0.15f},
     {0.0f, 0.0f, 0.0f}, {0.38f, 0.34f, 0.54f}},
    {-10.0f, {0.025f, 0.035f, 0.11f}, {0.28f, 0.16f, 0.24f}, {0.08f, 0.09f, 0.18f}, {0.16f, 0.06f, 0.09f},
     {0.0f, 0.0f, 0.0f}, {0.20f, 0.22f, 0.36f}},
};

Palette PaletteAt(float elevation) {
    constexpr int count = sizeof(kPalettes) / sizeof(kPalettes[0]);
    if (elevation >= kPalettes[0].elevation) return kPalettes[0];
    for (int i = 1; i < count; ++i) {
        const Palette& high = kPalettes[i - 1];
        const Palette& low = kPalettes[i];
        if (elevation >= low.elevation) {
            // Eased between keys, so the colours change without a kink.
            const float t = SmoothStep(high.elevation, low.elevation, elevation);
            return {elevation,
                    Lerp(high.zenith, low.zenith, t),
                    Lerp(high.horizonSun, low.horizonSun, t),
                    Lerp(high.horizonAway, low.horizonAway, t),
                    Lerp(high.glow, low.glow, t),
                    Lerp(high.sunLight, low.sunLight, t),
                    Lerp(high.ambient, low.ambient, t)};
        }
    }
    return kPalettes[count - 1];
}

Vec3 Direction(float azimuth, float elevation) {
    return {std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation), std::sin(elevation)};
}

} // namespace

SkyState SkyAt(double seconds, float heading) {
    // The sun sinks from golden hour to the blue hour and comes back, every ten
    // minutes; it starts a little above the horizon, going down.
    constexpr double kDayCycle = 600.0, kSunSwing = 1500.0;
    const double phase = 2.0 * 3.141592653589793 * std::fmod(seconds / kDayCycle, 1.0);
    const auto elevationDegrees = static_cast<float>(-2.0 + 8.0 * std::cos(phase + 0.973));
    const double swingPhase = 2.0 * 3.141592653589793 * std::fmod(seconds / kSunSwing, 1.0);
    const float azimuth = heading + 0.95f + 0.75f * static_cast<float>(std::sin(swingPhase + 0.3));

    const Palette p = PaletteAt(elevationDegrees);
    SkyState sky{};
    sky.sunElevation = elevationDegrees * kDegree;
    sky.sun = Direction(azimuth, sky.sunElevation);
    sky.moon = Direction(azimuth + 2.6f, (14.0f - 0.7f * elevationDegrees) * kDegree);
    sky.zenith = p.zenith;
    sky.horizonSun = p.horizonSun;
    sky.horizonAway = p.horizonAway;
    sky.glow = p.glow;
    sky.sunLight = p.sunLight;
    sky.ambient = p.ambient;
    const float dark = SmoothStep(-1.0f, -9.0f, elevationDegrees);
    sky.stars = SmoothStep(-3.0f, -9.5f, elevationDegrees);
    sky.moonShow = 0.25f + 0.75f * dark;
    sky.moonLight = Color{0.30f, 0.36f, 0.50f} * (0.75f * dark);
    return sky;
}

Color SkyColor(const SkyState& sky, Vec3 direction) {
    const float up = std::fabs(direction.z);
    const Vec3 mirrored{direction.x, direction.y, up};
    const float across = std::sqrt(direction.x * direction.x + direction.y * direction.y);
    const float sunAcross = std::sqrt(sky.sun.x * sky.sun.x + sky.sun.y * sky.sun.y);
    float towardSun = 0.5f;
    if (across > 1e-5f && sunAcross > 1e-5f)
        towardSun = 0.5f + 0.5f * (direction.x * sky.sun.x + direction.y * sky.sun.y) / (across * sunAcross);
    const Color horizon = Lerp(sky.horizonAway, sky.horizonSun, towardSun * towardSun * towardSun);
    // The horizon's band is wide near the sun and narrow away from it.
    const float band = 0.18f + 0.22f * towardSun * towardSun;
    Color c = Lerp(horizon, sky.zenith, 1.0f - std::exp(-up / band));
    const float toSun = std::max(0.0f, Dot(mirrored, sky.sun));
    const float close = toSun * toSun * toSun * toSun;
    const float glow = 0.35f * close * close + 0.55f * std::pow(toSun, 90.0f);
    c = c + sky.glow * glow;
    return c;
}

Color HazeColor(const SkyState& sky, Vec3 direction) {
    return SkyColor(sky, Normalize({direction.x, direction.y, 0.02f}));
}

Color CloudColor(const SkyState& sky, Vec3 direction) {
    const float toSun = std::max(0.0f, Dot(direction, sky.sun));
    const float forward = toSun * toSun * toSun * toSun;
    const float lit = SmoothStep(-10.0f * kDegree, -1.0f * kDegree, sky.sunElevation);
    const Color cool = Lerp(sky.horizonAway, sky.zenith, 0.4f) * 0.85f + sky.ambient * 0.2f;
    const Color warm = (sky.horizonSun * 0.8f + sky.glow * (0.9f * forward)) * (lit * (0.5f + 0.5f * forward));
    return cool + warm;
}

Color LightGround(const SkyState& sky, Color albedo, Vec3 normal) {
    const float sun = Clamp01((Dot(normal, sky.sun) + 0.2f) / 1.2f);
    const float moon = Clamp01(Dot(normal, sky.moon));
    // The sky is brightest towards the sun, even after it has set: faces
    // turned that way take more of its light, which keeps the relief legible.
    const float across = std::sqrt(sky.sun.x * sky.sun.x + sky.sun.y * sky.sun.y);
    const float towardSun = across > 0 ? (normal.x * sky.sun.x + normal.y * sky.sun.y) / across : 0.0f;
    const float skyLight = (0.45f + 0.55f * normal.z) * (1.0f + 0.45f * towardSun);
    const Color light = sky.sunLight * (sun * sun) + sky.ambient * skyLight + sky.moonLight * moon;
    return albedo * light;
}

float HazeAmount(float distance, float farDistance) {
    const float x = distance / farDistance;
    const float haze = 1.0f - std::exp(-3.2f * x * x);
    return haze + (1.0f - haze) * SmoothStep(0.82f, 0.98f, x);
}

} // namespace scene
