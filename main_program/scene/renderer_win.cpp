// Draws the world on one Direct3D 9 device through the fixed-function pipeline.
#include "main_program/scene/dynamic_geometry_win.h"
#include "main_program/scene/projection.h"
#include "main_program/scene/scene_textures_win.h"
#include "main_program/scene/world_state.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace scene {

namespace {

constexpr float kNear = 4.0f;
constexpr float kSkyFar = 30000.0f;
constexpr D3DCOLOR kNeutralGrey = 0xFF808080u;

D3DMATRIX ToD3D(const Mat4& m) {
    D3DMATRIX d;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) d.m[i][j] = m.m[i][j];
    return d;
}

DWORD FloatBits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// Mirrors across the horizontal plane `height` above (or below) the camera.
Mat4 MirrorMatrix(float height) {
    Mat4 m;
    m.m[2][2] = -1.0f;
    m.m[3][2] = 2.0f * height;
    return m;
}

// A texture transform that scales and then slides 2D coordinates.
D3DMATRIX TextureMatrix(float scale, float angle, float shiftU, float shiftV) {
    Mat4 m;
    m.m[0][0] = scale * std::cos(angle);
    m.m[0][1] = scale * std::sin(angle);
    m.m[1][0] = -scale * std::sin(angle);
    m.m[1][1] = scale * std::cos(angle);
    m.m[2][0] = shiftU;
    m.m[2][1] = shiftV;
    return ToD3D(m);
}

