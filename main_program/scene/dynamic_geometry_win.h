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

// The vertex layouts of scene::Vertex and scene::SkyVertex.
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kSkyVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

// Buffers for one vertex layout.
class DynamicGeometry {
  public:
    DynamicGeometry(UINT stride, DWORD format, UINT vertexCapacity, UINT indexCapacity)
        : stride_(stride), format_(format), vertexCapacity_(vertexCapacity), indexCapacity_(indexCapacity) {}
    bool Create(IDirect3DDevice9& device, bool softwareVertices);
    void Release();
    explicit operator bool() const { return vertices_ && indices_; }

    // Uploads vertices; false when they could not be (too many, or a lost device).
    bool PutVertices(const void* vertices, std::size_t count, UINT& base);
    // Draws an indexed triangle list over vertices uploaded at `base`.
    bool DrawIndexed(IDirect3DDevice9& device, UINT base, UINT vertexCount, const std::uint16_t* indices,
                     std::size_t indexCount);
    // Draws vertices as they come: a triangle list, a strip, points.
    bool Draw(IDirect3DDevice9& device, D3DPRIMITIVETYPE type, const void* vertices, std::size_t count);
    // Binds the buffers; called once per frame before drawing.
    void Bind(IDirect3DDevice9& device);

    // Triangles and draw calls since the last reset.
    std::uint32_t Triangles() const { return triangles_; }
    std::uint32_t Draws() const { return draws_; }
    void ResetCounts() { triangles_ = draws_ = 0; }

  private:
    UINT stride_;
    DWORD format_;
    UINT vertexCapacity_, indexCapacity_;
    platform::ComPtr<IDirect3DVertexBuffer9> vertices_;
    platform::ComPtr<IDirect3DIndexBuffer9> indices_;
    UINT vertexNext_ = 0, indexNext_ = 0;
    std::uint32_t triangles_ = 0, draws_ = 0;
};

} // namespace scene
