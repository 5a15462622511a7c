// The world over time: the same for one seed, smooth and above the ground
// for hours and years, with a sky that changes without a jump, and events
// at a calm pace within their ranges.
#include "main_program/scene/flight.h"
#include "main_program/scene/sky.h"
#include "main_program/scene/world_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

using scene::Vec3;

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

TEST(SceneWorld, OneSeedGivesOneWorld) {
    scene::WorldState a(77), b(77), other(78);
    double expected = 0;
    for (int frame = 0; frame < 300; ++frame) {
        // Uneven frames, and one long stall that is cut short.
        const double step = frame == 150 ? 5.0 : 1.0 / 60 + 0.004 * (frame % 3);
        expected += frame == 150 ? 0.25 : step;
        a.Advance(step);
        b.Advance(step);
        other.Advance(step);
        ASSERT_EQ(a.Camera().position.x, b.Camera().position.x);
        ASSERT_EQ(a.Camera().position.z, b.Camera().position.z);
        ASSERT_EQ(a.Lanterns().size(), b.Lanterns().size());
    }
    EXPECT_NE(a.Camera().position.x, other.Camera().position.x);
    const scene::Landscape& la = a.LandscapeFor(scene::Detail::Low);
    const scene::Landscape& lb = b.LandscapeFor(scene::Detail::Low);
    ASSERT_EQ(la.ground.size(), lb.ground.size());
    for (std::size_t ring = 0; ring < la.ground.size(); ++ring) {
        ASSERT_EQ(la.ground[ring].vertices.size(), lb.ground[ring].vertices.size());
        for (std::size_t i = 0; i < la.ground[ring].vertices.size(); ++i) {
            ASSERT_EQ(la.ground[ring].vertices[i].z, lb.ground[ring].vertices[i].z);
            ASSERT_EQ(la.ground[ring].vertices[i].color, lb.ground[ring].vertices[i].color);
        }
    }
    // The stall advanced time by a quarter of a second.
    EXPECT_NEAR(a.Seconds(), expected, 1e-9);
}

TEST(SceneFlight, SmoothAndClearOfTheGroundForYears) {
    const std::uint32_t seeds[] = {1, 2024, 0xfeedfaceu};
    const double starts[] = {0.0, 3600.0, 86400.0 * 3, 86400.0 * 365};
    for (std::uint32_t seed : seeds) {
        const scene::Terrain terrain(seed);
        const scene::Flight flight(seed, terrain);
        for (double start : starts) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", from " << start << " s");
            const double step = 1.0 / 60;
            scene::CameraPose previous = flight.At(start - step), before = flight.At(start - 2 * step);
            double leastClearance = 1e9;
            for (int frame = 0; frame < 60 * 90; ++frame) {
                const double t = start + frame * step;
                const scene::CameraPose pose = flight.At(t);
                ASSERT_TRUE(std::isfinite(pose.position.x) && std::isfinite(pose.position.y) &&
                            std::isfinite(pose.position.z));
                ASSERT_TRUE(Finite(pose.forward) && Finite(pose.right) && Finite(pose.up));
                // Speed near the cruise, no jerk: velocity changes little per frame.
                const double dx = pose.position.x - previous.position.x, dy = pose.position.y - previous.position.y;
                const double dz = pose.position.z - previous.position.z;
                const double speed = std::sqrt(dx * dx + dy * dy + dz * dz) / step;
                EXPECT_GT(speed, scene::Flight::kSpeed * 0.95);
                EXPECT_LT(speed, scene::Flight::kSpeed * 1.35);
                const double ax = dx - (previous.position.x - before.position.x);
                const double ay = dy - (previous.position.y - before.position.y);
                const double az = dz - (previous.position.z - before.position.z);
                EXPECT_LT(std::sqrt(ax * ax + ay * ay + az * az) / (step * step), 1.0) << "at " << t;
                EXPECT_LT(std::fabs(dz) / step, 4.0) << "climbs too fast at " << t;
                // The view turns slowly, stays level-ish and its axes stay square.
                EXPECT_GT(scene::Dot(pose.forward, previous.forward), std::cos(0.004f)) << "at " << t;
                EXPECT_GT(pose.up.z, 0.95f);
                EXPECT_NEAR(scene::Dot(pose.forward, pose.right), 0.0f, 1e-4f);
                if (frame % 15 == 0)
                    leastClearance =
                        std::min(leastClearance, pose.position.z - terrain.Height(pose.position.x, pose.position.y));
                before = previous;
                previous = pose;
            }
            EXPECT_GT(leastClearance, 8.0);
        }
    }
}

