// How one monitor's view sees the world: all views of a canvas share one
// camera and one image plane, each taking its own part of it, so that
// monitors side by side show one continuous picture.
#pragma once

#include "main_program/scene/scene.h"
#include "main_program/scene/scene_math.h"

namespace scene {

// The view's edges on the image plane at unit distance in front of the
// camera: tangents of the angles to its sides. Left < right, bottom < top.
struct Frustum {
    float left = -1, right = 1, bottom = -1, top = 1;
};

// The edges of the whole canvas: about 50 degrees high, unless that would make
// it wider than about 112 degrees (a very wide canvas) or narrower than
// about 44 degrees (a tall one).
Frustum CanvasFrustum(const View& view);
// This view's part of the canvas's frustum.
Frustum ViewFrustum(const View& view);

// Direct3D's left-handed off-centre perspective for a frustum.
Mat4 PerspectiveMatrix(const Frustum& frustum, float nearDistance, float farDistance);
// From camera-relative world space (right-handed, z up) to Direct3D's view
// space (left-handed, x right, y up, z ahead).
Mat4 ViewMatrix(Vec3 right, Vec3 up, Vec3 forward);

// How many of the back buffer's pixels one unit of the image plane spans
// vertically: converts a size at a distance into pixels.
float PixelsPerTangent(const View& view);

} // namespace scene
