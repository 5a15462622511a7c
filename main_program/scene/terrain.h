// The landscape: heights and ground colours as functions of the position, the
// same everywhere for one seed, with no edge and no repeat.
#pragma once

#include "main_program/scene/scene_math.h"

#include <cstdint>

namespace scene {

constexpr float kWaterLevel = 0.0f;

struct TerrainHeights {
    float full = 0;  // every octave: what is drawn
    float broad = 0; // the large shapes only: what the flight follows
};

class Terrain {
  public:
    explicit Terrain(std::uint32_t seed);

    TerrainHeights Heights(double x, double y) const;
    float Height(double x, double y) const { return Heights(x, y).full; }
    // 0..1 patches of woodland against open ground.
    float Woodland(double x, double y) const;

  private:
    std::uint32_t seed_;
};

// The ground's colour before lighting, from its height, how level it is (the
// normal's z) and its woodland share.
Color GroundColor(float height, float level, float woodland);

} // namespace scene