TEST(SceneFlight, NeverTouchesTheGroundOnALongFlight) {
    const scene::Terrain terrain(31);
    const scene::Flight flight(31, terrain);
    for (int step = 0; step < 3 * 3600 * 10 / 7; ++step) {
        const double t = 0.7 * step;
        const scene::CameraPose pose = flight.At(t);
        // Around the camera as far as its nearest view reaches.
        for (int k = 0; k < 6; ++k) {
            const double angle = k * 1.047;
            const double ground =
                terrain.Height(pose.position.x + 6 * std::cos(angle), pose.position.y + 6 * std::sin(angle));
            ASSERT_GT(pose.position.z - ground, 6.0) << "at " << t << " s";
        }
    }
}

TEST(SceneSky, ChangesWithoutAJumpAndStaysInRange) {
    const float heading = 1.1f;
    scene::SkyState previous = scene::SkyAt(-0.1, heading);
    const Vec3 directions[] = {{1, 0, 0.01f}, {0, 1, 0.3f}, {-0.6f, 0.3f, 0.9f}, {0.4f, -0.5f, -0.2f}};
    float darkest = 1, brightest = 0, fewestStars = 1, mostStars = 0;
    for (int step = 0; step < 13000; ++step) {
        const double t = 0.1 * step;
        const scene::SkyState sky = scene::SkyAt(t + 86400.0 * 10 * (t > 650), heading);
        ASSERT_NEAR(scene::Length(sky.sun), 1.0f, 1e-4f);
        for (const Vec3& d : directions) {
            const scene::Color now = scene::SkyColor(sky, scene::Normalize(d));
            const scene::Color before = scene::SkyColor(previous, scene::Normalize(d));
            for (float c : {now.x, now.y, now.z}) {
                ASSERT_TRUE(std::isfinite(c));
                EXPECT_GE(c, 0.0f);
                EXPECT_LE(c, 2.0f);
            }
            if (t < 650 || t > 651) {
                EXPECT_LT(scene::Length(now - before), 0.01f) << "the sky jumped at " << t;
            }
            darkest = std::min(darkest, now.z);
            brightest = std::max(brightest, now.z);
        }
        EXPECT_GE(sky.stars, 0.0f);
        EXPECT_LE(sky.stars, 1.0f);
        fewestStars = std::min(fewestStars, sky.stars);
        mostStars = std::max(mostStars, sky.stars);
        previous = sky;
    }
    // A whole cycle runs from dusk with no stars to a night full of them.
    EXPECT_EQ(fewestStars, 0.0f);
    EXPECT_EQ(mostStars, 1.0f);
    EXPECT_GT(brightest, darkest * 3);
}

TEST(SceneEvents, ComeAtACalmPaceWithinTheirRanges) {
    for (std::uint32_t seed : {3u, 4u}) {
        scene::WorldState world(seed);
        int counts[4] = {0, 0, 0, 0};
        double lastTime = -1e9;
        constexpr double kMinutes = 60;
        for (int step = 0; step < static_cast<int>(kMinutes * 60 * 5); ++step) {
            world.Advance(0.2);
            for (const scene::SceneEvent& event : world.TakeEvents()) {
                ++counts[static_cast<int>(event.kind)];
                EXPECT_GE(event.pan, -1.0f);
                EXPECT_LE(event.pan, 1.0f);
                EXPECT_GT(event.strength, 0.0f);
                EXPECT_LE(event.strength, 1.0f);
                EXPECT_GE(world.Seconds() - lastTime, 6.5) << "two events too close together";
                lastTime = world.Seconds();
            }
        }
        const int total = counts[0] + counts[1] + counts[2] + counts[3];
        EXPECT_GE(total, static_cast<int>(kMinutes * 1.5)) << "seed " << seed;
        EXPECT_LE(total, static_cast<int>(kMinutes * 7)) << "seed " << seed;
        for (int kind = 0; kind < 4; ++kind)
            EXPECT_GT(counts[kind], 0) << "seed " << seed << ", kind " << kind;
    }
}

TEST(SceneWorld, DetailArrivesAfterTheFirstFrame) {
    scene::WorldState world(5);
    world.RequestTextures(scene::Detail::Low);
    world.Advance(1.0 / 60);
    // Nothing is generated until the first frame has been drawn.
    EXPECT_FALSE(world.DetailComplete());
    EXPECT_EQ(world.Texture(scene::TextureKind::Ground).chain, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!world.DetailComplete() && std::chrono::steady_clock::now() < deadline) {
        world.Advance(1.0 / 60);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    world.Advance(1.0 / 60);
    ASSERT_TRUE(world.DetailComplete());
    for (int kind = 0; kind < scene::kTextureKinds; ++kind) {
        const scene::PublishedTexture& texture = world.Texture(static_cast<scene::TextureKind>(kind));
        ASSERT_NE(texture.chain, nullptr) << "kind " << kind;
        EXPECT_EQ(texture.chain->levels.front().width,
                  scene::TextureSize(static_cast<scene::TextureKind>(kind), scene::Detail::Low));
    }
    // Asking for more detail brings larger versions; leaving stops the work at once.
    world.RequestTextures(scene::Detail::High);
    EXPECT_FALSE(world.DetailComplete());
}

} // namespace
