// Lanterns, shooting stars and ripples over time.
#include "main_program/scene/lights.h"

#include "main_program/scene/noise.h"
#include "main_program/scene/sky.h"

#include <cmath>

namespace scene {

namespace {

constexpr double kLongestLife = 170.0;

float UnitOf(std::int64_t index, std::uint32_t salt, std::uint32_t seed) {
    return Unit(Hash(index, static_cast<std::int64_t>(salt), seed));
}

} // namespace

Happenings::Happenings(std::uint32_t seed, const Terrain& terrain, const Flight& flight)
    : seed_(seed), terrain_(terrain), flight_(flight) {}

double Happenings::LaunchTime(std::int64_t lantern) const {
    return (static_cast<double>(lantern) + 0.8 * UnitOf(lantern, 1, seed_)) * kLanternInterval;
}

bool Happenings::Heard(std::int64_t lantern) const { return UnitOf(lantern, 9, seed_) < 0.35f; }

const Happenings::Launch& Happenings::LaunchOf(std::int64_t lantern) {
    auto found = launches_.find(lantern);
    if (found != launches_.end()) return found->second;
    Launch launch;
    launch.time = LaunchTime(lantern);
    // From somewhere ahead of where the camera will be, mostly off to a side;
    // now and then close to its course, so that it passes near.
    const double lead = 25.0 + 45.0 * UnitOf(lantern, 2, seed_);
    const DVec3 ahead = flight_.Ground(launch.time + lead);
    const Vec3 along = Normalize(flight_.GroundVelocity(launch.time + lead));
    const float side = UnitOf(lantern, 3, seed_) < 0.5f ? -1.0f : 1.0f;
    const float spread = UnitOf(lantern, 4, seed_);
    const double across = UnitOf(lantern, 5, seed_) < 0.15f ? 8.0 + 20.0 * spread : 40.0 + 650.0 * spread * spread;
    launch.site = {ahead.x - along.y * side * across, ahead.y + along.x * side * across, 0.0};
    const float ground = terrain_.Height(launch.site.x, launch.site.y);
    launch.overWater = ground < kWaterLevel;
    launch.site.z = std::max(ground, kWaterLevel) + 1.5;
    launch.life = 100.0 + 70.0 * UnitOf(lantern, 6, seed_);
    launch.rise = 0.8 + 0.7 * UnitOf(lantern, 7, seed_);
    const float windAngle = flight_.Heading() + 1.3f + 0.6f * std::sin(static_cast<float>(launch.time / 400.0));
    const float wind = 0.8f + 1.2f * UnitOf(lantern, 8, seed_);
    launch.drift = {std::cos(windAngle) * wind, std::sin(windAngle) * wind, 0};
    const Color warm[3] = {{1.0f, 0.60f, 0.26f}, {1.0f, 0.76f, 0.42f}, {1.0f, 0.48f, 0.36f}};
    launch.color = warm[Hash(lantern, 10, seed_) % 3];
    launch.phase = 100.0f * UnitOf(lantern, 11, seed_);
    // Launches too old to matter again are forgotten.
    while (!launches_.empty() && launches_.begin()->second.time + kLongestLife + 60.0 < launch.time)
        launches_.erase(launches_.begin());
    return launches_.emplace(lantern, launch).first->second;
}

void Happenings::LanternsAt(double seconds, std::vector<Lantern>& out) {
    out.clear();
    const auto last = static_cast<std::int64_t>(std::floor(seconds / kLanternInterval));
    const auto first = static_cast<std::int64_t>(std::floor((seconds - kLongestLife) / kLanternInterval)) - 1;
    for (std::int64_t k = first; k <= last; ++k) {
        const Launch& launch = LaunchOf(k);
        const double age = seconds - launch.time;
        if (age < 0 || age > launch.life) continue;
        Lantern lantern;
        lantern.id = k;
        lantern.age = age;
        lantern.overWater = launch.overWater;
        // Rises quickly at first, then more slowly as it cools.
        const double height = launch.rise * (age - 0.25 * age * age / launch.life);
        const double sway = 4.0 * std::sin(0.21 * age + launch.phase);
        lantern.position = {launch.site.x + launch.drift.x * age + sway * launch.drift.y * 0.5,
                            launch.site.y + launch.drift.y * age - sway * launch.drift.x * 0.5, launch.site.z + height};
        const auto t = static_cast<float>(age);
        const float flicker = 0.82f + 0.18f * (0.6f * std::sin(t * 7.3f + launch.phase) + 0.4f * std::sin(t * 12.9f + 2 * launch.phase));
        const float fade = SmoothStep(0.0f, 4.0f, t) * (1.0f - SmoothStep(static_cast<float>(launch.life) - 18.0f,
                                                                          static_cast<float>(launch.life), t));
        lantern.glow = Clamp01(flicker * fade);
        lantern.color = launch.color;
        out.push_back(lantern);
    }
}

double Happenings::StarTime(std::int64_t star) const {
    return (static_cast<double>(star) + 0.7 * UnitOf(star, 20, seed_)) * kStarInterval;
}

float Happenings::StarSize(std::int64_t star) const { return 0.4f + 0.6f * UnitOf(star, 21, seed_); }

bool Happenings::StarShows(std::int64_t star) const {
    return UnitOf(star, 22, seed_) < 0.6f && SkyAt(StarTime(star), flight_.Heading()).stars > 0.35f;
}

void Happenings::ShootingStarsAt(double seconds, std::vector<ShootingStar>& out) const {
    out.clear();
    const auto first = static_cast<std::int64_t>(std::floor((seconds - kStarDuration) / kStarInterval)) - 1;
    for (std::int64_t j = first; j <= first + 2; ++j) {
        const double progress = (seconds - StarTime(j)) / kStarDuration;
        if (progress < 0 || progress > 1 || !StarShows(j)) continue;
        const float azimuth = flight_.Heading() + 2.0f * (UnitOf(j, 23, seed_) - 0.5f);
        const float elevation = 0.3f + 0.5f * UnitOf(j, 24, seed_);
        const float slant = 0.25f + 0.5f * UnitOf(j, 25, seed_), length = 0.14f + 0.16f * UnitOf(j, 26, seed_);
        const Vec3 from{std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation), std::sin(elevation)};
        const Vec3 east = Normalize(Cross({0, 0, 1}, from)), north = Cross(from, east);
        // It falls: its path leans down across the sky, left or right.
        const float leftOrRight = UnitOf(j, 27, seed_) < 0.5f ? -1.0f : 1.0f;
        const Vec3 along = Normalize(east * leftOrRight - north * slant);
        ShootingStar star;
        star.id = j;
        star.start = from;
        star.end = Normalize(from + along * length);
        star.progress = static_cast<float>(progress);
        star.brightness = StarSize(j) * static_cast<float>(std::sin(progress * 3.14159265358979));
        out.push_back(star);
    }
}

