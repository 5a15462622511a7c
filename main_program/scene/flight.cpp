// The camera's course, height and orientation.
#include "main_program/scene/flight.h"

#include "main_program/scene/noise.h"

#include <cmath>

namespace scene {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

Flight::Flight(std::uint32_t seed, const Terrain& terrain) : terrain_(terrain) {
    heading_ = static_cast<float>(kTwoPi * Unit(Hash(1u, seed)));
    origin_[0] = 20000.0 * (Unit(Hash(2u, seed)) - 0.5);
    origin_[1] = 20000.0 * (Unit(Hash(3u, seed)) - 0.5);
    // Three slow waves across the course, from minutes to a quarter of an hour
    // long; together they turn the heading by at most about 35 degrees.
    const double periods[3] = {97.0, 233.0, 611.0};
    const double shares[3] = {0.25, 0.35, 0.4};
    for (int i = 0; i < 3; ++i) {
        const double omega = kTwoPi / periods[i];
        sway_[i][0] = 0.7 * kSpeed * shares[i] / omega;
        sway_[i][1] = omega;
        sway_[i][2] = kTwoPi * Unit(Hash(10u + static_cast<std::uint32_t>(i), seed));
    }
    climb_[0] = kTwoPi * Unit(Hash(20u, seed));
    climb_[1] = kTwoPi * Unit(Hash(21u, seed));
}

double Flight::Sway(double seconds, int derivative) const {
    double sum = 0;
    for (const auto& wave : sway_) {
        const double angle = wave[1] * seconds + wave[2];
        switch (derivative) {
        case 0: sum += wave[0] * std::sin(angle); break;
        case 1: sum += wave[0] * wave[1] * std::cos(angle); break;
        default: sum -= wave[0] * wave[1] * wave[1] * std::sin(angle); break;
        }
    }
    return sum;
}

DVec3 Flight::Ground(double seconds) const {
    const double c = std::cos(heading_), s = std::sin(heading_);
    const double along = kSpeed * seconds, across = Sway(seconds, 0);
    return {origin_[0] + c * along - s * across, origin_[1] + s * along + c * across, 0.0};
}

Vec3 Flight::GroundVelocity(double seconds) const {
    const double c = std::cos(heading_), s = std::sin(heading_);
    const double across = Sway(seconds, 1);
    return {static_cast<float>(c * kSpeed - s * across), static_cast<float>(s * kSpeed + c * across), 0.0f};
}

double Flight::Peak(std::int64_t k) const {
    const auto found = peaks_.find(k);
    if (found != peaks_.end()) return found->second;
    double peak = kWaterLevel;
    for (int i = -4; i <= 8; ++i) {
        const DVec3 p = Ground(static_cast<double>(k) + 0.5 * i);
        peak = std::max<double>(peak, terrain_.Height(p.x, p.y));
    }
    while (!peaks_.empty() && peaks_.begin()->first < k - 600) peaks_.erase(peaks_.begin());
    peaks_.emplace(k, peak);
    return peak;
}

double Flight::Envelope(std::int64_t k) const {
    const auto found = envelope_.find(k);
    if (found != envelope_.end()) return found->second;
    // No ground here is higher than this many metres over the water.
    constexpr double kHighest = 300.0;
    constexpr auto kReach = static_cast<std::int64_t>(kHighest / kClimb) + 1;
    double envelope = kWaterLevel;
    for (std::int64_t j = k - kReach; j <= k + kReach; ++j)
        envelope = std::max(envelope, Peak(j) - kClimb * static_cast<double>(std::llabs(j - k)));
    while (!envelope_.empty() && envelope_.begin()->first < k - 600) envelope_.erase(envelope_.begin());
    envelope_.emplace(k, envelope);
    return envelope;
}

double Flight::Altitude(double seconds) const {
    // A cubic B-spline over the envelope, one knot a second: smooth in its
    // height, its climb and the change of its climb, and above every peak
    // near the course since each knot is.
    const double whole = std::floor(seconds);
    const auto k = static_cast<std::int64_t>(whole);
    const double t = seconds - whole, t2 = t * t, t3 = t2 * t;
    const double ground = (Envelope(k - 1) * (1 - 3 * t + 3 * t2 - t3) + Envelope(k) * (4 - 6 * t2 + 3 * t3) +
                           Envelope(k + 1) * (1 + 3 * t + 3 * t2 - 3 * t3) + Envelope(k + 2) * t3) /
                          6.0;
    const double wave = std::sin(kTwoPi * seconds / 173.0 + climb_[0]) + 0.6 * std::sin(kTwoPi * seconds / 71.0 + climb_[1]);
    return ground + 27.0 + 6.0 * wave;
}

CameraPose Flight::At(double seconds) const {
    CameraPose pose;
    pose.position = Ground(seconds);
    pose.position.z = Altitude(seconds);
    const Vec3 velocity = GroundVelocity(seconds);
    const Vec3 level = Normalize(velocity);
    // Looks a little down, and along the climb ahead; banks into the turns.
    constexpr double kAhead = 5.0;
    const double climb = (Altitude(seconds + kAhead) - pose.position.z) / (kAhead * Length(velocity));
    const float pitch = -0.11f + 0.5f * static_cast<float>(std::atan(climb));
    const double speedAcross = Sway(seconds, 1), accelerationAcross = Sway(seconds, 2);
    const double turnRate = accelerationAcross * kSpeed / (kSpeed * kSpeed + speedAcross * speedAcross);
    const float roll = static_cast<float>(4.0 * turnRate);
    const Vec3 flatRight = Normalize(Cross(level, {0, 0, 1}));
    Vec3 forward = Normalize(level * std::cos(pitch) + Vec3{0, 0, std::sin(pitch)});
    Vec3 up = Cross(flatRight, forward);
    const Vec3 right = Normalize(flatRight * std::cos(roll) + up * std::sin(roll));
    up = Normalize(Cross(right, forward));
    pose.forward = forward;
    pose.right = right;
    pose.up = up;
    return pose;
}

} // namespace scene
