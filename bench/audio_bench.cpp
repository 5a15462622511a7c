// The main program's audio under Wine: the CPU its threads take while the
// built-in music plays and effects sound (against the same engine silent,
// and a minimal WASAPI program playing a tone beside it), the mixing alone,
// and the time from a live volume change (code 1) to the new level leaving
// the mixer, plus the device's latency. Prints "RESULT name value" lines for
// scripts/bench.sh:
//   SORVANE_AUDIO_CAPTURE=out.wav tests/harness/wine_run.sh bench-audio build/win64/bench/audio_bench.exe
#include "main_program/audio/audio_engine.h"
#include "main_program/audio/frame_ring.h"
#include "main_program/audio/mixer.h"
#include "main_program/audio/volume_curve.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kSeconds = 10.0;

double Seconds(const FILETIME& time) {
    return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

double CpuSeconds(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0.0;
    return Seconds(kernel) + Seconds(user);
}

double ThreadCpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
    return Seconds(kernel) + Seconds(user);
}

// The CPU this process takes over kSeconds, in percent of one core, while
// `during` runs every 100 ms.
template <typename During> double CpuPercent(During during) {
    const double before = CpuSeconds(GetCurrentProcess());
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(kSeconds)) {
        during();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return 100.0 * (CpuSeconds(GetCurrentProcess()) - before) / wall;
}

// The minimal program prints its own figure, to this program's output.
void RunMinimalOutput() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L'\\') + 1);
    std::wstring command = L"\"" + folder + L"minimal_audio_output.exe\" " + std::to_wstring(static_cast<int>(kSeconds));
    std::fflush(stdout);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool WaitFor(audio::AudioEngine& engine, bool (*holds)(const audio::AudioStatus&)) {
    for (int i = 0; i < 20000; ++i) {
        if (holds(engine.Status())) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    // The mixing alone, without a device: a minute of the built-in music
    // with an effect every second, in CPU time of this thread.
    {
        audio::MixControls controls;
        audio::FrameRing ring(1024);
        audio::Mixer mixer(controls, ring, 1);
        mixer.SetSampleRate(48000);
        controls.source = audio::MusicSource::BuiltIn;
        controls.musicGain = audio::VolumeGain(15);
        controls.soundsGain = audio::VolumeGain(100);
        std::vector<float> block(2 * 480);
        const double before = ThreadCpuSeconds();
        for (int i = 0; i < 6000; ++i) {
            if (i % 100 == 0) mixer.Trigger({static_cast<scene::SceneEventKind>(i / 100 % 4), 0.3f, 0.8f});
            mixer.Render(block.data(), 480);
        }
        std::printf("RESULT mix_cpu_percent %.3f\n", 100.0 * (ThreadCpuSeconds() - before) / 60.0);
    }

    auto engine = audio::AudioEngine::Create();
    audio::AudioSettings settings;
    settings.musicEnabled = false;
    settings.soundsEnabled = false;
    engine->Start(settings);
    std::printf("RESULT silent_cpu_percent %.3f\n", CpuPercent([] {}));

    settings.musicEnabled = true;
    settings.soundsEnabled = true;
    engine->Apply(settings);
    if (!WaitFor(*engine, [](const audio::AudioStatus& s) { return s.deviceOpen && s.framesPlayed > 0; })) {
        std::fprintf(stderr, "audio_bench: no output device\n");
        return 1;
    }
    int event = 0;
    std::printf("RESULT playing_cpu_percent %.3f\n", CpuPercent([&] {
                    if (++event % 10 == 0)
                        engine->Play({static_cast<scene::SceneEventKind>(event / 10 % 4), 0.0f, 0.8f});
                }));

    // Code 1: from the call until the mixer hands the device frames at the
    // new gain, plus the device's own latency.
    std::vector<double> mixed;
    std::vector<double> heard;
    for (int round = 0; round < 21; ++round) {
        const int volume = round % 2 ? 15 : 100;
        const float target = audio::VolumeGain(volume);
        const auto start = std::chrono::steady_clock::now();
        engine->SetMusicVolume(volume);
        audio::AudioStatus status;
        do {
            status = engine->Status();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        } while (status.musicGain != target &&
                 std::chrono::steady_clock::now() - start < std::chrono::seconds(5));
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        mixed.push_back(ms);
        heard.push_back(ms + status.latencyMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    std::printf("RESULT code1_mixed_ms %.1f\nRESULT code1_mixed_max_ms %.1f\n", Median(mixed),
                *std::max_element(mixed.begin(), mixed.end()));
    std::printf("RESULT code1_heard_ms %.1f\nRESULT code1_heard_max_ms %.1f\n", Median(heard),
                *std::max_element(heard.begin(), heard.end()));
    std::printf("RESULT device_latency_ms %.1f\n", engine->Status().latencyMs);
    engine.reset();

    RunMinimalOutput();
    return 0;
}
