// Prints what the adapter enumeration and the wallpaper window search cost:
// the enumeration runs once per settings dialog, the search on every live
// change while no wallpaper runs (every trackbar position while dragging).
//   wine_run.sh bench build/win64/bench/monitor_selection_bench.exe
#include "hardware/display_adapters.h"
#include "settings/store/wallpaper_notification.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double Seconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// Median and maximum of `runs` timings of `operation`, in microseconds.
void Measure(const char* what, int runs, const std::function<void()>& operation) {
    std::vector<double> micros;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        operation();
        QueryPerformanceCounter(&end);
        micros.push_back(Seconds(end.QuadPart - start.QuadPart) * 1e6);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-62s median %10.1f us   max %10.1f us   (%d runs)\n", what, micros[micros.size() / 2], micros.back(),
                runs);
}

class Windows {
  public:
    ~Windows() {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
            DestroyWindow(*it);
    }
    HWND Make(HWND parent) {
        HWND window = CreateWindowExW(0, L"STATIC", L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        if (window && !parent) windows_.push_back(window);
        return window;
    }

  private:
    std::vector<HWND> windows_;
};

} // namespace

int main() {
    auto found = std::make_unique<AdapterEnumeration>();
    Measure("EnumerateAdapters (Direct3D 9 created and released)", 21, [&] { EnumerateAdapters(*found); });
    std::printf("  usable adapters: %u\n", found->adapterCount);
    Measure("  of which Direct3DCreate9 and Release alone", 21, [] {
        if (IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION)) d3d->Release();
    });

    WallpaperLink link;
    link.Connect();
    Measure("NotifyWallpaper, no wallpaper, the test desktop as it is", 201,
            [&] { link.NotifyWallpaper(kWallpaperMusicVolume, 50); });

    Windows desktop;
    for (int top = 0; top < 100; ++top) {
        HWND window = desktop.Make(nullptr);
        for (int child = 0; child < 20; ++child)
            desktop.Make(window);
    }
    Measure("NotifyWallpaper, no wallpaper, 100 more windows of 20 children", 201,
            [&] { link.NotifyWallpaper(kWallpaperMusicVolume, 50); });
    Measure("  a drag over the whole trackbar (101 positions)", 5, [&] {
        for (int position = 0; position <= 100; ++position)
            link.NotifyWallpaper(kWallpaperMusicVolume, position);
    });
    return 0;
}
