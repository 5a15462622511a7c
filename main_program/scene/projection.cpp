// Projections for the views of a canvas.
#include "main_program/scene/projection.h"

#include <algorithm>

namespace scene {

namespace {

float Width(const ViewRect& r) { return static_cast<float>(r.right - r.left); }
float Height(const ViewRect& r) { return static_cast<float>(r.bottom - r.top); }

// A canvas or area with no size stands for the back buffer itself.
ViewRect OrBackBuffer(const ViewRect& r, const View& view) {
    if (r.right > r.left && r.bottom > r.top) return r;
    return {0, 0, static_cast<std::int32_t>(std::max(1u, view.width)), static_cast<std::int32_t>(std::max(1u, view.height))};
}

} // namespace

Frustum CanvasFrustum(const View& view) {
    const ViewRect canvas = OrBackBuffer(view.canvas, view);
    const float pixelAspect = view.pixelAspect > 0.05f && view.pixelAspect < 20.0f ? view.pixelAspect : 1.0f;
    const float aspect = Width(canvas) * pixelAspect / Height(canvas);
    constexpr float kHalfHeight = 0.4663f; // tan(25 degrees)
    constexpr float kWidest = 1.5f, kNarrowest = 0.4f, kTallest = 1.0f;
    float halfWidth = aspect * kHalfHeight, halfHeight = kHalfHeight;
    if (halfWidth > kWidest) {
        halfWidth = kWidest;
        halfHeight = kWidest / aspect;
    } else if (halfWidth < kNarrowest) {
        halfHeight = std::min(kTallest, kNarrowest / aspect);
        halfWidth = aspect * halfHeight;
    }
    return {-halfWidth, halfWidth, -halfHeight, halfHeight};
}

Frustum ViewFrustum(const View& view) {
    const Frustum whole = CanvasFrustum(view);
    const ViewRect canvas = OrBackBuffer(view.canvas, view);
    const ViewRect area = view.area.right > view.area.left && view.area.bottom > view.area.top ? view.area : canvas;
    auto across = [&](std::int32_t x) {
        return whole.left + (whole.right - whole.left) * static_cast<float>(x - canvas.left) / Width(canvas);
    };
    auto down = [&](std::int32_t y) {
        return whole.top - (whole.top - whole.bottom) * static_cast<float>(y - canvas.top) / Height(canvas);
    };
    return {across(area.left), across(area.right), down(area.bottom), down(area.top)};
}

Mat4 PerspectiveMatrix(const Frustum& f, float nearDistance, float farDistance) {
    Mat4 m;
    const float depth = farDistance / (farDistance - nearDistance);
    m.m[0][0] = 2.0f / (f.right - f.left);
    m.m[1][1] = 2.0f / (f.top - f.bottom);
    m.m[2][0] = -(f.right + f.left) / (f.right - f.left);
    m.m[2][1] = -(f.top + f.bottom) / (f.top - f.bottom);
    m.m[2][2] = depth;
    m.m[2][3] = 1.0f;
    m.m[3][2] = -nearDistance * depth;
    m.m[3][3] = 0.0f;
    return m;
}

Mat4 ViewMatrix(Vec3 right, Vec3 up, Vec3 forward) {
    Mat4 m;
    m.m[0][0] = right.x, m.m[0][1] = up.x, m.m[0][2] = forward.x;
    m.m[1][0] = right.y, m.m[1][1] = up.y, m.m[1][2] = forward.y;
    m.m[2][0] = right.z, m.m[2][1] = up.z, m.m[2][2] = forward.z;
    return m;
}

float PixelsPerTangent(const View& view) {
    const Frustum f = ViewFrustum(view);
    return static_cast<float>(std::max(1u, view.height)) / (f.top - f.bottom);
}

} // namespace scene
