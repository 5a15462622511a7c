// What comes and goes in the scene, as functions of time: lanterns that rise
// from the ground and the water and drift on the wind, shooting stars, and
// rings spreading where something touches the water.
#pragma once

#include "main_program/scene/flight.h"
#include "main_program/scene/scene_math.h"
#include "main_program/scene/terrain.h"

#include <cstdint>
#include <map>
#include <vector>

namespace scene {

struct Lantern {
    std::int64_t id = 0;
    DVec3 position;
    Color color;
    float glow = 0;     // 0..1: lit, flickering, faded in at launch and out at the end
    double age = 0;     // seconds since launch
    bool overWater = false;
};

struct ShootingStar {
    std::int64_t id = 0;
    Vec3 start, end;    // unit directions on the sky
    float progress = 0; // 0..1 along its path
    float brightness = 0;
};

struct Ripple {
    std::int64_t id = 0;
    DVec3 centre;       // on the water
    double start = 0;
    float age = 0;      // seconds
    bool heard = false; // one the scene reports, not a lantern's launch
};

class Happenings {
  public:
    Happenings(std::uint32_t seed, const Terrain& terrain, const Flight& flight);

    void LanternsAt(double seconds, std::vector<Lantern>& out);
    // Shooting stars show only once the sky is dark enough for the stars.
    void ShootingStarsAt(double seconds, std::vector<ShootingStar>& out) const;
    // The ripples spreading at `seconds`: the scene's own, and those of
    // lanterns launched from the water.
    void RipplesAt(double seconds, std::vector<Ripple>& out);
    // The scene's own ripple `index`, if it falls on the water.
    bool RippleOf(std::int64_t index, Ripple& out);

    // When things start, for the events.
    static constexpr double kLanternInterval = 3.5, kStarInterval = 37.0, kRippleInterval = 13.0;
    static constexpr double kStarDuration = 1.4, kRippleDuration = 6.0;
    double LaunchTime(std::int64_t lantern) const;
    double StarTime(std::int64_t star) const;
    // Whether a shooting star shows at all (the sky dark enough), and how bright.
    bool StarShows(std::int64_t star) const;
    float StarSize(std::int64_t star) const;
    // A lantern that the scene reports when it rises (one in three or so).
    bool Heard(std::int64_t lantern) const;

  private:
    struct Launch {
        double time = 0, life = 0, rise = 0;
        DVec3 site;
        Vec3 drift;
        Color color;
        bool overWater = false;
        float phase = 0;
    };
    const Launch& LaunchOf(std::int64_t lantern);

    std::uint32_t seed_;
    const Terrain& terrain_;
    const Flight& flight_;
    std::map<std::int64_t, Launch> launches_;
    std::map<std::int64_t, bool> rippleWet_;
    std::map<std::int64_t, Ripple> ripples_; // the wet ones
};

} // namespace scene
