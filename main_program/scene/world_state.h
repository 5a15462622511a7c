// The world as its renderers see it: the portable state behind scene::World,
// and the geometry, sprites and images it builds for drawing.
#pragma once

#include "main_program/scene/clipmap.h"
#include "main_program/scene/detail_worker.h"
#include "main_program/scene/flight.h"
#include "main_program/scene/lights.h"
#include "main_program/scene/scene.h"
#include "main_program/scene/scene_geometry.h"
#include "main_program/scene/sky.h"
#include "main_program/scene/terrain.h"
#include "main_program/scene/textures.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace scene {

// The ground and water of one geometry tier, as they stand this frame.
struct Landscape {
    std::vector<Mesh> ground, water;
    float farDistance = 0;
};

// A textured rectangle facing the camera (or standing upright), drawn at
// least `minPixels` across: smaller ones grow and dim to keep their light.
struct Sprite {
    Vec3 centre; // relative to the camera
    float width = 0, height = 0;
    float minPixels = 0;
    Color color;
    float alpha = 1;
    TextureKind texture = TextureKind::Glow;
    bool upright = false; // height along the world's up, not the camera's
};

// A line of light across the sky, bright at its head.
struct Streak {
    Vec3 head, tail; // relative to the camera
    float widthPixels = 2;
    Color color;
};

// Everything beyond the landscape, drawn before it without depth.
struct SkyScenery {
    Mesh dome;
    std::vector<Vertex> stars;     // a point list
    std::vector<Sprite> lights;    // the sun's disc and glow, the moon's halo: added
    std::vector<Sprite> glints;    // the sun's and moon's path on the water: added, mirrored already
    std::vector<Sprite> moon;      // the moon's disc: blended over the sky
    std::vector<Streak> streaks;   // shooting stars
    Mesh clouds;
    float cloudHeight = 0;         // the cloud layer's height over the camera
};

// Lights near the ground: lanterns (and their mirror images) and ripples.
struct NearScenery {
    std::vector<Sprite> lanterns, mirrored;
    std::vector<Vertex> ripples; // a triangle list on the water
};

// A generated texture as it stands: null until its first version arrives.
struct PublishedTexture {
    std::shared_ptr<const MipChain> chain;
    std::uint64_t version = 0;
    double arrived = 0; // world time of the first version
};

// The clipmap's shape for each geometry tier, and each texture's size.
ClipmapShape ShapeFor(Detail geometry);
int TextureSize(TextureKind kind, Detail textures);

class WorldState final : public World {
  public:
    explicit WorldState(std::uint32_t seed);
    ~WorldState() override;
    WorldState(const WorldState&) = delete;
    WorldState& operator=(const WorldState&) = delete;

    void Advance(double seconds) override;
    std::vector<SceneEvent> TakeEvents() override;
    bool DetailComplete() override;

    double Seconds() const { return seconds_; }
    // Counts calls to Advance: what is built per frame is built once.
    std::uint64_t Frame() const { return frame_; }
    const CameraPose& Camera() const { return camera_; }
    const SkyState& Sky() const { return sky_; }
    const std::vector<Lantern>& Lanterns() const { return lanterns_; }

    // Built on the first call after each Advance.
    const Landscape& LandscapeFor(Detail geometry);
    const SkyScenery& Sky(Detail geometry);
    const NearScenery& Near();

    // Textures: renderers ask for their tier's sizes and upload new versions.
    void RequestTextures(Detail textures);
    const PublishedTexture& Texture(TextureKind kind) const { return textures_[static_cast<std::size_t>(kind)]; }
    // 0..1 over the second and a half after the texture's first version came.
    float TextureShow(TextureKind kind) const;

  private:
    void CollectEvents(double from, double to);
    void BuildSky(Detail geometry);

    std::uint32_t seed_;
    Terrain terrain_;
    Flight flight_;
    Happenings happenings_;
    DetailWorker worker_;
    double seconds_ = 0;
    std::uint64_t frame_ = 0;
    CameraPose camera_;
    SkyState sky_;
    std::vector<Lantern> lanterns_;
    std::map<std::int64_t, float> lanternDistance_; // at the last frame
    std::vector<SceneEvent> events_;
    double lastEvent_ = -1e9;

    struct Tier {
        std::unique_ptr<Clipmap> clipmap;
        Landscape landscape;
        std::uint64_t builtFrame = UINT64_MAX;
    };
    std::array<Tier, 3> tiers_;
    SkyScenery sky_scenery_;
    std::uint64_t skyFrame_ = UINT64_MAX;
    Detail skyDetail_ = Detail::Medium;
    NearScenery near_;
    std::uint64_t nearFrame_ = UINT64_MAX;

    struct Star {
        Vec3 direction;
        Color color;
        float brightness, twinkle;
    };
    std::vector<Star> stars_;
    std::array<PublishedTexture, kTextureKinds> textures_;
};

} // namespace scene
