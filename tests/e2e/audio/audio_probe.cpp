// Starts the audio engine as the program's modes will: the settings written
// to the product key first (as the settings dialog would), read back, then
// played, with live changes, pauses and scene events at points of the
// played audio. Prints what it did and what played, for audio_capture_test.py.
//
//   audio_probe [--set Name=Value]... [--playlist FILE] [--at SECONDS ACTION [ARG]]...
//               (--play SECONDS | --wait SECONDS) [--entries N]
//
// --set       an Int setting of the product key ("2: Value")
// --playlist  a UTF-8 file whose text becomes the PlayList value
// --at        when SECONDS of audio have played: music-volume N, music on|off,
//             sounds-volume N, sounds on|off, pause, resume, or effect KIND
//             (rises, passes, star, ripple)
// --play      ends when SECONDS of audio have played (and --entries N playlist
//             entries have started)
// --wait      ends after SECONDS of the clock, whatever played
// Exit code 0, or 1 when the audio did not get so far within a minute.
#include "main_program/audio/audio_engine.h"
#include "main_program/audio/audio_settings.h"
#include "platform/registry_access.h"
#include "platform/utf8.h"
#include "settings/store/settings_tree.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Action {
    double at = 0.0;
    std::wstring what;
    std::wstring argument;
    bool done = false;
};

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

const char* MusicName(audio::AudioStatus::Music music) {
    switch (music) {
    case audio::AudioStatus::Music::BuiltIn:
        return "built-in";
    case audio::AudioStatus::Music::PlayList:
        return "playlist";
    case audio::AudioStatus::Music::Midi:
        return "midi";
    case audio::AudioStatus::Music::Nothing:
        break;
    }
    return "nothing";
}

void Report(const char* what, const audio::AudioStatus& status) {
    std::printf("%s frame=%llu rate=%d device=%d music=%s entry=\"%s\" decoder=%s started=%u skipped=%u "
                "effects=%u music_gain=%.5f latency_ms=%.1f\n",
                what, static_cast<unsigned long long>(status.framesPlayed), status.sampleRate, status.deviceOpen ? 1 : 0,
                MusicName(status.music), Narrow(status.entry).c_str(), status.decoder, status.entriesStarted,
                status.entriesSkipped, status.effectsStarted, status.musicGain, status.latencyMs);
    std::fflush(stdout);
}

bool Perform(audio::AudioEngine& engine, const Action& action) {
    const int number = action.argument.empty() ? 0 : _wtoi(action.argument.c_str());
    const bool on = action.argument == L"on";
    if (action.what == L"music-volume") {
        engine.SetMusicVolume(number);
    } else if (action.what == L"music") {
        engine.SetMusicEnabled(on);
    } else if (action.what == L"sounds-volume") {
        engine.SetSoundsVolume(number);
    } else if (action.what == L"sounds") {
        engine.SetSoundsEnabled(on);
    } else if (action.what == L"pause") {
        engine.SetPaused(true);
    } else if (action.what == L"resume") {
        engine.SetPaused(false);
    } else if (action.what == L"effect") {
        scene::SceneEvent event;
        event.kind = action.argument == L"passes"   ? scene::SceneEventKind::LightPasses
                     : action.argument == L"star"   ? scene::SceneEventKind::ShootingStar
                     : action.argument == L"ripple" ? scene::SceneEventKind::WaterRipple
                                                    : scene::SceneEventKind::LightRises;
        engine.Play(event);
    } else {
        return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Node tree;
    std::vector<Action> actions;
    double play = -1.0;
    double wait = -1.0;
    unsigned entries = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--set" && i + 1 < argc) {
            const std::wstring pair = argv[++i];
            const std::size_t equals = pair.find(L'=');
            tree.Get(pair.substr(0, equals)) = Node::Value(static_cast<std::int32_t>(_wtoi(pair.c_str() + equals + 1)));
        } else if (option == L"--playlist" && i + 1 < argc) {
            std::ifstream file(argv[++i], std::ios::binary);
            std::stringstream text;
            text << file.rdbuf();
            WriteRegistryString(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", Utf8ToWide(text.str()), true);
        } else if (option == L"--at" && i + 2 < argc) {
            Action action;
            action.at = _wtof(argv[++i]);
            action.what = argv[++i];
            if (action.what != L"pause" && action.what != L"resume" && i + 1 < argc) action.argument = argv[++i];
            actions.push_back(action);
        } else if (option == L"--play" && i + 1 < argc) {
            play = _wtof(argv[++i]);
        } else if (option == L"--wait" && i + 1 < argc) {
            wait = _wtof(argv[++i]);
        } else if (option == L"--entries" && i + 1 < argc) {
            entries = static_cast<unsigned>(_wtoi(argv[++i]));
        } else {
            std::fprintf(stderr, "audio_probe: unknown argument %s\n", Narrow(option).c_str());
            return 2;
        }
    }
    if (!tree.GetEntries().empty() && !tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kProductKey)) {
        std::fprintf(stderr, "audio_probe: the settings could not be written\n");
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    auto engine = audio::AudioEngine::Create();
    engine->Start(audio::ReadAudioSettings());
    Report("START", engine->Status());

    std::wstring entry;
    int result = 0;
    for (;;) {
        const audio::AudioStatus status = engine->Status();
        const double played = status.sampleRate > 0 ? static_cast<double>(status.framesPlayed) / status.sampleRate : 0.0;
        if (status.entry != entry || (!status.entry.empty() && status.entriesStarted != 0 && entry.empty())) {
            entry = status.entry;
            if (!entry.empty()) Report("ENTRY", status);
        }
        for (auto& action : actions) {
            if (action.done || (wait < 0.0 && played < action.at) || (wait >= 0.0 && elapsed() < action.at)) continue;
            action.done = true;
            if (!Perform(*engine, action)) {
                std::fprintf(stderr, "audio_probe: unknown action %s\n", Narrow(action.what).c_str());
                return 2;
            }
            Report(("ACTION " + Narrow(action.what) + " " + Narrow(action.argument)).c_str(), engine->Status());
        }
        if (wait >= 0.0 && elapsed() >= wait) break;
        if (play >= 0.0 && played >= play && status.entriesStarted >= entries) break;
        if (elapsed() > 60.0) {
            result = 1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Report(result == 0 ? "END" : "GAVE-UP", engine->Status());
    const auto ending = std::chrono::steady_clock::now();
    engine.reset();
    std::printf("ENDED in %.0f ms\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ending).count());
    std::fflush(stdout);
    return result;
}
