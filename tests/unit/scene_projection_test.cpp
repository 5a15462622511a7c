// Views of one canvas: each monitor's part of the image plane, and the
// matrices that take the world onto it.
#include "main_program/scene/projection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using scene::Frustum;
using scene::View;
using scene::ViewRect;

View MakeView(ViewRect canvas, ViewRect area, float pixelAspect = 1.0f) {
    View view;
    view.canvas = canvas;
    view.area = area;
    view.pixelAspect = pixelAspect;
    view.width = static_cast<std::uint32_t>(area.right - area.left);
    view.height = static_cast<std::uint32_t>(area.bottom - area.top);
    return view;
}

constexpr float kTan25 = 0.4663f;

TEST(SceneProjection, CanvasKeepsItsShapeWithinLimits) {
    const struct {
        const char* what;
        ViewRect canvas;
        float pixelAspect;
        float halfWidth, halfHeight;
    } cases[] = {
        {"a 16:9 monitor is 50 degrees high", {0, 0, 1920, 1080}, 1.0f, 1.7778f * kTan25, kTan25},
        {"a 4:3 monitor", {0, 0, 1024, 768}, 1.0f, 1.3333f * kTan25, kTan25},
        {"wide pixels widen the picture", {0, 0, 1280, 1024}, 1.25f, 1.5625f * kTan25, kTan25},
        {"three monitors in a row are no wider than 112 degrees", {0, 0, 5760, 1080}, 1.0f, 1.5f, 1.5f / 5.3333f},
        {"a portrait monitor is widened to 44 degrees", {0, 0, 1080, 1920}, 1.0f, 0.4f, 0.4f / 0.5625f},
        {"a tall stack is no higher than 90 degrees", {0, 0, 1080, 5760}, 1.0f, 1.0f * 0.1875f, 1.0f},
        {"at negative coordinates", {-1920, -200, 0, 880}, 1.0f, 1.7778f * kTan25, kTan25},
        {"an empty canvas stands for the back buffer", {0, 0, 0, 0}, 1.0f, 1.3333f * kTan25, kTan25},
    };
    for (const auto& c : cases) {
        View view = MakeView(c.canvas, c.canvas, c.pixelAspect);
        if (c.canvas.right == c.canvas.left) view.width = 800, view.height = 600;
        const Frustum f = scene::CanvasFrustum(view);
        EXPECT_NEAR(f.right, c.halfWidth, 2e-3f) << c.what;
        EXPECT_NEAR(f.left, -c.halfWidth, 2e-3f) << c.what;
        EXPECT_NEAR(f.top, c.halfHeight, 2e-3f) << c.what;
        EXPECT_NEAR(f.bottom, -c.halfHeight, 2e-3f) << c.what;
    }
}

