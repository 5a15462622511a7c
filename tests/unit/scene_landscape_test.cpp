// The generated landscape and textures: heights and colours within bounds,
// rings of ground that meet without gaps or steps and never jump as the
// camera moves, and textures that tile and keep the values their uses assume.
#include "main_program/scene/clipmap.h"
#include "main_program/scene/terrain.h"
#include "main_program/scene/textures.h"
#include "main_program/scene/world_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace {

using scene::Mesh;
using scene::Vec3;

TEST(SceneTerrain, HeightsAndColoursStayInBounds) {
    for (std::uint32_t seed : {1u, 2u, 0xdeadbeefu}) {
        const scene::Terrain terrain(seed);
        int wet = 0, samples = 0;
        // Far from the start too, where coordinates are large.
        for (double origin : {0.0, -3.7e5, 4.1e7})
            for (int i = 0; i < 40; ++i)
                for (int j = 0; j < 40; ++j) {
                    const double x = origin + i * 173.0, y = origin * 0.5 + j * 211.0;
                    const scene::TerrainHeights h = terrain.Heights(x, y);
                    ASSERT_TRUE(std::isfinite(h.height)) << x << "," << y;
                    EXPECT_GT(h.height, -120.0f);
                    EXPECT_LT(h.height, 320.0f);
                    EXPECT_GE(h.woodland, 0.0f);
                    EXPECT_LE(h.woodland, 1.0f);
                    wet += h.height < scene::kWaterLevel;
                    ++samples;
                }
        // Both land and water, neither all of it.
        EXPECT_GT(wet, samples / 20) << "seed " << seed;
        EXPECT_LT(wet, samples * 3 / 4) << "seed " << seed;
    }
    for (float height : {-50.0f, 0.5f, 2.0f, 40.0f, 180.0f, 300.0f})
        for (float level : {0.3f, 0.8f, 1.0f})
            for (float woodland : {0.0f, 1.0f}) {
                const scene::Color c = scene::GroundColor(height, level, woodland);
                for (float channel : {c.x, c.y, c.z}) {
                    EXPECT_GE(channel, 0.0f);
                    EXPECT_LE(channel, 1.0f);
                }
            }
}

// The height of the drawn ground at a point (relative to the camera), from
// the triangle that holds it, interpolated; with how many triangles hold it.
struct Surface {
    float z = 0;
    int ring = -1;
    int covers = 0;
};
Surface SurfaceAt(const std::vector<Mesh>& rings, float x, float y) {
    Surface surface;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const Mesh& mesh = rings[r];
        for (const scene::Block& block : mesh.blocks) {
            if (x < block.low.x || x > block.high.x || y < block.low.y || y > block.high.y) continue;
            for (std::uint32_t i = block.firstIndex; i < block.firstIndex + block.indexCount; i += 3) {
                const scene::Vertex& a = mesh.vertices[mesh.indices[i]];
                const scene::Vertex& b = mesh.vertices[mesh.indices[i + 1]];
                const scene::Vertex& c = mesh.vertices[mesh.indices[i + 2]];
                const float d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
                if (std::fabs(d) < 1e-6f) continue; // a skirt, standing on edge
                const float wa = ((b.y - c.y) * (x - c.x) + (c.x - b.x) * (y - c.y)) / d;
                const float wb = ((c.y - a.y) * (x - c.x) + (a.x - c.x) * (y - c.y)) / d;
                const float wc = 1 - wa - wb;
                if (wa < 0 || wb < 0 || wc < 0) continue;
                if (surface.covers++ == 0) {
                    surface.ring = static_cast<int>(r);
                    surface.z = wa * a.z + wb * b.z + wc * c.z;
                }
            }
        }
    }
    return surface;
}

