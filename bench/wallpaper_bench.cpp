// The animated wallpaper's costs under Wine, at the screen's size: frames per
// second and processor use while it plays, next to the screensaver mode held
// to the same 30 frames a second; processor use while a covering window
// pauses it, next to an idle Direct3D 9 program; and from a covering window's
// appearance to the pause and from its removal to the next frame. Prints
// "RESULT" lines for scripts/bench.sh:
//   tests/harness/wine_run.sh bench-wallpaper build/win64/bench/wallpaper_bench.exe [rounds] [seconds]
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using main_program::TestState;

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr DWORD kDeadline = 60000;

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

double Now() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Processor time of a program started from here, read from Linux's /proc
// through Wine's Z: drive (Wine's GetProcessTimes tells nothing of another
// process): the one whose command line holds `program` and whose Unix
// environment names this run's Wine prefix, which no other run shares.
class UnixProcessTimes {
  public:
    explicit UnixProcessTimes(const std::string& program) {
        char prefix[1024] = "";
        GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
        const std::string marker = std::string("WINEPREFIX=") + prefix + '\0';
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            if (!std::isdigit(static_cast<unsigned char>(entry.cFileName[0]))) continue;
            const std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
            if (Contents(folder + "\\cmdline").find(program) == std::string::npos) continue;
            if (Contents(folder + "\\environ").find(marker) == std::string::npos) continue;
            stat_ = folder + "\\stat";
            break;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    bool Found() const { return !stat_.empty(); }
    // User and system time in milliseconds (Linux counts in hundredths of a second).
    double Milliseconds() const {
        const std::string stat = Contents(stat_);
        const size_t end = stat.rfind(')');
        if (end == std::string::npos) return 0;
        std::vector<std::string> fields;
        size_t at = end + 2;
        while (at < stat.size()) {
            const size_t next = stat.find(' ', at);
            fields.push_back(stat.substr(at, next - at));
            if (next == std::string::npos) break;
            at = next + 1;
        }
        // After the name: state (field 3) ... utime (14), stime (15).
        if (fields.size() < 13) return 0;
        return 10.0 * (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str()));
    }

  private:
    static std::string Contents(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return {};
        std::string text;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
        CloseHandle(file);
        return text;
    }
    std::string stat_;
};

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Load {
    double fps = 0, cpu = 0;
};

// Processor use (% of one core) over `seconds`.
double CpuUse(const UnixProcessTimes& times, int seconds) {
    const double cpu0 = times.Milliseconds(), t0 = Now();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 100.0 * (times.Milliseconds() - cpu0) / (Now() - t0);
}

// Frames per second and processor use (% of one core) over `seconds`, after a warm-up.
Load Measure(const e2e::MainProgramState& state, const UnixProcessTimes& times, int seconds) {
    Sleep(3000);
    const auto first = state.Read();
    const double cpu0 = times.Milliseconds(), t0 = Now();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const auto last = state.Read();
    const double cpu1 = times.Milliseconds(), t1 = Now();
    Load load;
    if (first && last) load.fps = static_cast<double>(last->framesTotal - first->framesTotal) * 1000.0 / (t1 - t0);
    load.cpu = 100.0 * (cpu1 - cpu0) / (t1 - t0);
    return load;
}

bool Start(e2e::MainProgramState& state, e2e::Process& process, const std::wstring& program,
           const std::wstring& arguments) {
    state.Clear();
    process = e2e::Process::Start(program, arguments);
    return process.Started() &&
           state.WaitFor([](const TestState& s) { return s.windowCount > 0 && s.windows[0].frames >= 3; }, kDeadline);
}

void Close(e2e::Process& process, const wchar_t* controlClass) {
    if (HWND control = FindWindowW(controlClass, nullptr)) PostMessageW(control, WM_CLOSE, 0, 0);
    process.WaitForExit(kDeadline);
}

// A plain window of this process over the primary monitor, shown until it goes.
class Cover {
  public:
    Cover() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        windowClass.lpszClassName = L"SorvaneBenchCover";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"SorvaneBenchCover", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~Cover() { DestroyWindow(window_); }
    Cover(const Cover&) = delete;
    Cover& operator=(const Cover&) = delete;

  private:
    HWND window_ = nullptr;
};