// Monitors side by side: where two areas touch, their frustums share the edge,
// and the parts together make the canvas's frustum.
TEST(SceneProjection, NeighbouringAreasShareTheirEdges) {
    const struct {
        const char* what;
        ViewRect canvas, first, second;
        bool sideBySide; // else one above the other
    } cases[] = {
        {"two equal monitors", {0, 0, 3840, 1080}, {0, 0, 1920, 1080}, {1920, 0, 3840, 1080}, true},
        {"a smaller monitor to the right, top-aligned",
         {0, 0, 2304, 1024},
         {0, 0, 1280, 1024},
         {1280, 0, 2304, 768},
         true},
        {"left of the primary, at negative coordinates",
         {-1920, 0, 1920, 1080},
         {-1920, 0, 0, 1080},
         {0, 0, 1920, 1080},
         true},
        {"a landscape and a portrait monitor", {0, 0, 3000, 1920}, {0, 420, 1920, 1500}, {1920, 0, 3000, 1920}, true},
        {"one above the other", {0, -1080, 1920, 1080}, {0, -1080, 1920, 0}, {0, 0, 1920, 1080}, false},
    };
    for (const auto& c : cases) {
        const Frustum whole = scene::CanvasFrustum(MakeView(c.canvas, c.canvas));
        const Frustum a = scene::ViewFrustum(MakeView(c.canvas, c.first));
        const Frustum b = scene::ViewFrustum(MakeView(c.canvas, c.second));
        if (c.sideBySide) {
            EXPECT_NEAR(a.right, b.left, 1e-5f) << c.what;
            EXPECT_NEAR(a.left, whole.left, 1e-5f) << c.what;
            EXPECT_NEAR(b.right, whole.right, 1e-5f) << c.what;
        } else {
            EXPECT_NEAR(a.bottom, b.top, 1e-5f) << c.what;
            EXPECT_NEAR(a.top, whole.top, 1e-5f) << c.what;
            EXPECT_NEAR(b.bottom, whole.bottom, 1e-5f) << c.what;
        }
        // Every view keeps the canvas's scale: its tangent span over its pixels.
        const float scaleA = (a.right - a.left) / static_cast<float>(c.first.right - c.first.left);
        const float scaleB = (b.top - b.bottom) / static_cast<float>(c.second.bottom - c.second.top);
        EXPECT_NEAR(scaleA, (whole.right - whole.left) / static_cast<float>(c.canvas.right - c.canvas.left), 1e-7f)
            << c.what;
        EXPECT_NEAR(scaleB, (whole.top - whole.bottom) / static_cast<float>(c.canvas.bottom - c.canvas.top), 1e-7f)
            << c.what;
    }
}

TEST(SceneProjection, MatricesTakeTheFrustumOntoTheScreen) {
    const Frustum frusta[] = {{-0.8f, 0.8f, -0.45f, 0.45f}, {0.1f, 1.5f, -0.3f, 0.6f}, {-1.5f, -0.2f, -1.0f, -0.1f}};
    for (const Frustum& f : frusta) {
        const scene::Mat4 m = scene::PerspectiveMatrix(f, 4.0f, 3000.0f);
        const struct {
            float x, y, z; // a point on the frustum's edges, in view space
            float screenX, screenY, depth;
        } points[] = {
            {f.left * 4.0f, f.bottom * 4.0f, 4.0f, -1, -1, 0},
            {f.right * 3000.0f, f.top * 3000.0f, 3000.0f, 1, 1, 1},
            {f.left * 50.0f, f.top * 50.0f, 50.0f, -1, 1, -1},
        };
        for (const auto& p : points) {
            const scene::Vec4 clip = scene::Transform({p.x, p.y, p.z}, m);
            EXPECT_NEAR(clip.x / clip.w, p.screenX, 1e-4f);
            EXPECT_NEAR(clip.y / clip.w, p.screenY, 1e-4f);
            if (p.depth >= 0) {
                EXPECT_NEAR(clip.z / clip.w, p.depth, 1e-4f);
            }
        }
    }
    // The camera's axes become the view's: right is x, up is y, ahead is z.
    const scene::Vec3 right{0.6f, 0.8f, 0}, up{0, 0, 1}, forward{0.8f, -0.6f, 0};
    const scene::Mat4 v = scene::ViewMatrix(right, up, forward);
    const scene::Vec4 r = scene::Transform(right, v), u = scene::Transform(up, v), a = scene::Transform(forward, v);
    EXPECT_NEAR(r.x, 1, 1e-6f);
    EXPECT_NEAR(u.y, 1, 1e-6f);
    EXPECT_NEAR(a.z, 1, 1e-6f);
    EXPECT_NEAR(r.z, 0, 1e-6f);
}

TEST(SceneProjection, PixelsPerTangentFollowTheBackBuffer) {
    // The back buffer may be smaller than the monitor (drawn at a lower
    // resolution and scaled up): sizes in pixels scale with it.
    View full = MakeView({0, 0, 1920, 1080}, {0, 0, 1920, 1080});
    View half = full;
    half.width = 960;
    half.height = 540;
    EXPECT_NEAR(scene::PixelsPerTangent(full), 1080.0f / (2 * kTan25), 1.0f);
    EXPECT_NEAR(scene::PixelsPerTangent(half), scene::PixelsPerTangent(full) / 2, 1e-3f);
}

} // namespace