TEST(SceneClipmap, RingsCoverTheGroundOnce) {
    const scene::Terrain terrain(9);
    const scene::SkyState sky = scene::SkyAt(30, 0.5f);
    for (scene::Detail detail : {scene::Detail::Low, scene::Detail::High}) {
        scene::Clipmap clipmap(terrain, scene::ShapeFor(detail));
        std::vector<Mesh> ground, water;
        // A camera off the grid, at a large coordinate.
        const scene::DVec3 camera{123457.3, -98765.9, 140.0};
        clipmap.Build(camera, sky, 1, 1.0f, ground, water);
        ASSERT_EQ(ground.size(), static_cast<std::size_t>(scene::ShapeFor(detail).levels));
        const auto reach = static_cast<float>(clipmap.Shape().Reach());
        // Walk outwards along slanted lines: every point is covered once.
        int previousRing = 0, changes = 0;
        const float directions[4][2] = {{0.8f, -0.6f}, {-0.6f, -0.8f}, {-0.8f, 0.6f}, {0.6f, 0.8f}};
        const auto steps = static_cast<int>(reach * 0.9f / 0.37f);
        for (int line = 0; line < 4; ++line)
            for (int step = 0; step < steps; ++step) {
                const float r = 1.0f + 0.37f * static_cast<float>(step);
                const float x = r * directions[line][0] + 0.0137f, y = r * directions[line][1] + 0.0071f;
                const Surface surface = SurfaceAt(ground, x, y);
                // Off every edge and vertex of the grids, a point lies in one triangle.
                ASSERT_EQ(surface.covers, 1) << "at " << x << "," << y;
                changes += surface.ring != previousRing;
                previousRing = surface.ring;
            }
        EXPECT_GE(changes, 4 * (scene::ShapeFor(detail).levels - 2)) << "the lines should cross most rings";
        // No ring's water reaches into the finer ring's square, where that
        // ring has water of its own.
        for (std::size_t ring = 1; ring < water.size(); ++ring) {
            float x0 = 1e30f, x1 = -1e30f, y0 = 1e30f, y1 = -1e30f;
            for (const scene::Vertex& v : ground[ring - 1].vertices) {
                x0 = std::min(x0, v.x), x1 = std::max(x1, v.x), y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
            }
            const float margin = 0.01f;
            for (std::uint16_t index : water[ring].indices) {
                const scene::Vertex& v = water[ring].vertices[index];
                ASSERT_FALSE(v.x > x0 + margin && v.x < x1 - margin && v.y > y0 + margin && v.y < y1 - margin)
                    << "ring " << ring << "'s water inside ring " << ring - 1 << " at " << v.x << "," << v.y;
            }
        }
        // Water lies flat at the water's height.
        for (const Mesh& mesh : water)
            for (const scene::Vertex& v : mesh.vertices)
                EXPECT_FLOAT_EQ(v.z, static_cast<float>(scene::kWaterLevel - camera.z));
    }
}

TEST(SceneClipmap, GroundNeverJumpsAsTheCameraMoves) {
    const scene::Terrain terrain(4);
    const scene::SkyState sky = scene::SkyAt(0, 0.0f);
    scene::Clipmap clipmap(terrain, scene::ShapeFor(scene::Detail::Low));
    std::vector<Mesh> before, after, water;
    // Steps of a frame, across the snapping of the inner rings.
    scene::DVec3 camera{5000.0, 7000.0, 150.0};
    float worst = 0;
    for (int frame = 0; frame < 60; ++frame) {
        clipmap.Build(camera, sky, 1, 1.0f, before, water);
        const scene::DVec3 next{camera.x + 3.1, camera.y + 1.3, camera.z};
        clipmap.Build(next, sky, 1, 1.0f, after, water);
        // Fixed points of the world on a spiral out to a kilometre.
        for (int k = 0; k < 160; ++k) {
            const double angle = k * 2.4, radius = 6.0 * k;
            const double wx = 5100.0 + radius * std::cos(angle), wy = 7050.0 + radius * std::sin(angle);
            const Surface s0 = SurfaceAt(before, static_cast<float>(wx - camera.x), static_cast<float>(wy - camera.y));
            const Surface s1 = SurfaceAt(after, static_cast<float>(wx - next.x), static_cast<float>(wy - next.y));
            if (s0.covers == 0 || s1.covers == 0) continue;
            // The morph moves the ground by a small share of a frame's step;
            // a switch of triangles without it would move it by metres.
            worst = std::max(worst, std::fabs(s1.z - s0.z));
        }
        camera = next;
    }
    EXPECT_LT(worst, 0.3f) << "the ground jumped";
}

