// The scene drawn on a real Direct3D 9 device: a picture that is a scene and
// moves, default-pool resources that a device reset can do without, and
// views of one canvas that join up. Screenshots go to the artifacts folder.
#include "main_program/scene/renderer_win.h"
#include "main_program/scene/scene.h"
#include "main_program/scene/textures.h"
#include "platform/direct3d9_win.h"
#include "tests/e2e/driver/pixels.h"
#include "tests/e2e/driver/process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

namespace {

using platform::ComPtr;

// A top-level window and a windowed device drawing into it: a Direct3D 9
// device, or a 9Ex one (which has no managed pool).
class TestDevice {
  public:
    TestDevice(UINT width, UINT height, bool extended = false) : width_(width), height_(height) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SceneTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"SceneTestWindow", L"scene", WS_POPUP | WS_VISIBLE, 0, 0, static_cast<int>(width),
                                  static_cast<int>(height), nullptr, nullptr, windowClass.hInstance, nullptr);
        if (!window_ || !direct3d_) return;
        D3DPRESENT_PARAMETERS parameters{};
        parameters.Windowed = TRUE;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.BackBufferWidth = width;
        parameters.BackBufferHeight = height;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
        parameters.hDeviceWindow = window_;
        parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        parameters_ = parameters;
        if (extended) {
            using Create9Ex = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);
            const auto create = extendedLibrary_.Function<Create9Ex>("Direct3DCreate9Ex");
            ComPtr<IDirect3D9Ex> direct3d;
            ComPtr<IDirect3DDevice9Ex> device;
            D3DPRESENT_PARAMETERS attempt = parameters;
            if (create && SUCCEEDED(create(D3D_SDK_VERSION, direct3d.Receive())) &&
                SUCCEEDED(direct3d->CreateDeviceEx(0, D3DDEVTYPE_HAL, window_,
                                                   D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                                                   &attempt, nullptr, device.Receive())))
                device->QueryInterface(__uuidof(IDirect3DDevice9), device_.ReceiveVoid());
            return;
        }
        for (DWORD processing : {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}) {
            D3DPRESENT_PARAMETERS attempt = parameters;
            if (SUCCEEDED(direct3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, processing | D3DCREATE_FPU_PRESERVE,
                                                  &attempt, device_.Receive())))
                break;
        }
    }
    ~TestDevice() {
        device_.Reset();
        if (window_) DestroyWindow(window_);
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    IDirect3DDevice9* Device() const { return device_.Get(); }
    bool Reset() {
        D3DPRESENT_PARAMETERS parameters = parameters_;
        return SUCCEEDED(device_->Reset(&parameters));
    }
    scene::View WholeView() const {
        scene::View view;
        view.canvas = view.area = {0, 0, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_)};
        view.width = width_;
        view.height = height_;
        return view;
    }

    // What the current render target holds now.
    e2e::Image Read() const {
        e2e::Image image;
        ComPtr<IDirect3DSurface9> target, copy;
        D3DSURFACE_DESC desc{};
        if (FAILED(device_->GetRenderTarget(0, target.Receive())) || FAILED(target->GetDesc(&desc)) ||
            FAILED(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                        copy.Receive(), nullptr)) ||
            FAILED(device_->GetRenderTargetData(target.Get(), copy.Get())))
            return image;
        D3DLOCKED_RECT locked{};
        if (FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return image;
        image.width = static_cast<int>(desc.Width);
        image.height = static_cast<int>(desc.Height);
        for (int y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                     static_cast<std::ptrdiff_t>(y) * locked.Pitch);
            for (int x = 0; x < image.width; ++x)
                image.pixels.push_back(row[x] & 0xFFFFFFu);
        }
        copy->UnlockRect();
        return image;
    }

    void Present() { device_->Present(nullptr, nullptr, nullptr, nullptr); }

  private:
    UINT width_, height_;
    HWND window_ = nullptr;
    platform::Direct3D9 direct3d_;
    platform::Library extendedLibrary_{L"d3d9.dll"};
    ComPtr<IDirect3DDevice9> device_;
    D3DPRESENT_PARAMETERS parameters_{};
};

void Save(const e2e::Image& image, const std::wstring& name) {
    const std::wstring folder = e2e::ArtifactsFolder();
    if (!folder.empty()) e2e::SaveBitmap(image, folder + L"\\" + name + L".bmp");
}

