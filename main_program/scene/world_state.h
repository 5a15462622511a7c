// The world as its renderers see it: the portable state behind scene::World,
// and the geometry and images it builds for drawing.
#pragma once

#include "main_program/scene/clipmap.h"
#include "main_program/scene/flight.h"
#include "main_program/scene/scene.h"
#include "main_program/scene/scene_geometry.h"
#include "main_program/scene/sky.h"
#include "main_program/scene/terrain.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace scene {

// The ground and water of one geometry tier, as they stand this frame.
struct Landscape {
    std::vector<Mesh> ground, water;
    float farDistance = 0;
};

// The clipmap's shape for each geometry tier.
ClipmapShape ShapeFor(Detail geometry);

class WorldState final : public World {
  public:
    explicit WorldState(std::uint32_t seed);
    ~WorldState() override;
    WorldState(const WorldState&) = delete;
    WorldState& operator=(const WorldState&) = delete;

    void Advance(double seconds) override;
    std::vector<SceneEvent> TakeEvents() override;

    double Seconds() const { return seconds_; }
    // Counts calls to Advance: renderers upload what changed once per frame.
    std::uint64_t Frame() const { return frame_; }
    const CameraPose& Camera() const { return camera_; }
    const SkyState& Sky() const { return sky_; }

    // Built on the first call after each Advance.
    const Landscape& LandscapeFor(Detail geometry);
    const Mesh& SkyDome();

  private:
    std::uint32_t seed_;
    Terrain terrain_;
    Flight flight_;
    double seconds_ = 0;
    std::uint64_t frame_ = 0;
    CameraPose camera_;
    SkyState sky_;
    std::vector<SceneEvent> events_;

    struct Tier {
        std::unique_ptr<Clipmap> clipmap;
        Landscape landscape;
        std::uint64_t builtFrame = UINT64_MAX;
    };
    std::array<Tier, 3> tiers_;
    Mesh skyDome_;
    std::uint64_t skyDomeFrame_ = UINT64_MAX;
};

} // namespace scene
