// The audio's processor use in the real program: the screensaver's scene,
// rendered small and slowly so that the audio's share shows, with its
// built-in music and sounds against the same scene silent (music and sounds
// off, the device released). Medians of rounds that alternate the two;
// prints "RESULT" lines for scripts/bench.sh. Under Wine, with the output
// captured (SORVANE_AUDIO_CAPTURE):
//   tests/harness/wine_run.sh bench-audio-scene build/win64/bench/audio_scene_bench.exe [rounds]
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
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
constexpr DWORD kDeadline = 60000;
constexpr DWORD kWarmUp = 3000;
constexpr DWORD kMeasured = 10000;

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

void Store(const wchar_t* name, int value) {
    e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: " + std::to_wstring(value));
}

// The program's processor use (% of one core) over kMeasured after a warm-up,
// from its own samples; -1 when it did not run.
double ProcessorUse(e2e::MainProgramState& state, const std::wstring& program, bool audible) {
    Store(L"DisableMusic", audible ? 0 : 1);
    Store(L"DisableSound", audible ? 0 : 1);
    state.Clear();
    e2e::Process process = e2e::Process::Start(program, L"");
    if (!process.Started()) return -1;
    const bool ran = state.WaitFor([](const main_program::TestState& s) { return s.audioStarted != 0; }, kDeadline)
                         .has_value();
    double use = -1;
    if (ran) {
        Sleep(kWarmUp);
        const auto first = state.Read();
        Sleep(kMeasured);
        const auto last = state.Read();
        if (first && last && last->cpuSampledTicks > first->cpuSampledTicks &&
            (!audible || last->audioDevice == 1)) {
            const double wall = Milliseconds(static_cast<LONGLONG>(last->cpuSampledTicks - first->cpuSampledTicks));
            use = 100.0 * static_cast<double>(last->cpuMicroseconds - first->cpuMicroseconds) / 1000.0 / wall;
        }
    }
    if (HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr)) PostMessageW(control, WM_CLOSE, 0, 0);
    process.WaitForExit(kDeadline);
    return use;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::wstring program = WindowsPath(SORVANE_MAIN_PROGRAM);
    e2e::MainProgramState state;
    if (!state.Valid()) return 1;
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"}) Store(name, 0);
    SetEnvironmentVariableW(L"SORVANE_TEST_MAX_RENDER", L"128");
    SetEnvironmentVariableW(L"SORVANE_TEST_FPS", L"8");

    std::vector<double> audible, silent;
    for (int round = 0; round < rounds; ++round) {
        const double withAudio = ProcessorUse(state, program, true);
        const double without = ProcessorUse(state, program, false);
        if (withAudio < 0 || without < 0) {
            std::fprintf(stderr, "audio_scene_bench: round %d failed (%.2f, %.2f)\n", round + 1, withAudio, without);
            return 1;
        }
        audible.push_back(withAudio);
        silent.push_back(without);
    }
    std::printf("RESULT scene_audible_cpu_percent %.2f\nRESULT scene_silent_cpu_percent %.2f\n", Median(audible),
                Median(silent));
    return 0;
}
