// The landscape's mesh around the camera: nested square rings, each twice as
// coarse as the one inside it, that follow the camera. Near its outer edge
// each ring blends into the next coarser one, so the rings meet without seams
// and the ground never jumps as they move.
#pragma once

#include "main_program/scene/scene_geometry.h"
#include "main_program/scene/sky.h"
#include "main_program/scene/terrain.h"

#include <cstdint>
#include <vector>

namespace scene {

struct ClipmapShape {
    int cells = 48;       // cells along a ring's side: a multiple of 16
    double spacing = 4.0; // metres between the finest ring's vertices
    int levels = 6;
    double Reach() const; // metres from the centre to the outermost ring's edge
};

class Clipmap {
  public:
    Clipmap(const Terrain& terrain, ClipmapShape shape);

    const ClipmapShape& Shape() const { return shape_; }
    // How far the ground can be seen: the haze closes before the edge.
    float FarDistance() const;

    // Builds the ground and the water of every ring around `camera`, relative
    // to it. The ground's alpha is how much of its texture shows: none far
    // off in the haze, and `textureShow` at most.
    void Build(const DVec3& camera, const SkyState& sky, float textureShow, std::vector<Mesh>& ground,
               std::vector<Mesh>& water);

    // Samples computed so far, for the benchmark.
    std::uint64_t SamplesComputed() const { return computed_; }

    static constexpr double kTextureRepeat = 32.0;

  private:
    struct Sample {
        std::int64_t gx = INT64_MIN, gy = INT64_MIN;
        float height = 0, woodland = 0;
    };
    struct Level {
        int size = 0; // the cache is size x size, indexed by grid position modulo size
        std::vector<Sample> cache;
    };
    const Sample& At(int level, std::int64_t gx, std::int64_t gy);
    void BuildLevel(int level, const DVec3& camera, const SkyState& sky, float textureShow, Mesh& ground, Mesh& water);

    const Terrain& terrain_;
    ClipmapShape shape_;
    std::vector<Level> levels_;
    std::uint64_t computed_ = 0;

    // Per build: the haze colour around the horizon, and scratch space.
    std::vector<Color> haze_;
    std::vector<float> heights_, coarse_;
    std::vector<Color> colors_, coarseColors_;
    std::vector<int> waterIndex_;
};

} // namespace scene
