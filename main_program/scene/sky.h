// The sky over time: where the sun and the moon stand, the colours of the
// sky in every direction, the haze that distant ground fades into, and the
// light that falls on the ground.
#pragma once

#include "main_program/scene/scene_math.h"

#include <cstdint>

namespace scene {

struct SkyState {
    Vec3 sun;            // unit vector towards the sun (may be below the horizon)
    Vec3 moon;           // towards the moon
    float sunElevation;  // radians
    Color zenith;        // overhead
    Color horizonSun;    // at the horizon below the sun
    Color horizonAway;   // at the horizon opposite the sun
    Color glow;          // the brightening around the sun
    Color sunLight;      // direct light from the sun (black once it has set)
    Color moonLight;     // direct light from the moon
    Color ambient;       // light from the whole sky onto an upward face
    float stars;         // 0..1: how much of the starlight shows
    float moonShow;      // 0..1: how much the moon shows against the sky
};

// The sky `seconds` after the start; `heading` is the flight's mean direction
// (radians from +x), which the sun's path keeps ahead of or beside.
SkyState SkyAt(double seconds, float heading);

// The light coming from `direction` (unit vector). Below the horizon this is
// the sky mirrored, as calm water shows it.
Color SkyColor(const SkyState& sky, Vec3 direction);
// What the ground at the far end of `direction` fades into: the sky just
// above the horizon in that direction.
Color HazeColor(const SkyState& sky, Vec3 direction);

// The colour of the underside of a cloud seen in `direction`: lit warm by the
// sun near it, and for a while after sunset from below the horizon.
Color CloudColor(const SkyState& sky, Vec3 direction);

// The colour of ground of colour `albedo` facing `normal`, lit by the sky.
Color LightGround(const SkyState& sky, Color albedo, Vec3 normal);

// How far distant things fade: 0 near, 1 at the far end of the view.
float HazeAmount(float distance, float farDistance);

} // namespace scene
