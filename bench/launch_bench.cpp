// Run mode's cost: the median time from starting the screensaver with /s to
// the first instruction of the main program it starts, next to the time from
// starting that main program through the smallest launcher, and directly.
// Prints "RESULT" lines for scripts/bench.sh. Under Wine:
//   tests/harness/wine_run.sh bench-launch build/win64/bench/launch_bench.exe [rounds]
#include "tests/e2e/driver/main_program_stand_in.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr const wchar_t* kInstallFolder = L"C:\\Sorvane Launch Bench";
constexpr DWORD kDeadline = 30000;
constexpr int kWarmUpRounds = 3;

// The build folder's Unix path as Wine's Z: drive shows it.
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

// Starts one process and returns the time to the stand-in's first instruction, or -1.
template <typename Start>
double TimeToMainProgram(e2e::MainProgramStandIn& standIn, Start start) {
    standIn.ForgetRecord();
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    e2e::Process process = start();
    if (!process.Started() || !process.WaitForExit(kDeadline)) return -1;
    const auto record = standIn.WaitForRecord(kDeadline);
    if (!record) return -1;
    return Milliseconds(record->started - before.QuadPart);
}

struct Figures {
    double median, lowest, highest;
};

Figures Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    return {median, times.front(), times.back()};
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    e2e::MainProgramStandIn standIn(0, false);
    if (!standIn.InstallInto(kInstallFolder, WindowsPath(SORVANE_STAND_IN)) ||
        !e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"AppPath", kInstallFolder)) {
        std::fprintf(stderr, "launch_bench: could not install the stand-in main program\n");
        return 1;
    }
    const std::wstring mainProgram = std::wstring(kInstallFolder) + e2e::kMainProgramName;
    auto direct = [&] { return e2e::Process::Start(mainProgram, L"", kInstallFolder); };
    auto throughScreensaver = [&] { return e2e::Process::Screensaver(L"/s", kInstallFolder); };
    auto throughMinimalLauncher = [&] {
        return e2e::Process::Start(WindowsPath(SORVANE_MINIMAL_LAUNCHER), L"\"" + mainProgram + L"\"", kInstallFolder);
    };

    std::vector<double> directTimes, screensaverTimes, launcherTimes;
    for (int round = 0; round < kWarmUpRounds + rounds; ++round) {
        // Alternated, so that a slow spell of the machine hurts each alike.
        const double a = TimeToMainProgram(standIn, direct);
        const double b = TimeToMainProgram(standIn, throughScreensaver);
        const double c = TimeToMainProgram(standIn, throughMinimalLauncher);
        if (a < 0 || b < 0 || c < 0) {
            std::fprintf(stderr, "launch_bench: round %d did not reach the main program\n", round + 1);
            e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
            return 1;
        }
        if (round < kWarmUpRounds) continue;
        directTimes.push_back(a);
        screensaverTimes.push_back(b);
        launcherTimes.push_back(c);
    }
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);

    const Figures d = Summarise(directTimes), s = Summarise(screensaverTimes), m = Summarise(launcherTimes);
    std::printf("launch: time from starting a process to the main program's first instruction, %d rounds\n", rounds);
    std::printf("  main program started directly   median %8.2f ms  (lowest %.2f, highest %.2f)\n", d.median,
                d.lowest, d.highest);
    std::printf("  through the screensaver's /s     median %8.2f ms  (lowest %.2f, highest %.2f)\n", s.median,
                s.lowest, s.highest);
    std::printf("  through the smallest launcher    median %8.2f ms  (lowest %.2f, highest %.2f)\n", m.median,
                m.lowest, m.highest);
    std::printf("  ratio (through /s : smallest launcher) %.2f\n", s.median / m.median);
    std::printf("RESULT run_ms %.2f\nRESULT minimal_launcher_ms %.2f\nRESULT direct_ms %.2f\n", s.median, m.median,
                d.median);
    return 0;
}
