// The configure and preview modes' start, side by side with the smallest
// programs of their kind: how long until the settings dialog is visible and
// idle (with every setting stored, as after its first use, and on a fresh
// system), and its peak working set, against one empty modal dialog after
// both Direct3D probes the dialog makes, run at once on two threads (and, for
// the record, the empty dialog alone and each probe alone); how long until the preview is
// painted, against a child window that paints nothing; how long /t takes,
// against an empty program. Prints one "RESULT" line per figure for
// scripts/bench.sh. Under Wine:
//   tests/harness/wine_run.sh bench-front-end build/win32/bench/front_end_bench.exe [rounds]
#include "tests/e2e/driver/preview_host.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDeadline = 30000;
constexpr int kWarmUpRounds = 2;
constexpr const wchar_t* kMakerKey = L"Software\\Quenvale";
constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
// How long the dialog stays open before its peak working set is read: long
// enough for anything it does once it has shown.
constexpr DWORD kOpenBeforePeak = 3000;

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

double MillisecondsSince(const LARGE_INTEGER& before) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls every millisecond (the driver's usual 20 ms would blur the figures),
// serving the messages other processes send to the driver's windows meanwhile.
bool WaitClosely(const std::function<bool()>& condition) {
    const ULONGLONG deadline = GetTickCount64() + kDeadline;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

HWND VisibleTopLevelWindow(DWORD processId) {
    for (HWND window : e2e::TopLevelWindows(processId))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

struct DialogRun {
    double milliseconds = -1;
    double peakWorkingSetMiB = -1;
};

// From the start to a visible top-level window whose thread is idle and
// answers; then, a while later, the peak working set so far; then the close box.
DialogRun TimeToIdleDialog(const std::wstring& program, const std::wstring& arguments, bool readPeak) {
    DialogRun run;
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    e2e::Process process = e2e::Process::Start(program, arguments);
    if (!process.Started()) return run;
    HWND dialog = nullptr;
    if (!WaitClosely([&] { return (dialog = VisibleTopLevelWindow(process.Id())) != nullptr; })) return run;
    if (WaitForInputIdle(process.Handle(), kDeadline) != 0) return run;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kDeadline, &answer)) return run;
    const double elapsed = MillisecondsSince(before);
    if (readPeak) WaitClosely([deadline = GetTickCount64() + kOpenBeforePeak] { return GetTickCount64() >= deadline; });

    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process.Handle(), &counters, sizeof(counters))) return run;
    e2e::Close(dialog);
    if (!process.WaitForExit(kDeadline)) return run;
    run.milliseconds = elapsed;
    run.peakWorkingSetMiB = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    return run;
}

// From the start to the program's child window in the preview area, visible
// and with nothing left to paint; then the area goes and the program must end.
double TimeToPaintedPreview(const std::wstring& program) {
    e2e::PreviewHost host(152, 112);
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    e2e::Process process = e2e::Process::Start(program, L"/p " + host.Number());
    if (!process.Started()) return -1;
    HWND child = nullptr;
    const bool painted = WaitClosely([&] {
        if (!child) {
            for (HWND window = GetWindow(host.Window(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == process.Id()) child = window;
            }
        }
        return child && IsWindowVisible(child) && !GetUpdateRect(child, nullptr, FALSE);
    });
    const double elapsed = MillisecondsSince(before);
    host.Destroy();
    if (!painted || !WaitClosely([&] { return !process.Running(); })) return -1;
    return elapsed;
}

// Every setting stored, as the dialog's first OK leaves them; or none.
void StoreEverySetting(bool store) {
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    if (!store) return;
    const wchar_t* const names[] = {L"HighQualityTextures", L"EnableMultiMonitorMode", L"ShowBlackScreens",
                                    L"ShowFPS", L"DisableOnMouseActivate", L"MusicVolumePercentage",
                                    L"DisableMusic", L"SoundsVolumePercentage", L"DisableSound",
                                    L"MonitorAspectRatio", L"UseDesktopRes", L"UsePlaylist",
                                    L"HighQualityGraphics", L"FontScaling", L"Antialiasing", L"ShufflePlayList"};
    for (const wchar_t* name : names) e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: 1");
}

// How long one Direct3D probe takes by itself, as its program reports it.
double ProbeAlone(const std::wstring& program, const wchar_t* which) {
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"prb", 0, file)) return -1;
    e2e::Process process = e2e::Process::Start(program, std::wstring(which) + L" \"" + file + L"\"");
    double milliseconds = -1;
    if (process.Started() && process.WaitForExit(kDeadline) && process.ExitCode() == 0) {
        if (FILE* in = _wfopen(file, L"r")) {
            if (std::fscanf(in, "%lf", &milliseconds) != 1) milliseconds = -1;
            std::fclose(in);
        }
    }
    DeleteFileW(file);
    return milliseconds;
}

