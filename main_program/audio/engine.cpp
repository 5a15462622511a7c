// The audio engine's threads and the state they share.
#include "main_program/audio/engine.h"

#include "main_program/audio/frame_ring.h"
#include "main_program/audio/mixer.h"
#include "main_program/audio/music_loader.h"
#include "main_program/audio/volume_curve.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace audio {

namespace {

// About 1.4 s of decoded music at 48 kHz.
constexpr std::size_t kRingFrames = 65536;
// A device that cannot be opened is tried again this often (and at once
// when the system reports a change of devices).
constexpr std::chrono::milliseconds kReopenWait{2000};
constexpr std::chrono::milliseconds kDeviceWait{200};
constexpr std::chrono::milliseconds kIdleWait{1000};

const char* DecoderName(DecoderKind kind) {
    switch (kind) {
    case DecoderKind::MediaFoundation:
        return "Media Foundation";
    case DecoderKind::Vorbis:
        return "Vorbis";
    case DecoderKind::Flac:
        return "FLAC";
    case DecoderKind::Midi:
        return "MIDI";
    }
    return "";
}

} // namespace

struct Engine::Shared {
    Shared(std::unique_ptr<AudioOutput> out, std::unique_ptr<MusicSources> in, std::uint64_t randomSeed)
        : output(std::move(out)), sources(std::move(in)), ring(kRingFrames), mixer(controls, ring, randomSeed),
          seed(randomSeed) {}

    std::unique_ptr<AudioOutput> output;
    std::unique_ptr<MusicSources> sources;
    MixControls controls;
    FrameRing ring;
    Mixer mixer;
    std::uint64_t seed;

    mutable std::mutex mutex;
    std::condition_variable loaderWake;
    std::condition_variable outputEnded;
    // Guarded by the mutex.
    bool started = false;
    bool paused = false;
    bool stopping = false;
    bool outputDone = false;
    bool loaderDone = false;
    AudioSettings settings;
    std::uint64_t version = 0; // of settings, pause and output rate
    LoaderStatus loaderStatus;
    int rate = 0;

    std::atomic<bool> stop{false};
    std::atomic<bool> deviceOpen{false};
    std::atomic<std::uint64_t> frames{0};
    std::atomic<double> latencyMs{0.0};

    bool WantsDevice() const {
        return started && !paused && !stopping && (settings.musicEnabled || settings.soundsEnabled);
    }

    // With the mutex held: every thread learns of the change.
    void Changed() {
        controls.musicGain.store(
            started && !paused && settings.musicEnabled ? VolumeGain(settings.musicVolume) : 0.0f);
        controls.soundsGain.store(
            started && !paused && settings.soundsEnabled ? VolumeGain(settings.soundsVolume) : 0.0f);
        ++version;
        loaderWake.notify_all();
        output->Wake();
    }

    void SetRate(int newRate) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (rate == newRate) return;
        rate = newRate;
        ++version;
        loaderWake.notify_all();
    }

    void RunOutput();
    void RunLoader();
    void RunLoaderSteps();
};

void Engine::Shared::RunOutput() {
    output->ThreadBegins();
    std::vector<float> buffer;
    for (;;) {
        bool wanted = false;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (stopping) break;
            wanted = WantsDevice();
        }
        if (!wanted) {
            if (output->IsOpen()) {
                output->Close();
                deviceOpen.store(false);
            }
            output->WaitForChange(kIdleWait);
            continue;
        }
        if (!output->IsOpen()) {
            if (!output->Open()) {
                output->WaitForChange(kReopenWait);
                continue;
            }
            mixer.SetSampleRate(output->SampleRate());
            latencyMs.store(output->LatencyMs());
            deviceOpen.store(true);
            SetRate(output->SampleRate());
        }
        const long wanted_frames = output->WaitForFrames(kDeviceWait);
        if (wanted_frames == AudioOutput::kDeviceLost) {
            output->Close();
            deviceOpen.store(false);
            continue;
        }
        if (wanted_frames <= 0) continue;
        const auto count = static_cast<std::size_t>(wanted_frames);
        buffer.resize(2 * count);
        mixer.Render(buffer.data(), count);
        output->Write(buffer.data(), count);
        frames.fetch_add(count);
    }
    output->Close();
    deviceOpen.store(false);
    output->ThreadEnds();
    const std::lock_guard<std::mutex> lock(mutex);
    outputDone = true;
    outputEnded.notify_all();
}

void Engine::Shared::RunLoader() {
    sources->ThreadBegins();
    RunLoaderSteps();
    sources->ThreadEnds();
    const std::lock_guard<std::mutex> lock(mutex);
    loaderDone = true;
    outputEnded.notify_all();
}

