// Sequencing a MIDI song to the synthesiser.
#include "main_program/audio/midi_sequencer.h"

#include "main_program/audio/volume_curve.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace audio {

namespace {

constexpr int kVolumeController = 7;
constexpr int kDefaultVolume = 100; // a channel's volume until the song sets one
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

std::uint32_t Message(unsigned status, unsigned first, unsigned second = 0) {
    return status | first << 8 | second << 16;
}

} // namespace

MidiSequencer::MidiSequencer(MidiSong song) : song_(std::move(song)) {}

std::chrono::microseconds MidiSequencer::Elapsed(Clock::time_point now) const {
    return std::chrono::duration_cast<std::chrono::microseconds>(now - startedAt_);
}

void MidiSequencer::SendVolume(MidiPort& port, int channel) {
    const int stored = channels_[static_cast<std::size_t>(channel)].controllers[kVolumeController];
    const int volume = stored == kUnknown ? kDefaultVolume : stored;
    const int scaled = static_cast<int>(std::lround(static_cast<float>(volume) * volumeScale_));
    port.Send(Message(0xB0u | static_cast<unsigned>(channel), kVolumeController,
                      static_cast<unsigned>(std::clamp(scaled, 0, 127))));
}

void MidiSequencer::SetGain(MidiPort& port, float gain) {
    // A synthesiser's channel volume works on the square of the controller,
    // so the square root of the gain relative to full volume scales it.
    const float top = VolumeGain(100);
    volumeScale_ = std::sqrt(std::clamp(gain / top, 0.0f, 1.0f));
    if (!playing_) return;
    for (int channel = 0; channel < kChannels; ++channel)
        SendVolume(port, channel);
}

void MidiSequencer::Resume(MidiPort& port, Clock::time_point now, float gain) {
    playing_ = true;
    startedAt_ = now - pausedAt_;
    for (int c = 0; c < kChannels; ++c) {
        const Channel& channel = channels_[static_cast<std::size_t>(c)];
        const auto status = static_cast<unsigned>(c);
        // Bank before program, then the controllers as they stood.
        for (int controller : {0, 32})
            if (channel.controllers[static_cast<std::size_t>(controller)] != kUnknown)
                port.Send(Message(0xB0u | status, static_cast<unsigned>(controller),
                                  static_cast<unsigned>(channel.controllers[static_cast<std::size_t>(controller)])));
        if (channel.program != kUnknown) port.Send(Message(0xC0u | status, static_cast<unsigned>(channel.program)));
        for (int controller = 1; controller < kAllSoundOff; ++controller) {
            const int value = channel.controllers[static_cast<std::size_t>(controller)];
            if (value == kUnknown || controller == 32 || controller == kVolumeController) continue;
            port.Send(Message(0xB0u | status, static_cast<unsigned>(controller), static_cast<unsigned>(value)));
        }
        if (channel.bend != kUnknown)
            port.Send(Message(0xE0u | status, static_cast<unsigned>(channel.bend & 0x7F),
                              static_cast<unsigned>(channel.bend >> 7)));
    }
    SetGain(port, gain);
}

void MidiSequencer::Send(MidiPort& port, std::uint32_t message) {
    const unsigned status = message & 0xFF;
    const auto channel = static_cast<std::size_t>(status & 0x0F);
    const unsigned first = (message >> 8) & 0x7F;
    const unsigned second = (message >> 16) & 0x7F;
    switch (status & 0xF0) {
    case 0xB0:
        channels_[channel].controllers[first] = static_cast<int>(second);
        if (first == kVolumeController) {
            SendVolume(port, static_cast<int>(channel));
            return;
        }
        break;
    case 0xC0:
        channels_[channel].program = static_cast<int>(first);
        break;
    case 0xE0:
        channels_[channel].bend = static_cast<int>(first | second << 7);
        break;
    default:
        break;
    }
    port.Send(message);
}

std::optional<MidiSequencer::Clock::time_point> MidiSequencer::Play(MidiPort& port, Clock::time_point now) {
    if (!playing_) return std::nullopt;
    const auto elapsed = static_cast<std::uint64_t>(std::max<std::int64_t>(0, Elapsed(now).count()));
    while (next_ < song_.events.size() && song_.events[next_].microseconds <= elapsed)
        Send(port, song_.events[next_++].message);
    if (Ended()) return std::nullopt;
    return startedAt_ + std::chrono::microseconds(song_.events[next_].microseconds);
}

void MidiSequencer::Pause(MidiPort& port, Clock::time_point now) {
    if (!playing_) return;
    playing_ = false;
    pausedAt_ = std::max(std::chrono::microseconds(0), Elapsed(now));
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        port.Send(Message(0xB0u | channel, 64, 0)); // sustain pedal up
        port.Send(Message(0xB0u | channel, kAllSoundOff, 0));
        port.Send(Message(0xB0u | channel, kAllNotesOff, 0));
    }
}

} // namespace audio
