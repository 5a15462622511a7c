// Draws the world on one Direct3D 9 device through the fixed-function pipeline.
#include "main_program/scene/dynamic_geometry_win.h"
#include "main_program/scene/projection.h"
#include "main_program/scene/world_state.h"

#include <windows.h>

#include <array>
#include <vector>

namespace scene {

namespace {

constexpr float kNear = 4.0f;

D3DMATRIX ToD3D(const Mat4& m) {
    D3DMATRIX d;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) d.m[i][j] = m.m[i][j];
    return d;
}

// The four side planes of a view, in camera-relative world space; a box is
// seen when it is on the inner side of all of them.
class Cone {
  public:
    Cone(const Frustum& f, const CameraPose& camera) {
        const Vec3 local[4] = {{1, 0, -f.left}, {-1, 0, f.right}, {0, 1, -f.bottom}, {0, -1, f.top}};
        for (int i = 0; i < 4; ++i)
            planes_[static_cast<std::size_t>(i)] = camera.right * local[i].x + camera.up * local[i].y + camera.forward * local[i].z;
    }
    bool Sees(const Block& block) const {
        for (const Vec3& n : planes_) {
            const Vec3 outer{n.x >= 0 ? block.high.x : block.low.x, n.y >= 0 ? block.high.y : block.low.y,
                           n.z >= 0 ? block.high.z : block.low.z};
            if (Dot(n, outer) < 0) return false;
        }
        return true;
    }

  private:
    std::array<Vec3, 4> planes_;
};

class DeviceRenderer final : public Renderer {
  public:
    DeviceRenderer(WorldState& world, IDirect3DDevice9& device, DetailChoice detail)
        : world_(world), device_(device), detail_(detail) {
        device_.GetDeviceCaps(&caps_);
        D3DDEVICE_CREATION_PARAMETERS creation{};
        if (SUCCEEDED(device_.GetCreationParameters(&creation)))
            softwareVertices_ = (creation.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
    }

    void ReleaseDefaultPool() override { geometry_.Release(); }
    bool RestoreDefaultPool() override { return geometry_.Create(device_, softwareVertices_); }
    void SetDetail(DetailChoice detail) override { detail_ = detail; }
    void Render(const View& view) override;

  private:
    void DrawMeshes(const std::vector<Mesh>& meshes, const Cone& cone);
    void SetCommonStates();

    WorldState& world_;
    IDirect3DDevice9& device_;
    DetailChoice detail_;
    D3DCAPS9 caps_{};
    bool softwareVertices_ = false;
    DynamicGeometry geometry_;
    std::vector<std::uint16_t> visible_;
};

void DeviceRenderer::SetCommonStates() {
    device_.SetRenderState(D3DRS_LIGHTING, FALSE);
    device_.SetRenderState(D3DRS_FOGENABLE, FALSE);
    device_.SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device_.SetRenderState(D3DRS_DITHERENABLE, TRUE);
    device_.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device_.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device_.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device_.SetRenderState(D3DRS_CLIPPING, TRUE);
    device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device_.SetTexture(0, nullptr);
    const D3DMATRIX identity = ToD3D(Mat4{});
    device_.SetTransform(D3DTS_WORLD, &identity);
}

void DeviceRenderer::DrawMeshes(const std::vector<Mesh>& meshes, const Cone& cone) {
    for (const Mesh& mesh : meshes) {
        visible_.clear();
        for (const Block& block : mesh.blocks)
            if (cone.Sees(block))
                visible_.insert(visible_.end(), mesh.indices.begin() + block.firstIndex,
                                mesh.indices.begin() + block.firstIndex + block.indexCount);
        if (visible_.empty()) continue;
        UINT base = 0;
        if (!geometry_.PutVertices(mesh.vertices.data(), mesh.vertices.size(), base)) continue;
        geometry_.DrawIndexed(device_, base, static_cast<UINT>(mesh.vertices.size()), visible_.data(), visible_.size());
    }
}

void DeviceRenderer::Render(const View& requested) {
    View view = requested;
    if (view.width == 0 || view.height == 0) {
        platform::ComPtr<IDirect3DSurface9> target;
        D3DSURFACE_DESC desc{};
        if (FAILED(device_.GetRenderTarget(0, target.Receive())) || FAILED(target->GetDesc(&desc))) return;
        view.width = desc.Width;
        view.height = desc.Height;
    }
    const D3DVIEWPORT9 viewport{0, 0, view.width, view.height, 0.0f, 1.0f};
    device_.SetViewport(&viewport);
    const SkyState& sky = world_.Sky();
    const CameraPose& camera = world_.Camera();
    device_.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, PackColor(sky.horizonAway), 1.0f, 0);
    if (!geometry_ || FAILED(device_.BeginScene())) return;

    SetCommonStates();
    geometry_.Bind(device_);
    const Frustum frustum = ViewFrustum(view);
    const Cone cone(frustum, camera);
    const D3DMATRIX viewMatrix = ToD3D(ViewMatrix(camera.right, camera.up, camera.forward));
    device_.SetTransform(D3DTS_VIEW, &viewMatrix);

    // The sky, behind everything.
    const D3DMATRIX skyProjection = ToD3D(PerspectiveMatrix(frustum, 1.0f, 2000.0f));
    device_.SetTransform(D3DTS_PROJECTION, &skyProjection);
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    const Mesh& dome = world_.SkyDome();
    UINT base = 0;
    if (geometry_.PutVertices(dome.vertices.data(), dome.vertices.size(), base))
        geometry_.DrawIndexed(device_, base, static_cast<UINT>(dome.vertices.size()), dome.indices.data(), dome.indices.size());

    // The water first, so that the ground below it fails the depth test; then the ground.
    const Landscape& land = world_.LandscapeFor(detail_.geometry);
    const D3DMATRIX groundProjection = ToD3D(PerspectiveMatrix(frustum, kNear, land.farDistance * 1.05f));
    device_.SetTransform(D3DTS_PROJECTION, &groundProjection);
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawMeshes(land.water, cone);
    device_.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawMeshes(land.ground, cone);

    device_.EndScene();
}

} // namespace

std::unique_ptr<Renderer> Renderer::Create(World& world, IDirect3DDevice9& device, DetailChoice detail) {
    // Every World comes from World::Create, which makes a WorldState.
    auto renderer = std::make_unique<DeviceRenderer>(static_cast<WorldState&>(world), device, detail);
    if (!renderer->RestoreDefaultPool()) return nullptr;
    return renderer;
}

} // namespace scene
