// The smallest program that plays through WASAPI: a sine on the default
// device in shared mode, event-driven, for the given seconds. The audio
// benchmark's reference for what playing costs on this system: prints the
// CPU it took while playing (its start left out) as a "RESULT" line.
#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto value = [](const FILETIME& time) {
        return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const double seconds = argc > 1 ? _wtof(argv[1]) : 10.0;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* device = nullptr;
    IAudioClient* client = nullptr;
    IAudioRenderClient* render = nullptr;
    WAVEFORMATEX* format = nullptr;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator))) ||
        FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) ||
        FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr,
                                reinterpret_cast<void**>(&client))) ||
        FAILED(client->GetMixFormat(&format)) ||
        FAILED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, 400000, 0, format,
                                  nullptr)) ||
        FAILED(client->SetEventHandle(event)) ||
        FAILED(client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&render))))
        return 1;
    UINT32 size = 0;
    client->GetBufferSize(&size);
    const int channels = format->nChannels;
    const double step = 2.0 * 3.141592653589793 * 440.0 / format->nSamplesPerSec;
    double phase = 0.0;
    client->Start();
    const double cpuBefore = CpuSeconds();
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG end = start + static_cast<ULONGLONG>(seconds * 1000.0);
    while (GetTickCount64() < end) {
        WaitForSingleObject(event, 200);
        UINT32 padding = 0;
        client->GetCurrentPadding(&padding);
        const UINT32 frames = size - padding;
        BYTE* data = nullptr;
        if (frames == 0 || FAILED(render->GetBuffer(frames, &data))) continue;
        // The mix format is 32-bit float on every system this runs on.
        auto* samples = reinterpret_cast<float*>(data);
        for (UINT32 i = 0; i < frames; ++i, phase += step)
            for (int c = 0; c < channels; ++c)
                samples[i * channels + c] = 0.25f * static_cast<float>(std::sin(phase));
        render->ReleaseBuffer(frames, 0);
    }
    const double wall = static_cast<double>(GetTickCount64() - start) / 1000.0;
    std::printf("RESULT minimal_output_cpu_percent %.3f\n", 100.0 * (CpuSeconds() - cpuBefore) / wall);
    client->Stop();
    return 0;
}