// The four side planes of a view, in camera-relative world space; a box is
// seen when it is on the inner side of all of them.
class Cone {
  public:
    Cone(const Frustum& f, const CameraPose& camera) {
        const Vec3 local[4] = {{1, 0, -f.left}, {-1, 0, f.right}, {0, 1, -f.bottom}, {0, -1, f.top}};
        for (std::size_t i = 0; i < planes_.size(); ++i)
            planes_[i] = camera.right * local[i].x + camera.up * local[i].y + camera.forward * local[i].z;
    }
    // The block mirrored in the water `waterZ` below the camera.
    bool SeesMirrored(const Block& block, float waterZ) const {
        Block image = block;
        image.low.z = 2.0f * waterZ - block.high.z;
        image.high.z = 2.0f * waterZ - block.low.z;
        return Sees(image);
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
        : world_(world), device_(device), detail_(detail), textures_(device, caps_) {
        device_.GetDeviceCaps(&caps_);
        D3DDEVICE_CREATION_PARAMETERS creation{};
        if (SUCCEEDED(device_.GetCreationParameters(&creation)))
            softwareVertices_ = (creation.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
        pointSprites_ = caps_.MaxPointSize >= 2.0f;
        twoStages_ = caps_.MaxTextureBlendStages >= 2 && caps_.MaxSimultaneousTextures >= 2;
        world_.RequestTextures(detail_.textures);
    }

    void ReleaseDefaultPool() override {
        geometry_.Release();
        textures_.ReleaseDefaultPool();
    }
    bool RestoreDefaultPool() override { return geometry_.Create(device_, softwareVertices_); }
    void SetDetail(DetailChoice detail) override {
        detail_ = detail;
        world_.RequestTextures(detail_.textures);
    }
    void Render(const View& view) override;

  private:
    enum class Blend { None, Over, Add };
    void SetBlend(Blend blend);
    void PlainStages();
    void TexturedStages(TextureKind kind);
    void DrawMeshes(const std::vector<Mesh>& meshes, const Cone& cone, const float* mirroredIn = nullptr);
    void DrawMesh(const Mesh& mesh);
    void DrawSprites(const std::vector<Sprite>& sprites, const View& view, float brightness = 1.0f);
    void DrawStreaks(const std::vector<Streak>& streaks, const View& view);
    void DrawStars(const SkyScenery& sky, const View& view);
    void DrawSky(const SkyScenery& sky, const View& view, bool mirrored);
    void DrawWater(const Landscape& land, const Cone& cone);
    void DrawGround(const Landscape& land, const Cone& cone, const float* mirroredIn = nullptr);
    bool DrawReflection(const Landscape& land, const NearScenery& nearby, const Cone& cone, const View& view);
    void SetWorld(const Mat4& m) {
        const D3DMATRIX d = ToD3D(m);
        device_.SetTransform(D3DTS_WORLD, &d);
    }

    WorldState& world_;
    IDirect3DDevice9& device_;
    DetailChoice detail_;
    D3DCAPS9 caps_{};
    SceneTextures textures_;
    bool softwareVertices_ = false;
    bool pointSprites_ = false;
    bool twoStages_ = false;
    DynamicGeometry geometry_;
    std::vector<std::uint16_t> visible_;
    std::vector<Vertex> quads_;
};

void DeviceRenderer::SetBlend(Blend blend) {
    device_.SetRenderState(D3DRS_ALPHABLENDENABLE, blend != Blend::None);
    if (blend == Blend::None) return;
    device_.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_.SetRenderState(D3DRS_DESTBLEND, blend == Blend::Add ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
}

void DeviceRenderer::PlainStages() {
    device_.SetTexture(0, nullptr);
    device_.SetTexture(1, nullptr);
    device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device_.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device_.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
}

// The texture's colour and alpha times the vertex's; plain when it has not come yet.
void DeviceRenderer::TexturedStages(TextureKind kind) {
    PlainStages();
    IDirect3DTexture9* texture = textures_.Get(kind);
    if (!texture) return;
    device_.SetTexture(0, texture);
    device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

void DeviceRenderer::DrawMesh(const Mesh& mesh) {
    UINT base = 0;
    if (!mesh.indices.empty() && geometry_.PutVertices(mesh.vertices.data(), mesh.vertices.size(), base))
        geometry_.DrawIndexed(device_, base, static_cast<UINT>(mesh.vertices.size()), mesh.indices.data(),
                              mesh.indices.size());
}

void DeviceRenderer::DrawMeshes(const std::vector<Mesh>& meshes, const Cone& cone, const float* mirroredIn) {
    for (const Mesh& mesh : meshes) {
        visible_.clear();
        for (const Block& block : mesh.blocks)
            if (mirroredIn ? cone.SeesMirrored(block, *mirroredIn) : cone.Sees(block))
                visible_.insert(visible_.end(), mesh.indices.begin() + block.firstIndex,
                                mesh.indices.begin() + block.firstIndex + block.indexCount);
        if (visible_.empty()) continue;
        UINT base = 0;
        if (!geometry_.PutVertices(mesh.vertices.data(), mesh.vertices.size(), base)) continue;
        geometry_.DrawIndexed(device_, base, static_cast<UINT>(mesh.vertices.size()), visible_.data(), visible_.size());
    }
}

// Sprites become rectangles facing the camera (or upright), each grown to its
// least size in this view's pixels and dimmed to keep its light.
void DeviceRenderer::DrawSprites(const std::vector<Sprite>& sprites, const View& view, float brightness) {
    const CameraPose& camera = world_.Camera();
    const float pixelsPerTangent = PixelsPerTangent(view);
    const Vec3 flatRight = Normalize({camera.right.x, camera.right.y, 0});
    TextureKind bound = TextureKind::Count;
    quads_.clear();
    auto flush = [&] {
        if (!quads_.empty()) geometry_.Draw(device_, D3DPT_TRIANGLELIST, quads_.data(), quads_.size());
        quads_.clear();
    };
    for (const Sprite& sprite : sprites) {
        const float depth = Dot(sprite.centre, camera.forward);
        if (depth <= kNear) continue;
        if (sprite.texture != bound) {
            flush();
            TexturedStages(sprite.texture);
            bound = sprite.texture;
        }
        float scale = 1.0f;
        const float pixels = sprite.width * pixelsPerTangent / depth;
        if (pixels < sprite.minPixels) scale = sprite.minPixels / std::max(pixels, 1e-3f);
        const float light = brightness / (scale * scale);
        const Vec3 right = (sprite.upright ? flatRight : camera.right) * (0.5f * sprite.width * scale);
        const Vec3 up = (sprite.upright ? Vec3{0, 0, 1} : camera.up) * (0.5f * sprite.height * scale);
        const std::uint32_t color = PackColor(sprite.color * std::min(1.0f, light), sprite.alpha * std::min(1.0f, light));
        const Vec3 c = sprite.centre;
        const Vec3 corners[4] = {c - right - up, c + right - up, c + right + up, c - right + up};
        const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int index : {0, 1, 2, 0, 2, 3})
            quads_.push_back({corners[index].x, corners[index].y, corners[index].z, color, uv[index][0], uv[index][1]});
    }
    flush();
}

void DeviceRenderer::DrawStreaks(const std::vector<Streak>& streaks, const View& view) {
    const CameraPose& camera = world_.Camera();
    const float pixelsPerTangent = PixelsPerTangent(view);
    PlainStages();
    quads_.clear();
    for (const Streak& streak : streaks) {
        const float depth = Dot(streak.head, camera.forward);
        if (depth <= kNear) continue;
        const Vec3 side = Normalize(Cross(streak.head - streak.tail, streak.head)) *
                          (0.5f * streak.widthPixels * depth / pixelsPerTangent);
        const std::uint32_t head = PackColor(streak.color, 1.0f), tail = PackColor(streak.color, 0.0f);
        const Vertex v[4] = {{streak.tail.x - side.x, streak.tail.y - side.y, streak.tail.z - side.z, tail, 0, 0},
                             {streak.head.x - side.x, streak.head.y - side.y, streak.head.z - side.z, head, 0, 0},
                             {streak.head.x + side.x, streak.head.y + side.y, streak.head.z + side.z, head, 0, 0},
                             {streak.tail.x + side.x, streak.tail.y + side.y, streak.tail.z + side.z, tail, 0, 0}};
        for (int index : {0, 1, 2, 0, 2, 3}) quads_.push_back(v[index]);
    }
    if (!quads_.empty()) geometry_.Draw(device_, D3DPT_TRIANGLELIST, quads_.data(), quads_.size());
}

void DeviceRenderer::DrawStars(const SkyScenery& sky, const View& view) {
    if (sky.stars.empty()) return;
    // Soft dots a little larger on large screens, where the device can; else single pixels.
    float size = 1.0f;
    if (pointSprites_ && textures_.Get(TextureKind::Glow)) {
        size = std::min(std::max(2.0f, 2.6f * static_cast<float>(view.height) / 1080.0f), std::min(6.0f, caps_.MaxPointSize));
        TexturedStages(TextureKind::Glow);
        device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    } else {
        PlainStages();
    }
    device_.SetRenderState(D3DRS_POINTSPRITEENABLE, size > 1.0f);
    device_.SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(size));
    geometry_.Draw(device_, D3DPT_POINTLIST, sky.stars.data(), sky.stars.size());
    device_.SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(1.0f));
}

// Everything far off: the dome, stars, sun and moon, and the clouds. Drawn
// mirrored, it is what the water reflects.
void DeviceRenderer::DrawSky(const SkyScenery& sky, const View& view, bool mirrored) {
    SetWorld(mirrored ? MirrorMatrix(0.0f) : Mat4{});
    if (!mirrored) {
        SetBlend(Blend::None);
        PlainStages();
        DrawMesh(sky.dome);
    }
    SetBlend(Blend::Add);
    DrawStars(sky, view);
    if (!mirrored) DrawStreaks(sky.streaks, view);
    SetBlend(Blend::Over);
    if (textures_.Get(TextureKind::Moon)) DrawSprites(sky.moon, view);
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Glow)) DrawSprites(sky.lights, view, mirrored ? 0.6f : 1.0f);
    if (IDirect3DTexture9* clouds = textures_.Get(TextureKind::Clouds)) {
        if (mirrored) SetWorld(MirrorMatrix(-static_cast<float>(world_.Camera().position.z - kWaterLevel)));
        SetBlend(Blend::Over);
        TexturedStages(TextureKind::Clouds);
        device_.SetTexture(0, clouds);
        DrawMesh(sky.clouds);
    }
    SetWorld(Mat4{});
}