// How many distinct colours, after dropping the lowest two bits of each channel.
size_t Colours(const e2e::Image& image) {
    std::set<std::uint32_t> seen;
    for (std::uint32_t p : image.pixels)
        seen.insert(p & 0xFCFCFCu);
    return seen.size();
}

// The share of pixels whose colour differs by more than `levels` in some channel.
double ChangedShare(const e2e::Image& a, const e2e::Image& b, int levels) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0;
    size_t changed = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                         static_cast<int>((b.pixels[i] >> shift) & 0xFF)) > levels) {
                ++changed;
                break;
            }
    return static_cast<double>(changed) / static_cast<double>(a.pixels.size());
}

// The world advanced by `seconds` in steps of a fifth of a second, each drawn
// and presented but the last, which stays in the back buffer to be read.
void Play(scene::World& world, scene::Renderer& renderer, TestDevice& device, double seconds) {
    const int frames = std::max(1, static_cast<int>(std::ceil(seconds / 0.2)));
    for (int frame = 0; frame < frames; ++frame) {
        if (frame > 0) device.Present();
        world.Advance(0.2);
        renderer.Render(device.WholeView());
    }
}

// Until the world's detail has all arrived (generous: it is generated while
// the software renderer draws), then two seconds more to fade it in.
void PlayUntilComplete(scene::World& world, scene::Renderer& renderer, TestDevice& device) {
    const DWORD start = GetTickCount();
    while (!world.DetailComplete() && GetTickCount() - start < 120000) {
        Play(world, renderer, device, 0.2);
        device.Present();
        Sleep(20);
    }
    EXPECT_TRUE(world.DetailComplete()) << "the detail never arrived";
    Play(world, renderer, device, 2.0);
}

struct Shape {
    const wchar_t* name;
    UINT width, height;
};

TEST(SceneRender, DrawsAMovingSceneInEveryShape) {
    const Shape shapes[] = {{L"wide", 384, 216}, {L"square", 320, 240}, {L"portrait", 216, 384}};
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(testing::Message() << "shape " << shape.width << "x" << shape.height);
        TestDevice device(shape.width, shape.height);
        ASSERT_NE(device.Device(), nullptr);
        auto world = scene::World::Create(11);
        auto renderer =
            scene::Renderer::Create(*world, *device.Device(), {scene::Detail::Medium, scene::Detail::Medium});
        ASSERT_NE(renderer, nullptr);
        // The very first frame is the sky's colours alone; the second is the scene.
        Play(*world, *renderer, device, 0.3);
        const e2e::Image first = device.Read();
        Save(first, std::wstring(L"scene_") + shape.name + L"_start");
        device.Present();
        PlayUntilComplete(*world, *renderer, device);
        const e2e::Image later = device.Read();
        Save(later, std::wstring(L"scene_") + shape.name + L"_later");
        ASSERT_EQ(first.pixels.size(), size_t{shape.width} * shape.height);
        EXPECT_GT(Colours(first), 200u) << "the first frames look like one colour";
        EXPECT_GT(Colours(later), 200u);
        EXPECT_GT(ChangedShare(first, later, 3), 0.05) << "seconds later the picture has hardly moved";
    }
}

TEST(SceneRender, ResetsAfterReleasingItsDefaultPool) {
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "a Direct3D 9Ex device" : "a Direct3D 9 device");
        TestDevice device(320, 240, extended);
        ASSERT_NE(device.Device(), nullptr);
        auto world = scene::World::Create(5);
        auto renderer = scene::Renderer::Create(*world, *device.Device(), {scene::Detail::Low, scene::Detail::Low});
        ASSERT_NE(renderer, nullptr);
        // With its textures uploaded, which a 9Ex device keeps in the default pool.
        PlayUntilComplete(*world, *renderer, device);
        EXPECT_EQ(scene::LastRenderStats(*renderer).textures, static_cast<std::uint32_t>(scene::kTextureKinds));
        renderer->ReleaseDefaultPool();
        // A reset fails while any default-pool resource is still alive.
        ASSERT_TRUE(device.Reset());
        ASSERT_TRUE(renderer->RestoreDefaultPool());
        Play(*world, *renderer, device, 0.4);
        const e2e::Image image = device.Read();
        Save(image, extended ? L"scene_after_reset_9ex" : L"scene_after_reset");
        EXPECT_GT(Colours(image), 200u) << "nothing drawn after the reset";
        EXPECT_EQ(scene::LastRenderStats(*renderer).textures, static_cast<std::uint32_t>(scene::kTextureKinds))
            << "textures lost in the reset";
    }
}

