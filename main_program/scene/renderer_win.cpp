// Draws the world on one Direct3D 9 device through the fixed-function pipeline.
#include "main_program/scene/renderer_win.h"

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
constexpr D3DCOLOR kNeutralGrey = 0xFF808080u;

D3DMATRIX ToD3D(const Mat4& m) {
    D3DMATRIX d;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            d.m[i][j] = m.m[i][j];
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
        return std::all_of(planes_.begin(), planes_.end(), [&](const Vec3& n) {
            const Vec3 outer{n.x >= 0 ? block.high.x : block.low.x, n.y >= 0 ? block.high.y : block.low.y,
                             n.z >= 0 ? block.high.z : block.low.z};
            return Dot(n, outer) >= 0;
        });
    }

  private:
    std::array<Vec3, 4> planes_;
};

class DeviceRenderer final : public Renderer {
  public:
    DeviceRenderer(WorldState& world, IDirect3DDevice9& device, DetailChoice detail, const D3DCAPS9* limits)
        : world_(world), device_(device), detail_(detail), textures_(device, caps_) {
        device_.GetDeviceCaps(&caps_);
        if (limits) {
            caps_.MaxPointSize = std::min(caps_.MaxPointSize, limits->MaxPointSize);
            caps_.MaxTextureWidth = std::min(caps_.MaxTextureWidth, limits->MaxTextureWidth);
            caps_.MaxTextureHeight = std::min(caps_.MaxTextureHeight, limits->MaxTextureHeight);
            caps_.MaxUserClipPlanes = std::min(caps_.MaxUserClipPlanes, limits->MaxUserClipPlanes);
            caps_.MaxTextureBlendStages = std::min(caps_.MaxTextureBlendStages, limits->MaxTextureBlendStages);
            caps_.MaxSimultaneousTextures = std::min(caps_.MaxSimultaneousTextures, limits->MaxSimultaneousTextures);
            caps_.TextureCaps &= limits->TextureCaps;
        }
        D3DDEVICE_CREATION_PARAMETERS creation{};
        if (SUCCEEDED(device_.GetCreationParameters(&creation)))
            softwareVertices_ = (creation.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
        pointSprites_ = caps_.MaxPointSize >= 2.0f;
        twoStages_ = caps_.MaxTextureBlendStages >= 2 && caps_.MaxSimultaneousTextures >= 2;
        world_.RequestTextures(detail_.textures);
    }

    void ReleaseDefaultPool() override {
        geometry_.Release();
        skyGeometry_.Release();
        textures_.ReleaseDefaultPool();
    }
    bool RestoreDefaultPool() override {
        return geometry_.Create(device_, softwareVertices_) && skyGeometry_.Create(device_, softwareVertices_);
    }
    void SetDetail(DetailChoice detail) override {
        detail_ = detail;
        world_.RequestTextures(detail_.textures);
    }
    void Render(const View& requested) override;
    RenderStats Stats() const { return stats_; }

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
    void DrawFireflies(const std::vector<Vertex>& fireflies, const View& view);
    void DrawFirstFrame(const View& view);
    void DrawDome(const SkyScenery& sky);
    void DrawSkyLights(const SkyScenery& sky, const View& view, bool mirrored);
    void DrawWater(const Landscape& land, const Cone& cone);
    void DrawGround(const Landscape& land, const Cone& cone, const float* mirroredIn = nullptr);
    void DrawMirroredGround(const Landscape& land, const Cone& cone);
    void SetClipPlane(float a, float b, float c, float d);
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
    DynamicGeometry geometry_{sizeof(Vertex), kVertexFormat, 98304, 196608};
    DynamicGeometry skyGeometry_{sizeof(SkyVertex), kSkyVertexFormat, 8192, 16384};
    float skyScale_ = 1.0f; // from the world's sky distances to just inside the far plane
    std::vector<std::uint16_t> visible_;
    std::vector<Vertex> quads_;
    RenderStats stats_;
    std::uint64_t frames_ = 0; // drawn so far: the first is only the sky's colours, to come fast
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
        // Never smaller than its least size, and a halo close by no larger
        // than a fifth of the view: it would only cost time to fill.
        float scale = 1.0f;
        const float pixels = sprite.width * pixelsPerTangent / depth;
        if (pixels < sprite.minPixels) scale = sprite.minPixels / std::max(pixels, 1e-3f);
        const float largest = 0.2f * static_cast<float>(view.height);
        if (sprite.minPixels == 0 && pixels > largest) scale = largest / pixels;
        const float light = brightness / (scale * scale);
        const Vec3 right = (sprite.upright ? flatRight : camera.right) * (0.5f * sprite.width * scale);
        const Vec3 up = (sprite.upright ? Vec3{0, 0, 1} : camera.up) * (0.5f * sprite.height * scale);
        const std::uint32_t color =
            PackColor(sprite.color * std::min(1.0f, light), sprite.alpha * std::min(1.0f, light));
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
        for (int index : {0, 1, 2, 0, 2, 3})
            quads_.push_back(v[index]);
    }
    if (!quads_.empty()) geometry_.Draw(device_, D3DPT_TRIANGLELIST, quads_.data(), quads_.size());
}