// From the start to the end of a program that ends at once: what starting
// it and loading what it imports costs.
double TimeToExit(const std::wstring& program, const std::wstring& arguments) {
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    e2e::Process process = e2e::Process::Start(program, arguments);
    if (!process.Started() || !process.WaitForExit(kDeadline)) return -1;
    return MillisecondsSince(before);
}

struct Series {
    const char* key;
    std::vector<double> values;
};

void Report(Series& series) {
    std::vector<double>& v = series.values;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    std::printf("RESULT %s %.2f %.2f %.2f %zu\n", series.key, median, v.front(), v.back(), n);
}

bool Keep(Series& series, double value, int round) {
    if (value < 0) {
        std::fprintf(stderr, "front_end_bench: round %d: %s did not come to its end state\n", round + 1, series.key);
        return false;
    }
    if (round >= kWarmUpRounds) series.values.push_back(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::wstring screensaver = e2e::ScreensaverPath();
    const std::wstring probeAlone = WindowsPath(SORVANE_DIRECT3D_PROBE_ALONE);
    const std::wstring minimalDialog = WindowsPath(SORVANE_MINIMAL_DIALOG);
    const std::wstring probingDialog = WindowsPath(SORVANE_MINIMAL_PROBING_DIALOG);
    const std::wstring minimalChild = WindowsPath(SORVANE_MINIMAL_CHILD_WINDOW);
    if (screensaver.empty()) {
        std::fprintf(stderr, "front_end_bench: SORVANE_SCR is not set; run it through tests/harness/wine_run.sh\n");
        return 1;
    }

    // Analytics off: the figures are the dialog's, not the network's.
    e2e::SeedText(HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics", L"1");
    Series configure{"configure_ms", {}}, configureFresh{"configure_fresh_ms", {}},
        dialogFloor{"minimal_dialog_ms", {}}, probingFloor{"probing_dialog_ms", {}},
        probingPeak{"probing_dialog_peak_mib", {}}, direct3d9{"direct3d9_probe_ms", {}},
        direct3d11{"direct3d11_probe_ms", {}}, configurePeak{"configure_peak_mib", {}},
        dialogPeak{"minimal_dialog_peak_mib", {}}, preview{"preview_ms", {}}, childFloor{"minimal_child_ms", {}},
        exitAtOnce{"exit_ms", {}}, emptyProgram{"empty_program_ms", {}};
    for (int round = 0; round < kWarmUpRounds + rounds; ++round) {
        // Alternated, so that a slow spell of the machine hurts each alike.
        const DialogRun floor = TimeToIdleDialog(minimalDialog, L"", true);
        const DialogRun probing = TimeToIdleDialog(probingDialog, L"", true);
        StoreEverySetting(true);
        const DialogRun full = TimeToIdleDialog(screensaver, L"/c", true);
        StoreEverySetting(false);
        const DialogRun fresh = TimeToIdleDialog(screensaver, L"/c", false);
        const double d3d9Time = ProbeAlone(probeAlone, L"d3d9");
        const double d3d11Time = ProbeAlone(probeAlone, L"d3d11");
        const double childTime = TimeToPaintedPreview(minimalChild);
        const double previewTime = TimeToPaintedPreview(screensaver);
        // The child window program without a window number ends at once.
        const double emptyTime = TimeToExit(minimalChild, L"");
        const double exitTime = TimeToExit(screensaver, L"/t");
        if (!Keep(dialogFloor, floor.milliseconds, round) || !Keep(probingFloor, probing.milliseconds, round) ||
            !Keep(probingPeak, probing.peakWorkingSetMiB, round) || !Keep(configure, full.milliseconds, round) ||
            !Keep(configureFresh, fresh.milliseconds, round) || !Keep(direct3d9, d3d9Time, round) ||
            !Keep(direct3d11, d3d11Time, round) ||
            !Keep(dialogPeak, floor.peakWorkingSetMiB, round) || !Keep(configurePeak, full.peakWorkingSetMiB, round) ||
            !Keep(childFloor, childTime, round) || !Keep(preview, previewTime, round) ||
            !Keep(emptyProgram, emptyTime, round) || !Keep(exitAtOnce, exitTime, round))
            return 1;
    }
    for (Series* series : {&configure, &configureFresh, &dialogFloor, &probingFloor, &probingPeak, &direct3d9,
                           &direct3d11, &configurePeak,
                           &dialogPeak, &preview, &childFloor, &exitAtOnce, &emptyProgram})
        Report(*series);
    return 0;
}