void DeviceRenderer::DrawWater(const Landscape& land, const Cone& cone) {
    // Two layers of ripples drifting apart vary how much of the sky the water mirrors.
    PlainStages();
    if (IDirect3DTexture9* ripples = textures_.Get(TextureKind::Water)) {
        const auto t = static_cast<float>(std::fmod(world_.Seconds(), 1000.0));
        device_.SetTexture(0, ripples);
        device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
        device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device_.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE2X);
        device_.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device_.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        device_.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        const D3DMATRIX first = TextureMatrix(0.8f, 0.3f, std::fmod(t * 0.011f, 1.0f), std::fmod(t * 0.004f, 1.0f));
        device_.SetTransform(D3DTS_TEXTURE0, &first);
        if (twoStages_) {
            device_.SetTexture(1, ripples);
            device_.SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
            device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            const D3DMATRIX second = TextureMatrix(2.3f, -0.9f, std::fmod(-t * 0.017f, 1.0f), std::fmod(t * 0.013f, 1.0f));
            device_.SetTransform(D3DTS_TEXTURE1, &second);
        }
    }
    DrawMeshes(land.water, cone);
    PlainStages();
}

void DeviceRenderer::DrawGround(const Landscape& land, const Cone& cone, const float* mirroredIn) {
    // The texture shows near by (the vertex alpha) and fades to grey, which
    // doubled leaves the vertex colour, in the haze.
    PlainStages();
    if (IDirect3DTexture9* ground = textures_.Get(TextureKind::Ground)) {
        device_.SetTexture(0, ground);
        device_.SetRenderState(D3DRS_TEXTUREFACTOR, kNeutralGrey);
        if (twoStages_) {
            device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BLENDDIFFUSEALPHA);
            device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
            device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        } else {
            device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        }
    }
    DrawMeshes(land.ground, cone, mirroredIn);
    PlainStages();
}

