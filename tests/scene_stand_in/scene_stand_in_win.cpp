// A stand-in for the scene while the real world and renderer are not part of
// the program: a slowly turning colour field over the canvas with bands that
// drift across it, so that tests can see frames, motion and monitors joined
// into one picture. It keeps nothing in the default pool.
#include "main_program/scene/scene.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace scene {

namespace {

class StandInWorld final : public World {
  public:
    explicit StandInWorld(std::uint32_t seed) : time_((seed % 1000) * 0.01) {}
    void Advance(double seconds) override { time_ += seconds < 0 ? 0 : (seconds > 0.25 ? 0.25 : seconds); }
    std::vector<SceneEvent> TakeEvents() override { return {}; }
    double Time() const { return time_; }

  private:
    double time_;
};

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
};

D3DCOLOR Shade(double t, double u, double v) {
    auto channel = [](double x) { return static_cast<int>(127.5 + 127.5 * std::sin(x)); };
    return D3DCOLOR_XRGB(channel(t * 0.7 + u * 3.1), channel(t * 0.5 + v * 2.3 + 2.0), channel(t * 0.3 + (u + v) * 1.7 + 4.0));
}

class StandInRenderer final : public Renderer {
  public:
    StandInRenderer(StandInWorld& world, IDirect3DDevice9& device) : world_(world), device_(device) {}
    void ReleaseDefaultPool() override {}
    bool RestoreDefaultPool() override { return true; }
    void SetDetail(DetailChoice) override {}
    void Render(const View& view) override {
        if (FAILED(device_.BeginScene())) return;
        const double cw = std::max(1, view.canvas.right - view.canvas.left);
        const double ch = std::max(1, view.canvas.bottom - view.canvas.top);
        // The canvas position of a point of this back buffer.
        auto u = [&](float x) { return (view.area.left - view.canvas.left + x / view.width * (view.area.right - view.area.left)) / cw; };
        auto v = [&](float y) { return (view.area.top - view.canvas.top + y / view.height * (view.area.bottom - view.area.top)) / ch; };
        const double t = world_.Time();
        const auto w = static_cast<float>(view.width), h = static_cast<float>(view.height);
        std::vector<Vertex> quad = {{0, 0, 0, 1, Shade(t, u(0), v(0))},
                                    {w, 0, 0, 1, Shade(t, u(w), v(0))},
                                    {0, h, 0, 1, Shade(t, u(0), v(h))},
                                    {w, h, 0, 1, Shade(t, u(w), v(h))}};
        device_.SetVertexShader(nullptr);
        device_.SetPixelShader(nullptr);
        device_.SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device_.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device_.SetRenderState(D3DRS_LIGHTING, FALSE);
        device_.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_.SetTexture(0, nullptr);
        device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device_.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(Vertex));
        // Dark bands drifting across the canvas.
        for (int band = 0; band < 3; ++band) {
            const double centre = std::fmod(t * 0.05 + band / 3.0, 1.0) * cw + view.canvas.left - view.area.left;
            const auto x = static_cast<float>(centre * view.width / std::max(1, view.area.right - view.area.left));
            const float half = w * 0.03f;
            const D3DCOLOR dark = D3DCOLOR_XRGB(10, 10, 30);
            std::vector<Vertex> strip = {{x - half, 0, 0, 1, dark}, {x + half, 0, 0, 1, dark},
                                         {x - half, h, 0, 1, dark}, {x + half, h, 0, 1, dark}};
            device_.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip.data(), sizeof(Vertex));
        }
        device_.EndScene();
    }

  private:
    StandInWorld& world_;
    IDirect3DDevice9& device_;
};

} // namespace

std::unique_ptr<World> World::Create(std::uint32_t seed) { return std::make_unique<StandInWorld>(seed); }

std::unique_ptr<Renderer> Renderer::Create(World& world, IDirect3DDevice9& device, DetailChoice) {
    return std::make_unique<StandInRenderer>(static_cast<StandInWorld&>(world), device);
}

} // namespace scene
