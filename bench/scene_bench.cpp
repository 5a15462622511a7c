// The scene's costs on the software renderer: how long its first frame takes
// beside a frame that is only cleared, how fast each detail tier draws at
// 1280x1024 once its detail has arrived, what a frame costs the processor,
// and the process's peak working set. Prints figures; fails only when no
// device can be made.
#include "main_program/scene/renderer_win.h"
#include "main_program/scene/scene.h"
#include "platform/direct3d9_win.h"

#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

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
    const double clearedMs = Milliseconds(Clock::now() - start);
    start = Clock::now();
    auto world = scene::World::Create(1);
    const double worldMs = Milliseconds(Clock::now() - start);
    auto renderer = scene::Renderer::Create(*world, *device.Get(), {scene::Detail::Medium, scene::Detail::Medium});
    if (!renderer) return 1;
    const double rendererMs = Milliseconds(Clock::now() - start) - worldMs;
    world->Advance(1.0 / 60);
    renderer->Render(view);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    const double firstMs = Milliseconds(Clock::now() - start);
    std::printf(
        "first frame: cleared frame %.1f ms; scene %.1f ms (world %.1f, renderer %.1f, first draw and present %.1f)\n",
        clearedMs, firstMs, worldMs, rendererMs, firstMs - worldMs - rendererMs);

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
