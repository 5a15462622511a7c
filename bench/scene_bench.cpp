// The scene's costs on the software renderer: how long its first frame takes
// beside a frame that is only cleared, how fast each detail tier draws at
// 1280x1024 once its detail has arrived (along stretches of the flight over
// land and water), what a frame costs the processor, and the process's peak
// working set; beside them, a plain reference scene on the same device (a
// textured, lit and fogged grid of 8192 triangles). Prints figures; fails
// only when no device can be made.
#include "main_program/scene/renderer_win.h"
#include "main_program/scene/scene.h"
#include "platform/direct3d9_win.h"

#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using platform::ComPtr;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ProcessorSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

double PeakWorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

HWND MakeWindow(int width, int height) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SceneBench";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"SceneBench", L"scene", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

ComPtr<IDirect3DDevice9> MakeDevice(IDirect3D9* direct3d, HWND window, UINT width, UINT height) {
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.hDeviceWindow = window;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ComPtr<IDirect3DDevice9> device;
    direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                           &parameters, device.Receive());
    return device;
}

DWORD FloatBits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// Waits until the device has done all it was given.
void Finish(IDirect3DDevice9* device) {
    ComPtr<IDirect3DQuery9> query;
    if (FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, query.Receive()))) return;
    query->Issue(D3DISSUE_END);
    while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE)
        Sleep(0);
}

// The reference: a grid of 64 x 64 cells seen from above at a slant, lit, fogged, with a mipmapped texture.
struct ReferenceVertex {
    float x, y, z, nx, ny, nz, u, v;
};

double ReferenceFramesPerSecond(IDirect3DDevice9* device, double seconds) {
    std::vector<ReferenceVertex> vertices;
    std::vector<WORD> indices;
    for (int j = 0; j <= 64; ++j)
        for (int i = 0; i <= 64; ++i)
            vertices.push_back({(i - 32) * 8.0f, -10.0f + 3.0f * std::sin(i * 0.7f) * std::cos(j * 0.5f),
                                5.0f + j * 10.0f, 0, 1, 0, i / 4.0f, j / 4.0f});
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 64; ++i) {
            const int a = j * 65 + i;
            for (int k : {a, a + 65, a + 1, a + 1, a + 65, a + 66})
                indices.push_back(static_cast<WORD>(k));
        }
    ComPtr<IDirect3DTexture9> texture;
    if (FAILED(device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Receive(), nullptr)))
        return 0;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DLOCKED_RECT locked{};
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return 0;
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    ((x ^ y) & 8) ? 0xFF80A060u : 0xFF406030u;
        texture->UnlockRect(level);
    }
    D3DMATRIX identity{}, projection{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    projection._11 = 1.6f;
    projection._22 = 2.0f;
    projection._33 = 1000.0f / 999.0f;
    projection._34 = 1;
    projection._43 = -1000.0f / 999.0f;
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0.3f, -1, 0.5f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    material.Ambient = {0.3f, 0.3f, 0.3f, 1};
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGSTART, FloatBits(50.0f));
    device->SetRenderState(D3DRS_FOGEND, FloatBits(600.0f));
    device->SetRenderState(D3DRS_FOGCOLOR, 0x8090A0);
    device->SetTexture(0, texture.Get());
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    int frames = 0;
    const auto start = Clock::now();
    while (Milliseconds(Clock::now() - start) < seconds * 1000.0) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x8090A0, 1.0f, 0);
        device->BeginScene();
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()),
                                       static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                       vertices.data(), sizeof(ReferenceVertex));
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        ++frames;
    }
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->LightEnable(0, FALSE);
    return frames / (Milliseconds(Clock::now() - start) / 1000.0);
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

} // namespace