TEST(SceneClipmap, RingsMeetWithoutSteps) {
    const scene::Terrain terrain(21);
    const scene::SkyState sky = scene::SkyAt(0, 0.0f);
    scene::Clipmap clipmap(terrain, scene::ShapeFor(scene::Detail::Medium));
    std::vector<Mesh> ground, water;
    const scene::DVec3 camera{-4321.7, 8765.2, 150.0};
    clipmap.Build(camera, sky, 1, 1.0f, ground, water);
    // Along each ring's edge, just inside and just outside agree.
    float worst = 0;
    for (std::size_t ring = 0; ring + 1 < ground.size(); ++ring) {
        float edge = -1e30f;
        for (const scene::Vertex& v : ground[ring].vertices)
            edge = std::max(edge, v.x);
        const auto steps = static_cast<int>(1.6f * edge / 0.731f);
        for (int step = 0; step < steps; ++step) {
            const float y = -0.8f * edge + 0.731f * static_cast<float>(step);
            const Surface inside = SurfaceAt(ground, edge - 0.01f, y), outside = SurfaceAt(ground, edge + 0.01f, y);
            ASSERT_EQ(inside.ring, static_cast<int>(ring));
            ASSERT_EQ(outside.ring, static_cast<int>(ring) + 1);
            worst = std::max(worst, std::fabs(inside.z - outside.z));
        }
    }
    EXPECT_LT(worst, 0.05f) << "a step where the rings meet";
}

TEST(SceneTextures, TexturesTileAndKeepTheirMeans) {
    const std::atomic<bool> running{false};
    for (int k = 0; k < scene::kTextureKinds; ++k) {
        const auto kind = static_cast<scene::TextureKind>(k);
        const scene::MipChain chain = scene::GenerateTexture(kind, 64, 3, running);
        ASSERT_EQ(chain.levels.size(), 7u) << "kind " << k;
        for (std::size_t level = 0; level < chain.levels.size(); ++level) {
            EXPECT_EQ(chain.levels[level].width, 64 >> level);
            EXPECT_EQ(chain.levels[level].pixels.size(), static_cast<std::size_t>((64 >> level) * (64 >> level)));
        }
        const scene::Image& top = chain.levels.front();
        auto channel = [&](int x, int y, int shift) {
            return static_cast<int>(
                (top.pixels[static_cast<std::size_t>(y) * 64 + static_cast<std::size_t>(x)] >> shift) & 0xFF);
        };
        const std::uint32_t mean = chain.levels.back().pixels[0];
        switch (kind) {
        case scene::TextureKind::Ground:
            // Modulating twice by it keeps the ground's colour on average.
            EXPECT_NEAR(static_cast<int>((mean >> 8) & 0xFF), 128, 16);
            break;
        case scene::TextureKind::Water:
            EXPECT_NEAR(static_cast<int>(mean >> 24), 128, 20);
            break;
        case scene::TextureKind::Glow:
        case scene::TextureKind::Moon:
        case scene::TextureKind::Ring:
        case scene::TextureKind::Spark:
            // Round shapes: nothing at the corners.
            EXPECT_EQ(channel(0, 0, 24), 0) << "kind " << k;
            EXPECT_EQ(channel(63, 63, 24), 0) << "kind " << k;
            break;
        default:
            break;
        }
        if (kind == scene::TextureKind::Glow || kind == scene::TextureKind::Moon) {
            EXPECT_GT(channel(32, 32, 24), 200) << "kind " << k;
        }
        if (kind != scene::TextureKind::Ground && kind != scene::TextureKind::Water &&
            kind != scene::TextureKind::Clouds)
            continue;
        // Tiling: across the wrap the texture changes no more than between
        // neighbours inside it.
        double inside = 0, across = 0;
        for (int y = 0; y < 64; ++y)
            for (int shift : {8, 24}) {
                inside += std::abs(channel(31, y, shift) - channel(32, y, shift));
                across += std::abs(channel(63, y, shift) - channel(0, y, shift));
                inside += std::abs(channel(y, 31, shift) - channel(y, 32, shift));
                across += std::abs(channel(y, 63, shift) - channel(y, 0, shift));
            }
        EXPECT_LT(across, inside * 2.0 + 64) << "kind " << k << " does not tile";
    }
    const std::atomic<bool> stopped{true};
    EXPECT_TRUE(scene::GenerateTexture(scene::TextureKind::Clouds, 256, 3, stopped).Empty());
}

} // namespace
