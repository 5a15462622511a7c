// The landscape: heights and ground colours as functions of the position, the
// same everywhere for one seed, with no edge and no repeat.
#pragma once

#include "main_program/scene/scene_math.h"

#include <cstdint>

namespace scene {

constexpr float kWaterLevel = 0.0f;

struct TerrainHeights {
    float height = 0;   // the ground, or the woods' canopy over it
    float woodland = 0; // 0..1: how much of the ground is under trees
};

class Terrain {
  public:
    explicit Terrain(std::uint32_t seed);

    TerrainHeights Heights(double x, double y) const;
    float Height(double x, double y) const { return Heights(x, y).height; }

    // The most the woods' canopy adds to the ground.
    static constexpr float kCanopy = 16.0f;

  private:
    std::uint32_t seed_;
};

// The ground's colour before lighting, from its height, how level it is (the
// normal's z) and its woodland share; woods are never bare rock.
Color GroundColor(float height, float level, float woodland);

} // namespace scene
