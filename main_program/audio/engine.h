// The audio engine over its seams: the output device and the sources of
// music. Two threads of its own: the output thread mixes and feeds the
// device and never waits for a file; the loader thread opens and decodes
// the playlist and may wait on a slow or dead file as long as it must.
#pragma once

#include "main_program/audio/audio_engine.h"
#include "main_program/audio/audio_output.h"
#include "main_program/audio/decoder.h"

#include <chrono>
#include <memory>
#include <thread>

namespace audio {

class Engine final : public AudioEngine {
  public:
    // The destructor waits this long at most for the output thread to let
    // the device go, and this long for the loader thread to end a step (a
    // file on a dead network path is given up then, its thread left to end
    // with the process). A thread that ended in time is joined: one still
    // ending as the process ends has crashed Wine now and then.
    static constexpr std::chrono::milliseconds kStopWait{1000};
    static constexpr std::chrono::milliseconds kLoaderStopWait{250};

    Engine(std::unique_ptr<AudioOutput> output, std::unique_ptr<MusicSources> sources, std::uint64_t seed);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void Start(const AudioSettings& settings) override;
    void Apply(const AudioSettings& settings) override;
    void SetMusicVolume(int volume) override;
    void SetMusicEnabled(bool enabled) override;
    void SetSoundsVolume(int volume) override;
    void SetSoundsEnabled(bool enabled) override;
    void SetPaused(bool paused) override;
    void Play(const scene::SceneEvent& event) override;
    AudioStatus Status() const override;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    std::thread output_;
    std::thread loader_;
};

} // namespace audio