// A device that can do less: no point sprites, small textures, no clip
// plane, one texture stage. The scene still draws, at every detail.
TEST(SceneRender, DrawsOnALesserDevice) {
    TestDevice device(320, 200);
    ASSERT_NE(device.Device(), nullptr);
    auto world = scene::World::Create(8);
    D3DCAPS9 limits{};
    limits.MaxPointSize = 1.0f;
    limits.MaxTextureWidth = limits.MaxTextureHeight = 64;
    limits.MaxTextureBlendStages = limits.MaxSimultaneousTextures = 1;
    limits.TextureCaps = ~0u;
    auto renderer =
        scene::CreateRendererWithLimits(*world, *device.Device(), {scene::Detail::High, scene::Detail::High}, limits);
    ASSERT_NE(renderer, nullptr);
    PlayUntilComplete(*world, *renderer, device);
    const e2e::Image image = device.Read();
    Save(image, L"scene_lesser_device");
    EXPECT_GT(Colours(image), 200u);
}

// Two monitors side by side show the two halves of the picture that one
// monitor as wide as both would show.
TEST(SceneRender, ViewsOfOneCanvasJoinUp) {
    constexpr UINT kWidth = 240, kHeight = 200;
    TestDevice device(kWidth, kHeight);
    ASSERT_NE(device.Device(), nullptr);
    IDirect3DDevice9* d3d = device.Device();
    auto world = scene::World::Create(12);
    auto renderer = scene::Renderer::Create(*world, *d3d, {scene::Detail::Medium, scene::Detail::Low});
    ASSERT_NE(renderer, nullptr);
    PlayUntilComplete(*world, *renderer, device);
    world->Advance(0.1);

    scene::View left, right;
    left.canvas = right.canvas = {-static_cast<std::int32_t>(kWidth), 0, static_cast<std::int32_t>(kWidth), kHeight};
    left.area = {-static_cast<std::int32_t>(kWidth), 0, 0, kHeight};
    right.area = {0, 0, static_cast<std::int32_t>(kWidth), kHeight};
    left.width = right.width = kWidth;
    left.height = right.height = kHeight;
    renderer->Render(left);
    const e2e::Image leftImage = device.Read();
    renderer->Render(right);
    const e2e::Image rightImage = device.Read();

    // The whole canvas on one target twice as wide.
    ComPtr<IDirect3DSurface9> backBuffer, backDepth, wide, wideDepth;
    ASSERT_TRUE(SUCCEEDED(d3d->GetRenderTarget(0, backBuffer.Receive())));
    ASSERT_TRUE(SUCCEEDED(d3d->GetDepthStencilSurface(backDepth.Receive())));
    ASSERT_TRUE(SUCCEEDED(d3d->CreateRenderTarget(2 * kWidth, kHeight, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                  wide.Receive(), nullptr)));
    ASSERT_TRUE(SUCCEEDED(d3d->CreateDepthStencilSurface(2 * kWidth, kHeight, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0,
                                                         TRUE, wideDepth.Receive(), nullptr)));
    d3d->SetRenderTarget(0, wide.Get());
    d3d->SetDepthStencilSurface(wideDepth.Get());
    scene::View whole = left;
    whole.area = whole.canvas;
    whole.width = 2 * kWidth;
    renderer->Render(whole);
    const e2e::Image wholeImage = device.Read();
    d3d->SetRenderTarget(0, backBuffer.Get());
    d3d->SetDepthStencilSurface(backDepth.Get());
    renderer.reset();
    ASSERT_EQ(wholeImage.pixels.size(), size_t{2} * kWidth * kHeight);

    e2e::Image halves[2];
    for (int half = 0; half < 2; ++half) {
        halves[half].width = kWidth;
        halves[half].height = kHeight;
        for (UINT y = 0; y < kHeight; ++y)
            for (UINT x = 0; x < kWidth; ++x)
                halves[half].pixels.push_back(wholeImage.At(static_cast<int>(x + half * kWidth), static_cast<int>(y)));
    }
    Save(wholeImage, L"scene_canvas_whole");
    Save(leftImage, L"scene_canvas_left");
    Save(rightImage, L"scene_canvas_right");
    EXPECT_LT(e2e::MeanDifference(halves[0], leftImage), 1.5);
    EXPECT_LT(e2e::MeanDifference(halves[1], rightImage), 1.5);
    // And the two halves are not simply alike.
    EXPECT_GT(e2e::MeanDifference(leftImage, rightImage), 3.0);
}

} // namespace
