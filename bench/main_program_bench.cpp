// The main program's costs under Wine: from its start to the first scene frame
// presented, next to the smallest Direct3D 9 program presenting one cleared
// frame on the same monitor; frames per second and processor use at the
// screen's size with automatic and with high detail; processor use while the
// display is off; the peak working set; and from WM_CLOSE to the process's
// end. Prints "RESULT" lines for scripts/bench.sh:
//   tests/harness/wine_run.sh bench-main build/win64/bench/main_program_bench.exe [rounds] [seconds]
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr DWORD kDeadline = 60000;
constexpr UINT kDisplayStateMessage = WM_APP + 2; // the program's own: wParam 0, the display is off

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

double Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return Milliseconds(now.QuadPart);
}

// Processor use (% of one core) between two of the program's own samples of
// its processor time (Wine tells another process's times as 0).
double CpuPercent(const main_program::TestState& first, const main_program::TestState& last) {
    const double wall = Milliseconds(static_cast<LONGLONG>(last.cpuSampledTicks - first.cpuSampledTicks));
    if (wall <= 0) return 0;
    return 100.0 * static_cast<double>(last.cpuMicroseconds - first.cpuMicroseconds) / 1000.0 / wall;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Store(const wchar_t* name, int value) {
    e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: " + std::to_wstring(value));
}

// Starts `program` and returns the milliseconds to its first presented frame, or -1.
double TimeToFirstFrame(e2e::MainProgramState& state, const std::wstring& program, e2e::Process& process) {
    state.Clear();
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    process = e2e::Process::Start(program, L"");
    if (!process.Started()) return -1;
    const auto shown = state.WaitFor([](const main_program::TestState& s) { return s.firstSceneFrameTicks != 0; },
                                     kDeadline);
    if (!shown) return -1;
    return Milliseconds(static_cast<LONGLONG>(shown->firstSceneFrameTicks) - before.QuadPart);
}

// Closes the program's windows as the system would and returns the milliseconds to its end, or -1.
double CloseAndTime(e2e::Process& process, const wchar_t* windowClass) {
    HWND window = FindWindowW(windowClass, nullptr);
    if (!window) return -1;
    const double before = Now();
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process.WaitForExit(kDeadline)) return -1;
    return Now() - before;
}

struct Load {
    double fps = 0, cpu = 0;
    unsigned geometry = 0, textures = 0;
};

// Frames per second and processor use (% of one core) over `seconds`, after a warm-up.
Load Measure(e2e::MainProgramState& state, int seconds) {
    Sleep(3000);
    const auto first = state.Read();
    const double t0 = Now();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const auto last = state.Read();
    const double t1 = Now();
    Load load;
    if (!first || !last) return load;
    load.fps = static_cast<double>(last->framesTotal - first->framesTotal) * 1000.0 / (t1 - t0);
    load.cpu = CpuPercent(*first, *last);
    load.geometry = last->detailGeometry;
    load.textures = last->detailTextures;
    return load;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const std::wstring program = WindowsPath(SORVANE_MAIN_PROGRAM);
    const std::wstring minimal = WindowsPath(SORVANE_MINIMAL_DIRECT3D9);
    e2e::MainProgramState state;
    if (!state.Valid()) return 1;
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    // Every setting stored: no hardware is measured.
    for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"}) Store(name, 0);

    std::vector<double> mainTimes, minimalTimes, closeTimes;
    for (int round = 0; round < 1 + rounds; ++round) {
        e2e::Process process;
        const double a = TimeToFirstFrame(state, program, process);
        const double close = CloseAndTime(process, main_program::kScreensaverControlClass);
        e2e::Process reference;
        const double b = TimeToFirstFrame(state, minimal, reference);
        CloseAndTime(reference, L"MinimalDirect3D9");
        if (a < 0 || b < 0 || close < 0) {
            std::fprintf(stderr, "main_program_bench: round %d failed (%.1f, %.1f, %.1f)\n", round + 1, a, b, close);
            return 1;
        }
        if (round == 0) continue; // warm-up
        mainTimes.push_back(a);
        minimalTimes.push_back(b);
        closeTimes.push_back(close);
    }

    Load loads[2];
    double displayOffCpu = 0, peakMiB = 0;
    for (int high = 0; high < 2; ++high) {
        Store(L"HighQualityGraphics", high);
        Store(L"HighQualityTextures", high);
        e2e::Process process;
        if (TimeToFirstFrame(state, program, process) < 0) return 1;
        loads[high] = Measure(state, seconds);
        if (high == 1) {
            HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr);
            PostMessageW(control, kDisplayStateMessage, 0, 0);
            Sleep(1000);
            const auto first = state.Read();
            Sleep(static_cast<DWORD>(seconds) * 1000);
            const auto last = state.Read();
            if (first && last) displayOffCpu = CpuPercent(*first, *last);
            PROCESS_MEMORY_COUNTERS memory{};
            memory.cb = sizeof memory;
            if (GetProcessMemoryInfo(process.Handle(), &memory, sizeof memory))
                peakMiB = static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
        }
        CloseAndTime(process, main_program::kScreensaverControlClass);
    }
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);

    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::printf("main program, %d rounds; load over %d s at %dx%d\n", rounds, seconds, width, height);
    std::printf("  start to first scene frame  median %8.1f ms (minimal Direct3D 9 program %.1f ms)\n",
                Median(mainTimes), Median(minimalTimes));
    std::printf("  WM_CLOSE to the end         median %8.1f ms\n", Median(closeTimes));
    const char* names[] = {"automatic", "high"};
    for (int i = 0; i < 2; ++i)
        std::printf("  %-9s detail: %5.1f frames/s, %5.1f%% of a core (tiers %u/%u)\n", names[i], loads[i].fps,
                    loads[i].cpu, loads[i].geometry, loads[i].textures);
    std::printf("  display off: %.2f%% of a core; peak working set %.1f MiB\n", displayOffCpu, peakMiB);
    std::printf("RESULT main_start_ms %.2f\nRESULT minimal_start_ms %.2f\nRESULT close_ms %.2f\n", Median(mainTimes),
                Median(minimalTimes), Median(closeTimes));
    std::printf("RESULT fps_auto %.2f\nRESULT cpu_auto %.2f\nRESULT fps_high %.2f\nRESULT cpu_high %.2f\n",
                loads[0].fps, loads[0].cpu, loads[1].fps, loads[1].cpu);
    std::printf("RESULT cpu_display_off %.3f\nRESULT peak_mib %.2f\n", displayOffCpu, peakMiB);
    return 0;
}
