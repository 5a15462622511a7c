// What the renderer offers beyond scene::Renderer, for the tests and the
// benchmark: figures of its last frame, and a renderer that takes a device
// to be less able than it is.
#pragma once

#include "main_program/scene/scene.h"

#include <d3d9.h>

#include <cstdint>
#include <memory>

namespace scene {

struct RenderStats {
    std::uint32_t triangles = 0; // drawn in the last call to Render
    std::uint32_t draws = 0;
    std::uint32_t textures = 0; // on the device
};
RenderStats LastRenderStats(const Renderer& renderer);

// A renderer that takes the device's abilities to be at most `limits`: its
// point size, texture size, clip planes, and texture stages.
std::unique_ptr<Renderer> CreateRendererWithLimits(World& world, IDirect3DDevice9& device, DetailChoice detail,
                                                   const D3DCAPS9& limits);

} // namespace scene
