// The scene as the rest of the main program sees it: one world shared by every
// monitor, advanced once per frame, and one renderer per Direct3D 9 device
// that draws a view of it.
#pragma once

#include "main_program/scene/scene_events.h"

#include <cstdint>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <d3d9.h>
#endif

namespace scene {

// Detail tiers: geometry and effects, and texture resolution, chosen apart.
enum class Detail { Low = 0, Medium = 1, High = 2 };

struct DetailChoice {
    Detail geometry = Detail::Medium;
    Detail textures = Detail::Medium;
};

// One monitor's view of the world. The canvas is the rectangle around every
// monitor that shows the scene, in virtual-screen pixels; the area is this
// monitor's part of it. Views of one canvas join up into one picture.
struct ViewRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct View {
    ViewRect canvas;
    ViewRect area;
    float pixelAspect = 1.0f; // a pixel's width over its height on this monitor
    std::uint32_t width = 0;  // the back buffer the view is drawn into
    std::uint32_t height = 0;
};

// The world: time, camera, sky, drifting lights, and the generated landscape
// data that every renderer uploads. Portable; advanced on the render loop's
// thread. Generation is progressive: a simple world at once, then detail
// computed on a thread of its own.
class World {
  public:
    virtual ~World() = default;
    // A world from `seed`; the same seed gives the same landscape.
    static std::unique_ptr<World> Create(std::uint32_t seed);

    // Moves time on by `seconds` (clamped to a sane step).
    virtual void Advance(double seconds) = 0;
    // The events since the last call, oldest first.
    virtual std::vector<SceneEvent> TakeEvents() = 0;
    // Whether all the detail asked for so far (the renderers' textures) has
    // been generated and handed over; until then the scene is still filling in.
    virtual bool DetailComplete() = 0;
};

#ifdef _WIN32
// Draws the world on one device. Every resource it makes in the default pool
// is released by ReleaseDefaultPool and made again by RestoreDefaultPool, so
// that a lost device can be reset.
class Renderer {
  public:
    virtual ~Renderer() = default;
    // Null when the device cannot hold the renderer's buffers. The device
    // and the world must outlive the renderer.
    static std::unique_ptr<Renderer> Create(World& world, IDirect3DDevice9& device, DetailChoice detail);

    virtual void ReleaseDefaultPool() = 0;
    virtual bool RestoreDefaultPool() = 0;
    // A new detail choice; resources are made again where it changes them.
    virtual void SetDetail(DetailChoice detail) = 0;
    // Clears the device's current render target and depth buffer and draws
    // the view over all of it (a width or height of 0 takes the target's),
    // within a BeginScene/EndScene pair of its own; the caller presents.
    virtual void Render(const View& view) = 0;
};
#endif

} // namespace scene
