// Vertex and index buffers in the default pool, refilled every frame: each
// upload goes after the last one, and the buffer starts over (discarding its
// old contents without a stall) when it is full.
#pragma once

#include "main_program/scene/scene_geometry.h"
#include "platform/com_objects_win.h"

#include <d3d9.h>

#include <cstddef>
#include <cstdint>

namespace scene {

// The vertex layout of scene::Vertex.
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class DynamicGeometry {
  public:
    bool Create(IDirect3DDevice9& device, bool softwareVertices);
    void Release();
    explicit operator bool() const { return vertices_ && indices_; }

    // Uploads vertices; false when they could not be (too many, or a lost device).
    bool PutVertices(const Vertex* vertices, std::size_t count, UINT& base);
    // Draws an indexed triangle list over vertices uploaded at `base`.
    bool DrawIndexed(IDirect3DDevice9& device, UINT base, UINT vertexCount, const std::uint16_t* indices,
                     std::size_t indexCount);
    // Draws vertices as they come: a triangle list, a strip, points.
    bool Draw(IDirect3DDevice9& device, D3DPRIMITIVETYPE type, const Vertex* vertices, std::size_t count);
    // Binds the buffers; called once per frame before drawing.
    void Bind(IDirect3DDevice9& device);

  private:
    static constexpr UINT kVertexCapacity = 98304;
    static constexpr UINT kIndexCapacity = 196608;
    platform::ComPtr<IDirect3DVertexBuffer9> vertices_;
    platform::ComPtr<IDirect3DIndexBuffer9> indices_;
    UINT vertexNext_ = 0, indexNext_ = 0;
};

} // namespace scene