// Milliseconds until `condition` holds for the published state, polled every
// millisecond; -1 after the deadline.
double TimeUntil(const e2e::MainProgramState& state, const std::function<bool(const TestState&)>& condition) {
    const double start = Now();
    return state.WaitFor(condition, kDeadline) ? Now() - start : -1;
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
    for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"})
        e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, name, L"2: 0");

    e2e::Process wallpaper;
    if (!Start(state, wallpaper, program, L"/w")) {
        std::fprintf(stderr, "wallpaper_bench: the wallpaper did not start\n");
        return 1;
    }
    const UnixProcessTimes wallpaperTimes("Sorvane 3D Screensaver.exe");
    if (!wallpaperTimes.Found()) {
        std::fprintf(stderr, "wallpaper_bench: the wallpaper's process is not in /proc\n");
        return 1;
    }
    const Load playing = Measure(state, wallpaperTimes, seconds);

    std::vector<double> pauses, resumes;
    for (int round = 0; round < 1 + rounds; ++round) {
        const std::uint64_t frames = state.Read()->windows[0].frames;
        double pause = 0;
        {
            const Cover cover;
            pause = TimeUntil(state, [](const TestState& s) { return s.windows[0].paused != 0; });
        }
        const double resume =
            TimeUntil(state, [&](const TestState& s) { return !s.windows[0].paused && s.windows[0].frames > frames; });
        if (pause < 0 || resume < 0) {
            std::fprintf(stderr, "wallpaper_bench: round %d: no pause or no resumption\n", round + 1);
            return 1;
        }
        if (round == 0) continue; // warm-up
        pauses.push_back(pause);
        resumes.push_back(resume);
    }
    state.WaitFor([](const TestState& s) { return !s.windows[0].paused; }, kDeadline);
    double pausedCpu = 0;
    {
        const Cover cover;
        state.WaitFor([](const TestState& s) { return s.windows[0].paused != 0; }, kDeadline);
        Sleep(1000);
        pausedCpu = CpuUse(wallpaperTimes, seconds);
    }
    Close(wallpaper, main_program::kWallpaperControlClass);

    // The references: the screensaver at the wallpaper's frame rate, and a
    // Direct3D 9 program that has presented its frame and waits.
    SetEnvironmentVariableW(L"SORVANE_TEST_FPS", L"30");
    e2e::Process screensaver;
    if (!Start(state, screensaver, program, L"")) return 1;
    const Load reference = Measure(state, UnixProcessTimes("Sorvane 3D Screensaver.exe"), seconds);
    Close(screensaver, main_program::kScreensaverControlClass);
    SetEnvironmentVariableW(L"SORVANE_TEST_FPS", nullptr);
    e2e::Process idle;
    state.Clear();
    idle = e2e::Process::Start(minimal, L"");
    if (!state.WaitFor([](const TestState& s) { return s.firstSceneFrameTicks != 0; }, kDeadline)) return 1;
    Sleep(1000);
    const double idleCpu = CpuUse(UnixProcessTimes("minimal_direct3d9.exe"), seconds);
    Close(idle, L"MinimalDirect3D9");
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);

    std::printf("wallpaper at %dx%d, %d s of load, %d covers\n", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), seconds, rounds);
    std::printf("  playing:  %5.1f frames/s, %6.2f%% of a core (screensaver at 30: %5.1f frames/s, %6.2f%%)\n",
                playing.fps, playing.cpu, reference.fps, reference.cpu);
    std::printf("  paused:   %6.3f%% of a core (idle Direct3D 9 program: %6.3f%%)\n", pausedCpu, idleCpu);
    std::printf("  cover to pause median %.1f ms, removal to the next frame median %.1f ms\n", Median(pauses),
                Median(resumes));
    std::printf("RESULT wallpaper_fps %.2f\nRESULT wallpaper_cpu %.3f\nRESULT screensaver30_fps %.2f\n"
                "RESULT screensaver30_cpu %.3f\nRESULT wallpaper_paused_cpu %.4f\nRESULT idle_direct3d9_cpu %.4f\n"
                "RESULT cover_to_pause_ms %.2f\nRESULT removal_to_frame_ms %.2f\n",
                playing.fps, playing.cpu, reference.fps, reference.cpu, pausedCpu, idleCpu, Median(pauses),
                Median(resumes));
    return 0;
}
