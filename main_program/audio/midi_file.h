// Standard MIDI files (formats 0, 1 and 2, also inside an RMID wrapper) read
// into one list of timed channel messages for the system's synthesiser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

struct MidiEvent {
    std::uint64_t microseconds = 0; // from the start of the song
    std::uint32_t message = 0;      // status byte, then up to two data bytes
};

struct MidiSong {
    std::vector<MidiEvent> events; // in time order
};

// MIDI files are read up to this size; songs keep at most this many events.
constexpr std::size_t kMaxMidiFileBytes = 8u << 20;
constexpr std::size_t kMaxMidiEvents = 2000000;

// The song's channel messages at their times, tempo changes applied;
// system-exclusive and meta events are left out. A broken track ends where
// it breaks. False when the bytes are no MIDI file or hold no message.
bool ParseMidiFile(const std::string& file, MidiSong& song);

} // namespace audio
