// The engine the program uses: WASAPI and the machine's music sources.
#include "main_program/audio/audio_engine.h"
#include "main_program/audio/engine.h"
#include "main_program/audio/system_audio_win.h"

#include <windows.h>

namespace audio {

std::unique_ptr<AudioEngine> AudioEngine::Create() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const auto seed = static_cast<std::uint64_t>(counter.QuadPart) ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                      GetTickCount64();
    return std::make_unique<Engine>(CreateWasapiOutput(L"Sorvane 3D Screensaver"), CreateSystemMusicSources(), seed);
}

} // namespace audio