void DeviceRenderer::DrawStars(const SkyScenery& sky, const View& view) {
    if (sky.stars.empty()) return;
    // Single pixels, or on tall screens squares of two or three where the device draws them.
    float size = view.height >= 2800 ? 3.0f : view.height >= 1400 ? 2.0f : 1.0f;
    if (!pointSprites_) size = 1.0f;
    PlainStages();
    device_.SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(std::min(size, caps_.MaxPointSize)));
    geometry_.Draw(device_, D3DPT_POINTLIST, sky.stars.data(), sky.stars.size());
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(1.0f));
}

// Fireflies: point sprites that shrink with distance, never below two
// pixels; rectangles where the device has no point sprites.
void DeviceRenderer::DrawFireflies(const std::vector<Vertex>& fireflies, const View& view) {
    constexpr float kSize = 0.8f; // metres across
    if (fireflies.empty() || !textures_.Get(TextureKind::Spark)) return;
    TexturedStages(TextureKind::Spark);
    if (!pointSprites_) {
        std::vector<Sprite> sprites;
        for (const Vertex& v : fireflies) {
            const float light = static_cast<float>((v.color >> 8) & 0xFFu) / 255.0f;
            sprites.push_back({{v.x, v.y, v.z},
                               kSize,
                               kSize,
                               2.5f,
                               Color{0.82f, 1.0f, 0.42f} * light,
                               1.0f,
                               TextureKind::Spark,
                               false});
        }
        DrawSprites(sprites, view);
        return;
    }
    const Frustum frustum = ViewFrustum(view);
    // Drawn size in pixels: the viewport's height times this size over the distance.
    device_.SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device_.SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    device_.SetRenderState(D3DRS_POINTSCALE_A, FloatBits(0.0f));
    device_.SetRenderState(D3DRS_POINTSCALE_B, FloatBits(0.0f));
    device_.SetRenderState(D3DRS_POINTSCALE_C, FloatBits(1.0f));
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(kSize / (frustum.top - frustum.bottom)));
    device_.SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(2.5f));
    device_.SetRenderState(D3DRS_POINTSIZE_MAX, FloatBits(std::min(64.0f, caps_.MaxPointSize)));
    geometry_.Draw(device_, D3DPT_POINTLIST, fireflies.data(), fireflies.size());
    device_.SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device_.SetRenderState(D3DRS_POINTSIZE, FloatBits(1.0f));
    device_.SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(1.0f));
}

void DeviceRenderer::SetClipPlane(float a, float b, float c, float d) {
    const float plane[4] = {a, b, c, d};
    device_.SetClipPlane(0, plane);
    device_.SetRenderState(D3DRS_CLIPPLANEENABLE, D3DCLIPPLANE0);
}

// The dome with the clouds on it: the cloud texture projected, per pixel,
// onto the cloud layer's plane over the camera (and its mirror image under
// the water for the lower half), over the sky's colour by the clouds' share.
void DeviceRenderer::DrawDome(const SkyScenery& sky) {
    Mat4 scale;
    scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = skyScale_;
    SetWorld(scale);
    PlainStages();
    skyGeometry_.Bind(device_);
    UINT base = 0;
    if (skyGeometry_.PutVertices(sky.dome.data(), sky.dome.size(), base)) {
        const auto count = static_cast<UINT>(sky.dome.size());
        IDirect3DTexture9* clouds = textures_.Get(TextureKind::Clouds);
        if (!clouds || !twoStages_) {
            skyGeometry_.DrawIndexed(device_, base, count, sky.domeIndices.data(), sky.domeIndices.size());
        } else {
            device_.SetTexture(0, clouds);
            device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_SPECULAR);
            device_.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device_.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
            device_.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
            device_.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED);
            device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDCURRENTALPHA);
            device_.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
            const CameraPose& camera = world_.Camera();
            // The clouds' mirror images in the water are high detail's.
            const int halves = detail_.geometry == Detail::High ? 2 : 1;
            for (int half = 0; half < halves; ++half) {
                // From camera space back to the world's directions, then onto
                // the plane: (x * scale + shift * w, y * scale + shift * w, w)
                // with w = z above the horizon and -z below, divided by w.
                const float w = half == 0 ? 1.0f : -1.0f, planeScale = sky.cloudScale[half];
                Mat4 back, onto;
                const Vec3 axes[3] = {camera.right, camera.up, camera.forward};
                for (int i = 0; i < 3; ++i) {
                    back.m[i][0] = axes[i].x;
                    back.m[i][1] = axes[i].y;
                    back.m[i][2] = axes[i].z;
                }
                onto.m[0][0] = onto.m[1][1] = planeScale;
                onto.m[2][0] = sky.cloudShiftU * w;
                onto.m[2][1] = sky.cloudShiftV * w;
                onto.m[2][2] = w;
                const D3DMATRIX texture = ToD3D(back * onto);
                device_.SetTransform(D3DTS_TEXTURE0, &texture);
                const std::size_t first = half == 0 ? 0 : sky.upperIndices;
                const std::size_t count0 = half == 0 ? sky.upperIndices : sky.domeIndices.size() - sky.upperIndices;
                skyGeometry_.DrawIndexed(device_, base, count, sky.domeIndices.data() + first, count0);
            }
            device_.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
            if (halves == 1) {
                PlainStages();
                skyGeometry_.DrawIndexed(device_, base, count, sky.domeIndices.data() + sky.upperIndices,
                                         sky.domeIndices.size() - sky.upperIndices);
            }
        }
    }
    geometry_.Bind(device_);
    PlainStages();
    SetWorld(Mat4{});
}