int main(int argc, char** argv) {
    const UINT width = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 1280;
    const UINT height = argc > 2 ? static_cast<UINT>(std::atoi(argv[2])) : 1024;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 8.0;
    platform::Direct3D9 direct3d;
    const HWND window = MakeWindow(static_cast<int>(width), static_cast<int>(height));
    if (!direct3d || !window) return 1;
    ComPtr<IDirect3DDevice9> device = MakeDevice(direct3d.Get(), window, width, height);
    if (!device) return 1;
    scene::View view;
    view.canvas = view.area = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    view.width = width;
    view.height = height;

    // The first frame, against a frame that is only cleared.
    auto start = Clock::now();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    Finish(device.Get());
    const double clearedMs = Milliseconds(Clock::now() - start);
    start = Clock::now();
    auto world = scene::World::Create(11);
    const double worldMs = Milliseconds(Clock::now() - start);
    auto renderer = scene::Renderer::Create(*world, *device.Get(), {scene::Detail::Medium, scene::Detail::Medium});
    if (!renderer) return 1;
    const double rendererMs = Milliseconds(Clock::now() - start) - worldMs;
    world->Advance(1.0 / 60);
    renderer->Render(view);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    Finish(device.Get());
    const double firstMs = Milliseconds(Clock::now() - start);
    // The second frame meets what the first left out (stars, the mirrored ground).
    start = Clock::now();
    world->Advance(1.0 / 60);
    renderer->Render(view);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    Finish(device.Get());
    const double secondMs = Milliseconds(Clock::now() - start);
    std::printf(
        "first frame on a new device: cleared %.1f ms; scene %.1f ms (world %.1f, renderer %.1f, drawn and presented "
        "%.1f); the second, with the first triangles, %.1f ms\n",
        clearedMs, firstMs, worldMs, rendererMs, firstMs - worldMs - rendererMs, secondMs);

    std::printf("reference scene (8192 lit, fogged, textured triangles): %.1f fps\n",
                ReferenceFramesPerSecond(device.Get(), seconds / 2));
    std::printf("%-7s %8s %8s %10s %10s %8s %7s %10s\n", "detail", "fps", "cpu%", "render ms", "detail s", "tris",
                "draws", "peak MiB");
    for (scene::Detail detail : {scene::Detail::Low, scene::Detail::Medium, scene::Detail::High}) {
        renderer->SetDetail({detail, detail});
        // Until everything the tier asks for has arrived (and a second more, to fade in).
        start = Clock::now();
        while (!world->DetailComplete() && Clock::now() - start < std::chrono::seconds(60)) {
            world->Advance(1.0 / 60);
            renderer->Render(view);
            device->Present(nullptr, nullptr, nullptr, nullptr);
            Pump();
        }
        const double detailSeconds = Milliseconds(Clock::now() - start) / 1000.0;
        for (int i = 0; i < 60; ++i) {
            world->Advance(1.0 / 40);
            renderer->Render(view);
            device->Present(nullptr, nullptr, nullptr, nullptr);
        }
        int frames = 0;
        double renderMs = 0;
        scene::RenderStats stats;
        const double cpuStart = ProcessorSeconds();
        start = Clock::now();
        while (Milliseconds(Clock::now() - start) < seconds * 1000.0) {
            // Four stretches of the flight, half a minute apart.
            if (frames > 0 && frames % 40 == 0)
                for (int step = 0; step < 120; ++step)
                    world->Advance(0.25);
            world->Advance(1.0 / 30);
            const auto before = Clock::now();
            renderer->Render(view);
            renderMs += Milliseconds(Clock::now() - before);
            stats = scene::LastRenderStats(*renderer);
            device->Present(nullptr, nullptr, nullptr, nullptr);
            Pump();
            ++frames;
        }
        const double elapsed = Milliseconds(Clock::now() - start) / 1000.0;
        const double cpu = (ProcessorSeconds() - cpuStart) / elapsed * 100.0;
        const char* names[] = {"low", "medium", "high"};
        std::printf("%-7s %8.1f %8.0f %10.1f %10.1f %8u %7u %10.1f\n", names[static_cast<int>(detail)],
                    frames / elapsed, cpu, renderMs / frames, detailSeconds, stats.triangles, stats.draws,
                    PeakWorkingSetMiB());
        std::fflush(stdout);
    }
    renderer.reset();
    world.reset();
    device.Reset();
    DestroyWindow(window);
    return 0;
}
