// Prints what this machine measures for the settings defaults (video memory,
// processor clock, screen height), the defaults it gets, and what SetDefaults
// costs, split into its parts. SetDefaults runs at every start of the settings
// dialog and on Restore Defaults, so its first, cold run is the dialog's cost.
//   wine_run.sh bench build/win64/bench/set_defaults_bench.exe
#include "hardware/hardware_probe.h"
#include "hardware/processor_clock.h"
#include "hardware/video_memory_win.h"
#include "settings/store/settings_schema.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double Milliseconds(const std::function<void()>& operation) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    operation();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// How a part counts towards SetDefaults' time.
enum class Counts { Always, WithoutWmiAnswer, WithinThePrevious };

struct Part {
    const char* name;
    Counts counts;
    std::function<void()> run;
};

void PrintRow(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("  %-34s min %9.2f   median %9.2f   max %9.2f ms   (%zu runs)\n", name, ms.front(), ms[ms.size() / 2],
                ms.back(), ms.size());
}

} // namespace

int main() {
    const int kRuns = 5;
    HMONITOR monitor = nullptr;
    DWORD wmiBytes = 0;
    bool wmiRead = false;
    DWORD directDrawBytes = 0;
    std::int32_t mhz = 0;
    int height = 0;

    // The parts in the order SetDefaults runs them. DirectDraw only runs in
    // SetDefaults when WMI gives nothing.
    const std::vector<Part> parts = {
        {"Direct3D 9 (adapter's monitor)", Counts::Always, [&] { MonitorOfChosenAdapter(monitor); }},
        {"WMI (identifier + controllers)", Counts::Always, [&] { wmiRead = VideoMemoryFromWmi(monitor, wmiBytes); }},
        {"  of which: adapter identifier", Counts::WithinThePrevious,
         [&] {
             wchar_t id[512];
             DeviceIdFromMonitor(monitor, id, 512);
         }},
        {"DirectDraw (total video memory)", Counts::WithoutWmiAnswer,
         [&] { directDrawBytes = VideoMemoryFromDirectDraw(); }},
        {"clock wait", Counts::Always, [&] { mhz = MeasureProcessorClock(); }},
        {"screen height", Counts::Always, [&] { height = GetSystemMetrics(SM_CYFULLSCREEN); }},
    };

    std::printf("Cold: the first run of each part, as a dialog's first SetDefaults meets them\n");
    double coldTotal = 0;
    for (const Part& part : parts) {
        const double ms = Milliseconds(part.run);
        if (part.counts == Counts::Always || (part.counts == Counts::WithoutWmiAnswer && !(wmiRead && wmiBytes != 0)))
            coldTotal += ms;
        std::printf("  %-34s %9.2f ms\n", part.name, ms);
    }
    std::printf("  %-34s %9.2f ms\n", "sum (as SetDefaults runs them)", coldTotal);

    std::printf("\nWarm: %d further runs each\n", kRuns);
    for (const Part& part : parts) {
        std::vector<double> ms;
        for (int i = 0; i < kRuns; ++i)
            ms.push_back(Milliseconds(part.run));
        PrintRow(part.name, ms);
    }
    std::vector<double> whole;
    Node tree;
    for (int i = 0; i < kRuns; ++i)
        whole.push_back(Milliseconds([&] { SetDefaults(tree); }));
    PrintRow("SetDefaults (whole)", whole);

    const DWORD measured = QueryVideoMemory();
    std::printf("\nMeasured\n");
    std::printf("  video memory      %lu bytes = %lu MiB (%s)\n", static_cast<unsigned long>(measured),
                static_cast<unsigned long>(VideoMemoryMiB(measured)),
                wmiRead && wmiBytes != 0 ? "WMI, the chosen monitor's controller"
                                         : "DirectDraw, the primary display driver");
    std::printf("  WMI               %s, %lu bytes\n", wmiRead ? "read" : "no matching controller",
                static_cast<unsigned long>(wmiBytes));
    std::printf("  DirectDraw        %lu bytes\n", static_cast<unsigned long>(directDrawBytes));
    std::printf("  processor clock   %d MHz\n", static_cast<int>(mhz));
    std::printf("  screen height     %d pixels (full-screen client area)\n", height);

    Node defaults;
    SetDefaults(defaults, HardwareFacts{measured, mhz, height});
    std::printf("\nDefaults\n");
    for (const auto& [name, value] : defaults.GetEntries())
        std::printf("  %-24ls %d\n", name.c_str(), static_cast<int>(value.AsInt()));
    return 0;
}