// The ground and the lanterns mirrored in the water, cut off at its surface
// so that nothing below it shows above it; false when the device has no clip
// plane for that. Their depths are cleared afterwards.
bool DeviceRenderer::DrawReflection(const Landscape& land, const NearScenery& nearby, const Cone& cone, const View& view) {
    if (caps_.MaxUserClipPlanes < 1) return false;
    const auto waterZ = static_cast<float>(kWaterLevel - world_.Camera().position.z);
    SetWorld(MirrorMatrix(waterZ));
    const float plane[4] = {0.0f, 0.0f, -1.0f, waterZ};
    device_.SetClipPlane(0, plane);
    device_.SetRenderState(D3DRS_CLIPPLANEENABLE, D3DCLIPPLANE0);
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetBlend(Blend::None);
    DrawGround(land, cone, &waterZ);
    SetWorld(Mat4{});
    device_.SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Glow)) DrawSprites(nearby.mirrored, view);
    device_.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    return true;
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
    textures_.Update(world_, detail_.textures);

    device_.SetRenderState(D3DRS_LIGHTING, FALSE);
    device_.SetRenderState(D3DRS_FOGENABLE, FALSE);
    device_.SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device_.SetRenderState(D3DRS_DITHERENABLE, TRUE);
    device_.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device_.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device_.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device_.SetRenderState(D3DRS_CLIPPING, TRUE);
    for (DWORD stage = 0; stage < 2; ++stage) {
        device_.SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_.SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_.SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        device_.SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device_.SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    }
    geometry_.Bind(device_);
    const Frustum frustum = ViewFrustum(view);
    const Cone cone(frustum, camera);
    const D3DMATRIX viewMatrix = ToD3D(ViewMatrix(camera.right, camera.up, camera.forward));
    device_.SetTransform(D3DTS_VIEW, &viewMatrix);

    // The sky and its mirror image, behind everything.
    const SkyScenery& skyScenery = world_.Sky(detail_.geometry);
    const D3DMATRIX skyProjection = ToD3D(PerspectiveMatrix(frustum, 1.0f, kSkyFar));
    device_.SetTransform(D3DTS_PROJECTION, &skyProjection);
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    DrawSky(skyScenery, view, false);
    DrawSky(skyScenery, view, true);
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Glow)) DrawSprites(skyScenery.glints, view);

    // Near lights mirrored in the water, then the water over all of that, so
    // that the ground below it fails the depth test; then the ground.
    const Landscape& land = world_.LandscapeFor(detail_.geometry);
    const NearScenery& nearby = world_.Near();
    const D3DMATRIX groundProjection = ToD3D(PerspectiveMatrix(frustum, kNear, land.farDistance * 1.05f));
    device_.SetTransform(D3DTS_PROJECTION, &groundProjection);
    // High detail mirrors the ground in the water too.
    if (detail_.geometry != Detail::High || !DrawReflection(land, nearby, cone, view)) {
        SetBlend(Blend::Add);
        if (textures_.Get(TextureKind::Glow)) DrawSprites(nearby.mirrored, view);
    }
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    SetBlend(Blend::Over);
    DrawWater(land, cone);
    SetBlend(Blend::None);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawGround(land, cone);

    // Ripples on the water and the lanterns: light added, behind the ground where it stands in front.
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Ring) && !nearby.ripples.empty()) {
        TexturedStages(TextureKind::Ring);
        // Lifted a hand's breadth over the water, so the depth test keeps them above it.
        Mat4 lift;
        lift.m[3][2] = 0.1f;
        SetWorld(lift);
        geometry_.Draw(device_, D3DPT_TRIANGLELIST, nearby.ripples.data(), nearby.ripples.size());
        SetWorld(Mat4{});
    }
    if (textures_.Get(TextureKind::Glow)) DrawSprites(nearby.lanterns, view);
    SetBlend(Blend::None);
    PlainStages();
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