bool Happenings::RippleOf(std::int64_t index, Ripple& out) {
    auto wet = rippleWet_.find(index);
    if (wet != rippleWet_.end()) {
        if (!wet->second) return false;
        out = ripples_.at(index);
        return true;
    }
    // Somewhere on the water a little ahead of the camera and to a side.
    Ripple ripple;
    ripple.id = index;
    ripple.heard = true;
    ripple.start = (static_cast<double>(index) + 0.8 * UnitOf(index, 30, seed_)) * kRippleInterval;
    const DVec3 ground = flight_.Ground(ripple.start);
    const Vec3 along = Normalize(flight_.GroundVelocity(ripple.start));
    const double ahead = 40.0 + 140.0 * UnitOf(index, 31, seed_), across = 120.0 * (UnitOf(index, 32, seed_) - 0.5);
    ripple.centre = {ground.x + along.x * ahead - along.y * across, ground.y + along.y * ahead + along.x * across,
                     kWaterLevel};
    const bool onWater = terrain_.Height(ripple.centre.x, ripple.centre.y) < kWaterLevel - 0.5f;
    rippleWet_[index] = onWater;
    if (onWater) ripples_[index] = ripple;
    while (rippleWet_.size() > 64) {
        ripples_.erase(rippleWet_.begin()->first);
        rippleWet_.erase(rippleWet_.begin());
    }
    out = ripple;
    return onWater;
}

void Happenings::RipplesAt(double seconds, std::vector<Ripple>& out) {
    out.clear();
    const auto first = static_cast<std::int64_t>(std::floor((seconds - kRippleDuration) / kRippleInterval)) - 1;
    for (std::int64_t j = first; j <= first + 2; ++j) {
        Ripple ripple;
        if (!RippleOf(j, ripple)) continue;
        ripple.age = static_cast<float>(seconds - ripple.start);
        if (ripple.age >= 0 && ripple.age <= kRippleDuration) out.push_back(ripple);
    }
    const auto last = static_cast<std::int64_t>(std::floor(seconds / kLanternInterval));
    const auto earliest = static_cast<std::int64_t>(std::floor((seconds - kRippleDuration) / kLanternInterval)) - 1;
    for (std::int64_t k = earliest; k <= last; ++k) {
        const Launch& launch = LaunchOf(k);
        const double age = seconds - launch.time;
        if (!launch.overWater || age < 0 || age > kRippleDuration) continue;
        Ripple ripple;
        ripple.id = -1 - k;
        ripple.centre = {launch.site.x, launch.site.y, kWaterLevel};
        ripple.start = launch.time;
        ripple.age = static_cast<float>(age);
        out.push_back(ripple);
    }
}

} // namespace scene
