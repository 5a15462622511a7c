// Plays a MIDI song through the system's synthesiser in time, at the music's
// volume, and pauses it: every note off and the port closed, then on resume
// the channels' programs and controllers sent again before the song goes on.
#pragma once

#include "main_program/audio/decoder.h"
#include "main_program/audio/midi_file.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace audio {

class MidiSequencer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit MidiSequencer(MidiSong song);

    // Starts, or goes on after Pause, through `port`, with the channels'
    // state sent first. `gain` is the music's gain (VolumeGain).
    void Resume(MidiPort& port, Clock::time_point now, float gain);
    // Sends every message due by `now`; when the next one is due, or nothing
    // when the song has ended.
    std::optional<Clock::time_point> Play(MidiPort& port, Clock::time_point now);
    // Every sound off; the song's place is kept.
    void Pause(MidiPort& port, Clock::time_point now);
    // The channels' volumes follow the music's gain.
    void SetGain(MidiPort& port, float gain);

    bool Ended() const { return next_ >= song_.events.size(); }

  private:
    static constexpr int kChannels = 16;
    static constexpr int kUnknown = -1;

    struct Channel {
        std::array<int, 128> controllers;
        int program = kUnknown;
        int bend = kUnknown; // 14 bits
        Channel() { controllers.fill(kUnknown); }
    };

    void Send(MidiPort& port, std::uint32_t message);
    void SendVolume(MidiPort& port, int channel);
    std::chrono::microseconds Elapsed(Clock::time_point now) const;

    MidiSong song_;
    std::size_t next_ = 0;
    std::array<Channel, kChannels> channels_{};
    float volumeScale_ = 1.0f;
    bool playing_ = false;
    Clock::time_point startedAt_{};
    std::chrono::microseconds pausedAt_{0};
};

} // namespace audio
