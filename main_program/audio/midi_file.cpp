// Reading standard MIDI files.
#include "main_program/audio/midi_file.h"

#include <algorithm>
#include <utility>

namespace audio {

namespace {

constexpr std::uint64_t kDefaultTempo = 500000; // microseconds per quarter note
// Songs end here (a day), whatever their ticks say.
constexpr double kLongestSong = 86400.0e6;

class Bytes {
  public:
    Bytes(const std::string& bytes, std::size_t begin, std::size_t end) : bytes_(bytes), at_(begin), end_(end) {}
    bool Done() const { return at_ >= end_; }
    std::size_t Left() const { return end_ - at_; }
    bool Byte(unsigned& value) {
        if (Done()) return false;
        value = static_cast<unsigned char>(bytes_[at_++]);
        return true;
    }
    bool Peek(unsigned& value) const {
        if (Done()) return false;
        value = static_cast<unsigned char>(bytes_[at_]);
        return true;
    }
    // A variable-length quantity of at most four bytes.
    bool Quantity(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned byte = 0;
            if (!Byte(byte)) return false;
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) return true;
        }
        return false;
    }
    bool Skip(std::size_t count) {
        if (count > Left()) return false;
        at_ += count;
        return true;
    }
  private:
    const std::string& bytes_;
    std::size_t at_;
    std::size_t end_;
};

std::uint32_t Big(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

struct TickEvent {
    std::uint64_t tick;
    std::uint32_t message;
    std::uint32_t order; // track, then place in the track
};

struct TempoChange {
    std::uint64_t tick;
    std::uint64_t tempo;
};

// Reads one track's events from `from` ticks on; returns the tick it ends at.
std::uint64_t ReadTrack(Bytes track, std::uint64_t from, std::uint32_t trackIndex, std::vector<TickEvent>& events,
                        std::vector<TempoChange>& tempos) {
    std::uint64_t tick = from;
    unsigned running = 0;
    std::uint32_t order = trackIndex << 21; // up to 2M events per track keep their order
    while (!track.Done() && events.size() < kMaxMidiEvents) {
        std::uint32_t delta = 0;
        unsigned status = 0;
        if (!track.Quantity(delta) || !track.Peek(status)) break;
        tick += delta;
        if (status & 0x80) {
            track.Byte(status);
        } else if (running != 0) {
            status = running; // running status: the byte is data
        } else {
            break;
        }
        if (status == 0xFF) {
            unsigned type = 0;
            std::uint32_t length = 0;
            if (!track.Byte(type) || !track.Quantity(length) || length > track.Left()) break;
            running = 0;
            if (type == 0x2F) break;
            if (type == 0x51 && length == 3) {
                unsigned high = 0, middle = 0, low = 0;
                track.Byte(high), track.Byte(middle), track.Byte(low);
                const std::uint64_t tempo = high << 16 | middle << 8 | low;
                if (tempo > 0) tempos.push_back({tick, tempo});
            } else {
                track.Skip(length);
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!track.Quantity(length) || !track.Skip(length)) break;
            running = 0;
            continue;
        }
        if (status >= 0xF0) break; // no other system message belongs in a file
        const unsigned kind = status & 0xF0;
        const int dataBytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        std::uint32_t message = status;
        bool broken = false;
        for (int i = 0; i < dataBytes; ++i) {
            unsigned data = 0;
            if (!track.Byte(data) || (data & 0x80)) {
                broken = true;
                break;
            }
            message |= data << (8 * (i + 1));
        }
        if (broken) break;
        running = status;
        events.push_back({tick, message, order++});
    }
    return tick;
}

} // namespace

bool ParseMidiFile(const std::string& file, MidiSong& song) {
    song.events.clear();
    std::size_t start = 0;
    // An RMID file wraps the MIDI file in its "data" chunk.
    if (file.size() >= 12 && file.compare(0, 4, "RIFF") == 0 && file.compare(8, 4, "RMID") == 0) {
        std::size_t at = 12;
        start = std::string::npos;
        while (at + 8 <= file.size()) {
            const std::uint32_t length =
                static_cast<unsigned char>(file[at + 4]) | static_cast<unsigned char>(file[at + 5]) << 8 |
                static_cast<unsigned char>(file[at + 6]) << 16 | static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + 7])) << 24;
            if (file.compare(at, 4, "data") == 0) {
                start = at + 8;
                break;
            }
            if (length > file.size() - at - 8) return false;
            at += 8 + length + (length & 1);
        }
        if (start == std::string::npos) return false;
    }
    if (file.size() < start + 14 || file.compare(start, 4, "MThd") != 0) return false;
    const std::uint32_t headerLength = Big(file, start + 4, 4);
    if (headerLength < 6 || headerLength > file.size() - start - 8) return false;
    const std::uint32_t format = Big(file, start + 8, 2);
    const std::uint32_t division = Big(file, start + 12, 2);
    if (format > 2 || division == 0) return false;

    std::vector<TickEvent> events;
    std::vector<TempoChange> tempos;
    std::size_t at = start + 8 + headerLength;
    std::uint32_t trackIndex = 0;
    std::uint64_t trackStart = 0;
    while (at + 8 <= file.size() && trackIndex < 2048) {
        const std::uint32_t length = Big(file, at + 4, 4);
        const std::size_t end = length > file.size() - at - 8 ? file.size() : at + 8 + length;
        if (file.compare(at, 4, "MTrk") == 0) {
            // Format 2 tracks are separate songs, played one after the other.
            const std::uint64_t ended = ReadTrack(Bytes(file, at + 8, end), trackStart, trackIndex++, events, tempos);
            if (format == 2) trackStart = ended;
        }
        at = end;
    }
    if (events.empty()) return false;

    std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.tick < b.tick; });
    std::sort(events.begin(), events.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    // Ticks to microseconds: SMPTE divisions count frames, others quarter
    // notes at the tempo in force.
    const bool smpte = (division & 0x8000) != 0;
    double microsecondsPerTick = 0.0;
    if (smpte) {
        const int framesPerSecond = 256 - static_cast<int>(division >> 8);
        const int ticksPerFrame = static_cast<int>(division & 0xFF);
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return false;
        microsecondsPerTick = 1.0e6 / (framesPerSecond * ticksPerFrame);
    }
    std::size_t tempoIndex = 0;
    std::uint64_t segmentTick = 0;
    double segmentTime = 0.0;
    double perTick = smpte ? microsecondsPerTick : static_cast<double>(kDefaultTempo) / division;
    song.events.reserve(events.size());
    for (const auto& event : events) {
        while (!smpte && tempoIndex < tempos.size() && tempos[tempoIndex].tick <= event.tick) {
            segmentTime += static_cast<double>(tempos[tempoIndex].tick - segmentTick) * perTick;
            segmentTick = tempos[tempoIndex].tick;
            perTick = static_cast<double>(tempos[tempoIndex].tempo) / division;
            ++tempoIndex;
        }
        const double time = segmentTime + static_cast<double>(event.tick - segmentTick) * perTick;
        if (time > kLongestSong) break;
        song.events.push_back({static_cast<std::uint64_t>(time), event.message});
    }
    return !song.events.empty();
}

} // namespace audio