// Stars, shooting stars, the moon, the sun's glow and the far hills; or
// their mirror images in the water.
void DeviceRenderer::DrawSkyLights(const SkyScenery& sky, const View& view, bool mirrored) {
    Mat4 scale;
    scale.m[0][0] = scale.m[1][1] = skyScale_;
    scale.m[2][2] = mirrored ? -skyScale_ : skyScale_;
    SetWorld(scale);
    SetBlend(Blend::None);
    PlainStages();
    DrawMesh(sky.ridges);
    SetBlend(Blend::Add);
    DrawStars(sky, view);
    if (!mirrored) DrawStreaks(sky.streaks, view);
    SetBlend(Blend::Over);
    if (textures_.Get(TextureKind::Moon)) DrawSprites(sky.moon, view);
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Glow)) DrawSprites(sky.lights, view, mirrored ? 0.6f : 1.0f);
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
        if (twoStages_ && detail_.geometry == Detail::High) {
            device_.SetTexture(1, ripples);
            device_.SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
            device_.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_MODULATE2X);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device_.SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
            device_.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            const D3DMATRIX second =
                TextureMatrix(2.3f, -0.9f, std::fmod(-t * 0.017f, 1.0f), std::fmod(t * 0.013f, 1.0f));
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
        if (twoStages_ && detail_.textures == Detail::High) {
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

// The ground mirrored in the water, cut off at the water's surface so that
// nothing below it shows above it.
void DeviceRenderer::DrawMirroredGround(const Landscape& land, const Cone& cone) {
    const auto waterZ = static_cast<float>(kWaterLevel - world_.Camera().position.z);
    SetWorld(MirrorMatrix(waterZ));
    SetClipPlane(0.0f, 0.0f, -1.0f, waterZ);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    SetBlend(Blend::None);
    DrawGround(land, cone, &waterZ);
    device_.SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetWorld(Mat4{});
}

// The first frame comes at once: the sky's colours, row by row, down to the
// horizon and mirrored below it, filled in bands without a triangle. The
// first triangles of a device can cost a software renderer a large share of
// a second, and the second frame pays that.
void DeviceRenderer::DrawFirstFrame(const View& view) {
    const CameraPose& camera = world_.Camera();
    const Frustum frustum = ViewFrustum(view);
    constexpr int kBands = 48;
    for (int band = 0; band < kBands; ++band) {
        const auto top = static_cast<LONG>(view.height * band / kBands);
        const auto bottom = static_cast<LONG>(view.height * (band + 1) / kBands);
        const float across = 0.5f * (frustum.left + frustum.right);
        const float down = frustum.top - (frustum.top - frustum.bottom) * (static_cast<float>(band) + 0.5f) / kBands;
        const Vec3 direction = Normalize(camera.forward + camera.right * across + camera.up * down);
        const D3DRECT rect{0, top, static_cast<LONG>(view.width), bottom};
        device_.Clear(1, &rect, D3DCLEAR_TARGET, PackColor(SkyColor(world_.Sky(), direction)), 1.0f, 0);
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
    const CameraPose& camera = world_.Camera();
    if (frames_ == 0) {
        DrawFirstFrame(view);
        ++frames_;
        return;
    }
    // The sky covers every pixel the ground leaves.
    device_.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    if (!geometry_ || !skyGeometry_ || FAILED(device_.BeginScene())) return;
    textures_.Update(world_, detail_.textures);
    geometry_.ResetCounts();
    skyGeometry_.ResetCounts();

    device_.SetRenderState(D3DRS_LIGHTING, FALSE);
    device_.SetRenderState(D3DRS_FOGENABLE, FALSE);
    device_.SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device_.SetRenderState(D3DRS_DITHERENABLE, TRUE);
    device_.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device_.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device_.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device_.SetRenderState(D3DRS_CLIPPING, TRUE);
    device_.SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    // Trilinear filtering at high texture detail; below it, the nearest mip
    // level filtered bilinearly, which costs a software renderer much less.
    const DWORD mipFilter = detail_.textures == Detail::High ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    for (DWORD stage = 0; stage < 2; ++stage) {
        device_.SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device_.SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device_.SetSamplerState(stage, D3DSAMP_MIPFILTER, mipFilter);
        device_.SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device_.SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    }
    geometry_.Bind(device_);
    const Frustum frustum = ViewFrustum(view);
    const Cone cone(frustum, camera);
    const D3DMATRIX viewMatrix = ToD3D(ViewMatrix(camera.right, camera.up, camera.forward));
    device_.SetTransform(D3DTS_VIEW, &viewMatrix);
    const Landscape& land = world_.LandscapeFor(detail_.geometry);
    const SkyScenery& sky = world_.Sky(detail_.geometry);
    const NearScenery& nearby = world_.Near();
    const float farDistance = land.farDistance * 1.05f;
    const D3DMATRIX projection = ToD3D(PerspectiveMatrix(frustum, kNear, farDistance));
    device_.SetTransform(D3DTS_PROJECTION, &projection);
    skyScale_ = land.farDistance / 500.0f;
    const auto waterZ = static_cast<float>(kWaterLevel - camera.position.z);

    // With a clip plane the ground is drawn first, down to the water, and the
    // sky behind it only where the ground leaves room; without one, the sky
    // and the water come first and hide the ground under the water by depth.
    const bool groundFirst = caps_.MaxUserClipPlanes >= 1;
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    if (groundFirst) {
        device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        SetBlend(Blend::None);
        SetClipPlane(0.0f, 0.0f, 1.0f, -(waterZ - 0.3f));
        DrawGround(land, cone);
        device_.SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    } else {
        device_.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetBlend(Blend::None);
    DrawDome(sky);
    DrawSkyLights(sky, view, false);
    DrawSkyLights(sky, view, true);
    if (textures_.Get(TextureKind::Glow) && !sky.glints.empty()) {
        Mat4 scale;
        scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = skyScale_;
        SetWorld(scale);
        SetBlend(Blend::Add);
        TexturedStages(TextureKind::Glow);
        geometry_.Draw(device_, D3DPT_TRIANGLELIST, sky.glints.data(), sky.glints.size());
        SetWorld(Mat4{});
    }
    // High detail mirrors the ground in the water too.
    if (groundFirst && detail_.geometry == Detail::High) {
        device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        DrawMirroredGround(land, cone);
        device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }
    SetBlend(Blend::Add);
    if (textures_.Get(TextureKind::Glow)) DrawSprites(nearby.mirrored, view);

    // The water, over the mirror images; then, without a clip plane, the ground.
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    SetBlend(Blend::Over);
    DrawWater(land, cone);
    if (!groundFirst) {
        SetBlend(Blend::None);
        device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        DrawGround(land, cone);
        device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // Ripples on the water and the lights near by: added, hidden by what stands in front.
    device_.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
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
    DrawFireflies(nearby.fireflies, view);
    SetBlend(Blend::None);
    PlainStages();
    device_.EndScene();
    stats_ = {geometry_.Triangles() + skyGeometry_.Triangles(), geometry_.Draws() + skyGeometry_.Draws(),
              textures_.Count()};
    ++frames_;
}

std::unique_ptr<Renderer> MakeRenderer(World& world, IDirect3DDevice9& device, DetailChoice detail,
                                       const D3DCAPS9* limits) {
    // Every World comes from World::Create, which makes a WorldState.
    auto renderer = std::make_unique<DeviceRenderer>(static_cast<WorldState&>(world), device, detail, limits);
    if (!renderer->RestoreDefaultPool()) return nullptr;
    return renderer;
}

} // namespace

std::unique_ptr<Renderer> CreateRendererWithLimits(World& world, IDirect3DDevice9& device, DetailChoice detail,
                                                   const D3DCAPS9& limits) {
    return MakeRenderer(world, device, detail, &limits);
}

std::unique_ptr<Renderer> Renderer::Create(World& world, IDirect3DDevice9& device, DetailChoice detail) {
    return MakeRenderer(world, device, detail, nullptr);
}

RenderStats LastRenderStats(const Renderer& renderer) {
    const auto* deviceRenderer = dynamic_cast<const DeviceRenderer*>(&renderer);
    return deviceRenderer ? deviceRenderer->Stats() : RenderStats{};
}

} // namespace scene
