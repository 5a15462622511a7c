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

// Reads one track's events from `from` ticks on.
class TrackReader {
  public:
    TrackReader(const Bytes& track, std::uint64_t from, std::uint32_t trackIndex, std::vector<TickEvent>& events,
                std::vector<TempoChange>& tempos)
        : track_(track), tick_(from), order_(trackIndex << 21), events_(events), tempos_(tempos) {}

    // The tick the track ends at.
    std::uint64_t Read() {
        while (!track_.Done() && events_.size() < kMaxMidiEvents && Next()) {
        }
        return tick_;
    }

  private:
    // One event; false where the track ends or breaks.
    bool Next() {
        std::uint32_t delta = 0;
        unsigned status = 0;
        if (!track_.Quantity(delta) || !track_.Peek(status)) return false;
        tick_ += delta;
        if (status & 0x80)
            track_.Byte(status);
        else if (running_ != 0)
            status = running_; // running status: the byte is data
        else
            return false;
        if (status == 0xFF) return Meta();
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            running_ = 0;
            return track_.Quantity(length) && track_.Skip(length);
        }
        if (status >= 0xF0) return false; // no other system message belongs in a file
        return ChannelMessage(status);
    }

    // A meta event: the end of the track, a tempo, or something to skip.
    bool Meta() {
        unsigned type = 0;
        std::uint32_t length = 0;
        if (!track_.Byte(type) || !track_.Quantity(length) || length > track_.Left()) return false;
        running_ = 0;
        if (type == 0x2F) return false;
        if (type != 0x51 || length != 3) return track_.Skip(length);
        unsigned high = 0, middle = 0, low = 0;
        track_.Byte(high), track_.Byte(middle), track_.Byte(low);
        const std::uint64_t tempo = high << 16 | middle << 8 | low;
        if (tempo > 0) tempos_.push_back({tick_, tempo});
        return true;
    }

    bool ChannelMessage(unsigned status) {
        const unsigned kind = status & 0xF0;
        const int dataBytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        std::uint32_t message = status;
        for (int i = 0; i < dataBytes; ++i) {
            unsigned data = 0;
            if (!track_.Byte(data) || (data & 0x80)) return false;
            message |= data << (8 * (i + 1));
        }
        running_ = status;
        events_.push_back({tick_, message, order_++});
        return true;
    }

    Bytes track_;
    std::uint64_t tick_;
    std::uint32_t order_; // up to 2M events per track keep their order
    unsigned running_ = 0;
    std::vector<TickEvent>& events_;
    std::vector<TempoChange>& tempos_;
};

std::uint32_t Little(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// Where the MIDI file starts: at 0, or inside an RMID file's "data" chunk;
// npos for an RMID file without one.
std::size_t MidiStart(const std::string& file) {
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "RMID") != 0) return 0;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::uint32_t length = Little(file, at + 4);
        if (file.compare(at, 4, "data") == 0) return at + 8;
        if (length > file.size() - at - 8) break;
        at += 8 + length + (length & 1);
    }
    return std::string::npos;
}

// Every track's events and tempo changes; false for no MIDI file.
bool ReadTracks(const std::string& file, std::size_t start, std::uint32_t& division, std::vector<TickEvent>& events,
                std::vector<TempoChange>& tempos) {
    if (start == std::string::npos || file.size() < start + 14 || file.compare(start, 4, "MThd") != 0) return false;
    const std::uint32_t headerLength = Big(file, start + 4, 4);
    if (headerLength < 6 || headerLength > file.size() - start - 8) return false;
    const std::uint32_t format = Big(file, start + 8, 2);
    division = Big(file, start + 12, 2);
    if (format > 2 || division == 0) return false;
    std::size_t at = start + 8 + headerLength;
    std::uint32_t trackIndex = 0;
    std::uint64_t trackStart = 0;
    while (at + 8 <= file.size() && trackIndex < 2048) {
        const std::uint32_t length = Big(file, at + 4, 4);
        const std::size_t end = length > file.size() - at - 8 ? file.size() : at + 8 + length;
        if (file.compare(at, 4, "MTrk") == 0) {
            // Format 2 tracks are separate songs, played one after the other.
            const std::uint64_t ended =
                TrackReader(Bytes(file, at + 8, end), trackStart, trackIndex++, events, tempos).Read();
            if (format == 2) trackStart = ended;
        }
        at = end;
    }
    return true;
}

// Ticks to microseconds: SMPTE divisions count frames, others quarter notes
// at the tempo in force.
bool ToTimes(std::vector<TickEvent>& events, std::vector<TempoChange>& tempos, std::uint32_t division, MidiSong& song) {
    std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) { return a.tick < b.tick; });
    std::sort(events.begin(), events.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    const bool smpte = (division & 0x8000) != 0;
    double perTick = static_cast<double>(kDefaultTempo) / division;
    if (smpte) {
        const int framesPerSecond = 256 - static_cast<int>(division >> 8);
        const int ticksPerFrame = static_cast<int>(division & 0xFF);
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return false;
        perTick = 1.0e6 / (framesPerSecond * ticksPerFrame);
    }
    std::size_t tempoIndex = 0;
    std::uint64_t segmentTick = 0;
    double segmentTime = 0.0;
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

} // namespace

bool ParseMidiFile(const std::string& file, MidiSong& song) {
    song.events.clear();
    std::vector<TickEvent> events;
    std::vector<TempoChange> tempos;
    std::uint32_t division = 0;
    if (!ReadTracks(file, MidiStart(file), division, events, tempos) || events.empty()) return false;
    return ToTimes(events, tempos, division, song);
}

} // namespace audio
