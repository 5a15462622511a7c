// The camera's flight: an endless, gently weaving course over the landscape,
// a smooth function of time that never repeats.
#pragma once

#include "main_program/scene/scene_math.h"
#include "main_program/scene/terrain.h"

#include <cstdint>
#include <map>

namespace scene {

struct CameraPose {
    DVec3 position;
    Vec3 forward, right, up; // unit, right-handed world axes
};

class Flight {
  public:
    Flight(std::uint32_t seed, const Terrain& terrain);

    // The course over the ground at `seconds`, and its velocity there.
    DVec3 Ground(double seconds) const;
    Vec3 GroundVelocity(double seconds) const;
    // The flight's mean direction, radians from +x.
    float Heading() const { return heading_; }
    CameraPose At(double seconds) const;
    // The height the camera flies at.
    double Altitude(double seconds) const;

    static constexpr double kSpeed = 13.0; // metres per second along the mean direction
    static constexpr double kClimb = 2.5;  // metres per second up or down at most, before smoothing

  private:
    double Sway(double seconds, int derivative) const;
    // The highest ground or water along the course from two seconds before
    // second `k` to four after.
    double Peak(std::int64_t k) const;
    // The lowest height over every peak near second `k` that climbs and
    // sinks no faster than kClimb.
    double Envelope(std::int64_t k) const;

    const Terrain& terrain_;
    float heading_;
    double origin_[2];
    double sway_[3][3]; // amplitude, angular frequency, phase
    double climb_[2];   // phases of the height's slow waves
    mutable std::map<std::int64_t, double> peaks_, envelope_;
};

} // namespace scene