void Engine::Shared::RunLoaderSteps() {
    MusicLoader loader(*sources, ring, controls, seed ^ 0x10ADull, [this] { return stop.load(); });
    std::uint64_t seen = 0;
    bool first = true;
    for (;;) {
        LoaderSettings next;
        bool changed = false;
        int outputRate = 0;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (stopping) break;
            if (first || version != seen) {
                seen = version;
                first = false;
                changed = true;
                next.musicEnabled = settings.musicEnabled;
                next.paused = paused;
                next.usePlaylist = settings.usePlaylist;
                next.shuffle = settings.shuffle;
                next.playList = settings.playList;
                next.musicGain = controls.musicGain.load();
            }
            outputRate = rate;
        }
        const auto now = MusicLoader::Clock::now();
        if (changed) loader.Configure(next, now);
        loader.SetOutputRate(outputRate);
        const auto until = loader.Step(now);
        std::unique_lock<std::mutex> lock(mutex);
        loaderStatus = loader.Status();
        loaderWake.wait_until(lock, until, [&] { return stopping || version != seen; });
    }
    loader.Close();
}

Engine::Engine(std::unique_ptr<AudioOutput> output, std::unique_ptr<MusicSources> sources, std::uint64_t seed)
    : shared_(std::make_shared<Shared>(std::move(output), std::move(sources), seed)) {}

Engine::~Engine() {
    if (!output_.joinable() && !loader_.joinable()) return; // never started
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    shared_->stop.store(true);
    shared_->loaderWake.notify_all();
    shared_->output->Wake();
    const bool outputDone = shared_->outputEnded.wait_for(lock, kStopWait, [this] { return shared_->outputDone; });
    // The loader may be stuck opening a file on a dead network path: it is
    // given a moment, and then left to end with the process.
    const bool loaderDone =
        shared_->outputEnded.wait_for(lock, kLoaderStopWait, [this] { return shared_->loaderDone; });
    lock.unlock();
    if (output_.joinable()) outputDone ? output_.join() : output_.detach();
    if (loader_.joinable()) loaderDone ? loader_.join() : loader_.detach();
}

void Engine::Start(const AudioSettings& settings) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings = settings;
    if (!shared_->started) {
        shared_->started = true;
        // The threads own the shared state with the engine, so that either
        // may outlive the other.
        try {
            output_ = std::thread([shared = shared_] { shared->RunOutput(); });
            loader_ = std::thread([shared = shared_] { shared->RunLoader(); });
        } catch (const std::system_error&) {
            // No threads to be had: the program goes on without sound.
            shared_->stopping = true;
            shared_->loaderWake.notify_all();
        }
    }
    shared_->Changed();
}

void Engine::Apply(const AudioSettings& settings) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings = settings;
    shared_->Changed();
}

void Engine::SetMusicVolume(int volume) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings.musicVolume = volume;
    shared_->Changed();
}

void Engine::SetMusicEnabled(bool enabled) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings.musicEnabled = enabled;
    shared_->Changed();
}

void Engine::SetSoundsVolume(int volume) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings.soundsVolume = volume;
    shared_->Changed();
}

void Engine::SetSoundsEnabled(bool enabled) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->settings.soundsEnabled = enabled;
    shared_->Changed();
}

void Engine::SetPaused(bool paused) {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->paused = paused;
    shared_->Changed();
}

void Engine::Play(const scene::SceneEvent& event) {
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        if (!shared_->started || shared_->paused || !shared_->settings.soundsEnabled) return;
    }
    shared_->mixer.Trigger(event);
}

AudioStatus Engine::Status() const {
    AudioStatus status;
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        status.entry = shared_->loaderStatus.entry;
        if (shared_->loaderStatus.decoder) status.decoder = DecoderName(*shared_->loaderStatus.decoder);
        status.entriesStarted = shared_->loaderStatus.entriesStarted;
        status.entriesSkipped = shared_->loaderStatus.entriesSkipped;
        status.sampleRate = shared_->deviceOpen.load() ? shared_->rate : 0;
    }
    status.deviceOpen = shared_->deviceOpen.load();
    status.framesPlayed = shared_->frames.load();
    status.latencyMs = status.deviceOpen ? shared_->latencyMs.load() : 0.0;
    status.musicGain = shared_->mixer.MusicGainNow();
    status.soundsGain = shared_->mixer.SoundsGainNow();
    status.effectsStarted = shared_->mixer.EffectsStarted();
    status.musicBuffered = shared_->ring.Available();
    switch (shared_->controls.source.load()) {
    case MusicSource::BuiltIn:
        status.music = AudioStatus::Music::BuiltIn;
        break;
    case MusicSource::PlayList:
        status.music = AudioStatus::Music::PlayList;
        break;
    case MusicSource::Midi:
        status.music = AudioStatus::Music::Midi;
        break;
    case MusicSource::None:
        break;
    }
    if (status.musicGain == 0.0f && !status.deviceOpen && status.music != AudioStatus::Music::Midi)
        status.music = AudioStatus::Music::Nothing;
    return status;
}

} // namespace audio
