// The world: time, the flight, the sky, and the landscape built around the camera.
#include "main_program/scene/world_state.h"

#include <algorithm>
#include <cmath>

namespace scene {

namespace {

// Elevations of the sky dome's rings, dense near the horizon where the
// colours change fastest; the lower half mirrors the upper for the water.
constexpr float kDomeElevations[] = {90, 68, 50, 37, 27, 19.5f, 13.5f, 9, 5.5f, 3, 1.2f, 0};
constexpr int kDomeSegments = 32;
constexpr float kDomeRadius = 500.0f;

} // namespace

ClipmapShape ShapeFor(Detail geometry) {
    switch (geometry) {
    case Detail::Low: return {32, 6.0, 6};
    case Detail::High: return {64, 3.0, 7};
    case Detail::Medium: break;
    }
    return {48, 4.0, 6};
}

std::unique_ptr<World> World::Create(std::uint32_t seed) { return std::make_unique<WorldState>(seed); }

WorldState::WorldState(std::uint32_t seed) : seed_(seed), terrain_(seed), flight_(seed, terrain_) {
    camera_ = flight_.At(0);
    sky_ = SkyAt(0, flight_.Heading());
}

WorldState::~WorldState() = default;

void WorldState::Advance(double seconds) {
    // A long stall (a paused display, a debugger) resumes where it stopped.
    constexpr double kLongestStep = 0.25;
    if (!(seconds > 0)) seconds = 0;
    seconds_ += std::min(seconds, kLongestStep);
    ++frame_;
    camera_ = flight_.At(seconds_);
    sky_ = SkyAt(seconds_, flight_.Heading());
}

std::vector<SceneEvent> WorldState::TakeEvents() {
    std::vector<SceneEvent> taken;
    taken.swap(events_);
    return taken;
}

const Landscape& WorldState::LandscapeFor(Detail geometry) {
    Tier& tier = tiers_[static_cast<std::size_t>(geometry)];
    if (!tier.clipmap) tier.clipmap = std::make_unique<Clipmap>(terrain_, ShapeFor(geometry));
    if (tier.builtFrame != frame_) {
        tier.clipmap->Build(camera_.position, sky_, tier.landscape.ground, tier.landscape.water);
        tier.landscape.farDistance = tier.clipmap->FarDistance();
        tier.builtFrame = frame_;
    }
    return tier.landscape;
}

const Mesh& WorldState::SkyDome() {
    if (skyDomeFrame_ == frame_) return skyDome_;
    skyDomeFrame_ = frame_;
    skyDome_.Clear();
    constexpr int kRings = sizeof(kDomeElevations) / sizeof(kDomeElevations[0]);
    // Rings from the zenith down to the horizon and on down to the nadir.
    std::vector<float> elevations(kDomeElevations, kDomeElevations + kRings);
    for (int i = kRings - 2; i >= 0; --i) elevations.push_back(-kDomeElevations[i]);
    for (float elevationDegrees : elevations) {
        const float elevation = elevationDegrees * kPi / 180.0f;
        for (int k = 0; k <= kDomeSegments; ++k) {
            const float azimuth = 2.0f * kPi * static_cast<float>(k) / kDomeSegments;
            const Vec3 d{std::cos(azimuth) * std::cos(elevation), std::sin(azimuth) * std::cos(elevation), std::sin(elevation)};
            const Vec3 p = d * kDomeRadius;
            skyDome_.vertices.push_back({p.x, p.y, p.z, PackColor(SkyColor(sky_, d)), 0, 0});
        }
    }
    const int rows = static_cast<int>(elevations.size()) - 1, stride = kDomeSegments + 1;
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < kDomeSegments; ++k) {
            const auto a = static_cast<std::uint16_t>(r * stride + k), b = static_cast<std::uint16_t>(a + 1);
            const auto c = static_cast<std::uint16_t>(a + stride), d = static_cast<std::uint16_t>(c + 1);
            for (std::uint16_t index : {a, b, d, a, d, c}) skyDome_.indices.push_back(index);
        }
    Block all;
    all.indexCount = static_cast<std::uint32_t>(skyDome_.indices.size());
    all.low = {-kDomeRadius, -kDomeRadius, -kDomeRadius};
    all.high = {kDomeRadius, kDomeRadius, kDomeRadius};
    skyDome_.blocks.push_back(all);
    return skyDome_;
}

} // namespace scene
