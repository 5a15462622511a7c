// The playlist's side of the music, run step by step on the loader's own
// thread: expands the list, opens each entry with its decoder (or the MIDI
// synthesiser), decodes it into the ring at the output's rate, skips what
// fails, and after a whole round of failures leaves the music to the
// built-in piece and tries the list again only after a while.
#pragma once

#include "main_program/audio/decoder.h"
#include "main_program/audio/frame_ring.h"
#include "main_program/audio/midi_sequencer.h"
#include "main_program/audio/mixer.h"
#include "main_program/audio/play_order.h"
#include "main_program/audio/resampler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace audio {

struct LoaderSettings {
    bool musicEnabled = true;
    bool paused = false;
    bool usePlaylist = false;
    bool shuffle = true;
    std::wstring playList;
    float musicGain = 0.0f; // the synthesiser's volume follows it
};

struct LoaderStatus {
    std::wstring entry; // playing, or empty
    std::optional<DecoderKind> decoder;
    std::uint32_t entriesStarted = 0;
    std::uint32_t entriesSkipped = 0;
    std::size_t listSize = 0;
};

class MusicLoader {
  public:
    using Clock = std::chrono::steady_clock;
    // After a whole round of failures the list rests this long.
    static constexpr std::chrono::minutes kRetryAfter{3};
    static constexpr std::size_t kBlockFrames = 4096;

    // `stop`, asked between files, ends a long expansion early.
    MusicLoader(MusicSources& sources, FrameRing& ring, MixControls& controls, std::uint64_t seed,
                std::function<bool()> stop);
    ~MusicLoader();
    MusicLoader(const MusicLoader&) = delete;
    MusicLoader& operator=(const MusicLoader&) = delete;

    void Configure(const LoaderSettings& settings, Clock::time_point now);
    // The output's sample rate, 0 while no device is open.
    void SetOutputRate(int rate);
    // Does one piece of work; returns when it wants to be called again (not
    // later than `now` for at once). Configure may come sooner.
    Clock::time_point Step(Clock::time_point now);
    // Closes whatever is open (the synthesiser included).
    void Close();

    const LoaderStatus& Status() const { return status_; }

  private:
    bool ListChanged(const LoaderSettings& settings) const;
    void SetSource(MusicSource source);
    Clock::time_point OpenNext(Clock::time_point now);
    bool OpenMidi(const std::wstring& path, Clock::time_point now);
    Clock::time_point Decode(Clock::time_point now);
    Clock::time_point PlayMidi(Clock::time_point now);
    void PauseMidi(Clock::time_point now);
    void Started(MusicSource source);
    void Failed(Clock::time_point now);
    void CloseEntry();
    bool FlushPending();

    MusicSources& sources_;
    FrameRing& ring_;
    MixControls& controls_;
    std::uint64_t seed_;
    std::function<bool()> stop_;
    LoaderSettings settings_;
    bool configured_ = false;
    int outputRate_ = 0;

    bool needList_ = true;
    std::optional<PlayOrder> order_;
    std::size_t failuresInRow_ = 0;
    std::optional<Clock::time_point> retryAt_;

    std::unique_ptr<Decoder> decoder_;
    PcmFormat format_;
    int resampledTo_ = 0;
    bool produced_ = false;
    Resampler resampler_;
    std::vector<float> samples_;
    std::vector<float> stereo_;
    std::vector<float> pending_; // resampled frames the ring had no room for yet
    std::size_t pendingFrom_ = 0;

    std::optional<MidiSequencer> midi_;
    std::unique_ptr<MidiPort> port_;

    LoaderStatus status_;
};

} // namespace audio
