// Per-frame vertex and index uploads.
#include "main_program/scene/dynamic_geometry_win.h"

#include <cstring>

namespace scene {

bool DynamicGeometry::Create(IDirect3DDevice9& device, bool softwareVertices) {
    Release();
    const DWORD usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | (softwareVertices ? D3DUSAGE_SOFTWAREPROCESSING : 0);
    if (FAILED(device.CreateVertexBuffer(kVertexCapacity * sizeof(Vertex), usage, kVertexFormat, D3DPOOL_DEFAULT,
                                         vertices_.Receive(), nullptr)) ||
        FAILED(device.CreateIndexBuffer(kIndexCapacity * sizeof(std::uint16_t), usage, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                        indices_.Receive(), nullptr))) {
        Release();
        return false;
    }
    return true;
}

void DynamicGeometry::Release() {
    vertices_.Reset();
    indices_.Reset();
    vertexNext_ = indexNext_ = 0;
}

void DynamicGeometry::Bind(IDirect3DDevice9& device) {
    device.SetStreamSource(0, vertices_.Get(), 0, sizeof(Vertex));
    device.SetIndices(indices_.Get());
    device.SetFVF(kVertexFormat);
}

bool DynamicGeometry::PutVertices(const Vertex* vertices, std::size_t count, UINT& base) {
    if (!vertices_ || count == 0 || count > kVertexCapacity) return false;
    const auto n = static_cast<UINT>(count);
    DWORD flags = D3DLOCK_NOOVERWRITE;
    if (vertexNext_ + n > kVertexCapacity) {
        vertexNext_ = 0;
        flags = D3DLOCK_DISCARD;
    }
    void* data = nullptr;
    if (FAILED(vertices_->Lock(vertexNext_ * sizeof(Vertex), n * sizeof(Vertex), &data, flags)) || !data) return false;
    std::memcpy(data, vertices, n * sizeof(Vertex));
    vertices_->Unlock();
    base = vertexNext_;
    vertexNext_ += n;
    return true;
}

bool DynamicGeometry::DrawIndexed(IDirect3DDevice9& device, UINT base, UINT vertexCount, const std::uint16_t* indices,
                                  std::size_t indexCount) {
    if (!indices_ || indexCount < 3 || indexCount > kIndexCapacity) return false;
    const auto n = static_cast<UINT>(indexCount);
    DWORD flags = D3DLOCK_NOOVERWRITE;
    if (indexNext_ + n > kIndexCapacity) {
        indexNext_ = 0;
        flags = D3DLOCK_DISCARD;
    }
    void* data = nullptr;
    if (FAILED(indices_->Lock(indexNext_ * sizeof(std::uint16_t), n * sizeof(std::uint16_t), &data, flags)) || !data)
        return false;
    std::memcpy(data, indices, n * sizeof(std::uint16_t));
    indices_->Unlock();
    const HRESULT drawn = device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, static_cast<INT>(base), 0, vertexCount,
                                                      indexNext_, n / 3);
    indexNext_ += n;
    return SUCCEEDED(drawn);
}

bool DynamicGeometry::Draw(IDirect3DDevice9& device, D3DPRIMITIVETYPE type, const Vertex* vertices, std::size_t count) {
    UINT base = 0;
    if (!PutVertices(vertices, count, base)) return false;
    UINT primitives = 0;
    const auto n = static_cast<UINT>(count);
    switch (type) {
    case D3DPT_TRIANGLELIST: primitives = n / 3; break;
    case D3DPT_TRIANGLESTRIP: primitives = n >= 3 ? n - 2 : 0; break;
    case D3DPT_LINELIST: primitives = n / 2; break;
    default: primitives = n; break;
    }
    return primitives > 0 && SUCCEEDED(device.DrawPrimitive(type, base, primitives));
}

} // namespace scene
