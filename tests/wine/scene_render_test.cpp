// The scene drawn on a real Direct3D 9 device: a picture that is a scene and
// moves, default-pool resources that a device reset can do without, and
// views of one canvas that join up. Screenshots go to the artifacts folder.
#include "main_program/scene/scene.h"
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

// A top-level window and a windowed device drawing into it.
class TestDevice {
  public:
    TestDevice(UINT width, UINT height) : width_(width), height_(height) {
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

    // What the back buffer holds now.
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
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
            for (int x = 0; x < image.width; ++x) image.pixels.push_back(row[x] & 0xFFFFFFu);
        }
        copy->UnlockRect();
        return image;
    }

    void Present() { device_->Present(nullptr, nullptr, nullptr, nullptr); }

  private:
    UINT width_, height_;
    HWND window_ = nullptr;
    platform::Direct3D9 direct3d_;
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
    for (std::uint32_t p : image.pixels) seen.insert(p & 0xFCFCFCu);
    return seen.size();
}

// The share of pixels whose colour differs by more than `levels` in some channel.
double ChangedShare(const e2e::Image& a, const e2e::Image& b, int levels) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0;
    size_t changed = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) - static_cast<int>((b.pixels[i] >> shift) & 0xFF)) >
                levels) {
                ++changed;
                break;
            }
    return static_cast<double>(changed) / static_cast<double>(a.pixels.size());
}

// The world advanced by `seconds` in frames of 1/30 s, each drawn and
// presented but the last, which stays in the back buffer to be read.
void Play(scene::World& world, scene::Renderer& renderer, TestDevice& device, double seconds) {
    for (double t = 0; t < seconds; t += 1.0 / 30) {
        if (t > 0) device.Present();
        world.Advance(1.0 / 30);
        renderer.Render(device.WholeView());
    }
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
        auto renderer = scene::Renderer::Create(*world, *device.Device(), {scene::Detail::Medium, scene::Detail::Medium});
        ASSERT_NE(renderer, nullptr);
        Play(*world, *renderer, device, 0.1);
        const e2e::Image first = device.Read();
        Save(first, std::wstring(L"scene_") + shape.name + L"_start");
        Play(*world, *renderer, device, 3.0);
        const e2e::Image later = device.Read();
        Save(later, std::wstring(L"scene_") + shape.name + L"_later");
        ASSERT_EQ(first.pixels.size(), size_t{shape.width} * shape.height);
        EXPECT_GT(Colours(first), 200u) << "the first frames look like one colour";
        EXPECT_GT(Colours(later), 200u);
        EXPECT_GT(ChangedShare(first, later, 3), 0.05) << "three seconds later the picture has hardly moved";
    }
}

TEST(SceneRender, ResetsAfterReleasingItsDefaultPool) {
    TestDevice device(320, 240);
    ASSERT_NE(device.Device(), nullptr);
    auto world = scene::World::Create(5);
    auto renderer = scene::Renderer::Create(*world, *device.Device(), {scene::Detail::Low, scene::Detail::Low});
    ASSERT_NE(renderer, nullptr);
    Play(*world, *renderer, device, 0.2);
    renderer->ReleaseDefaultPool();
    // A reset fails while any default-pool resource is still alive.
    ASSERT_TRUE(device.Reset());
    ASSERT_TRUE(renderer->RestoreDefaultPool());
    Play(*world, *renderer, device, 0.2);
    EXPECT_GT(Colours(device.Read()), 200u) << "nothing drawn after the reset";
}

} // namespace
