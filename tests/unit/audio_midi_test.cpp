// Standard MIDI files read into timed messages, and the sequencer's volume.
#include "main_program/audio/midi_file.h"
#include "main_program/audio/midi_sequencer.h"
#include "main_program/audio/volume_curve.h"
#include "tests/unit/audio_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::string Chunk(const std::string& id, const std::string& body) {
    const auto size = static_cast<unsigned>(body.size());
    return id + Bytes({static_cast<int>(size >> 24), static_cast<int>((size >> 16) & 0xFF),
                       static_cast<int>((size >> 8) & 0xFF), static_cast<int>(size & 0xFF)}) +
           body;
}

std::string File(int format, int division, const std::vector<std::string>& tracks) {
    std::string file = Chunk("MThd", Bytes({0, format, 0, static_cast<int>(tracks.size()), division >> 8, division & 0xFF}));
    for (const auto& track : tracks)
        file += Chunk("MTrk", track);
    return file;
}

const std::string kEnd = Bytes({0x00, 0xFF, 0x2F, 0x00});

struct Timed {
    std::uint64_t microseconds;
    std::uint32_t message;
    bool operator==(const Timed& other) const {
        return microseconds == other.microseconds && message == other.message;
    }
};

std::vector<Timed> Events(const std::string& file) {
    audio::MidiSong song;
    EXPECT_TRUE(audio::ParseMidiFile(file, song));
    std::vector<Timed> events;
    for (const auto& e : song.events)
        events.push_back({e.microseconds, e.message});
    return events;
}

TEST(AudioMidiFile, ReadsTimedMessagesWithRunningStatusAndTempoChanges) {
    // 480 ticks a quarter; 120 bpm until tick 480, then 60 bpm (1 s a quarter).
    const std::string tempo = Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,      // 500000
                                     0x83, 0x60, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) // 1000000 at 480
                              + kEnd;
    const std::string notes = Bytes({0x00, 0x90, 60, 100,      // note on at 0
                                     0x83, 0x60, 62, 100,      // running status, at 480: 0.5 s
                                     0x83, 0x60, 0x80, 60, 0,  // at 960: 1.5 s
                                     0x00, 0xF0, 0x02, 0x7E, 0xF7, // system exclusive: left out
                                     0x00, 0xC1, 7})           // program change on channel 1
                              + kEnd;
    EXPECT_EQ(Events(File(1, 480, {tempo, notes})),
              (std::vector<Timed>{{0, 0x643C90}, {500000, 0x643E90}, {1500000, 0x003C80}, {1500000, 0x07C1}}));
}

TEST(AudioMidiFile, ReadsTimeCodeDivisionsFormatTwoAndRmidFiles) {
    // 25 frames a second, 40 ticks a frame: a millisecond a tick.
    const std::string track = Bytes({0x00, 0x90, 60, 100, 0x81, 0x48, 0x80, 60, 0}) + kEnd; // 200 ticks
    EXPECT_EQ(Events(File(0, 0xE728, {track})), (std::vector<Timed>{{0, 0x643C90}, {200000, 0x003C80}}));
    // Format 2: the second pattern follows the first.
    const std::vector<Timed> sequential = Events(File(2, 0xE728, {track, track}));
    ASSERT_EQ(sequential.size(), 4u);
    EXPECT_EQ(sequential[2].microseconds, 200000u);
    EXPECT_EQ(sequential[3].microseconds, 400000u);
    // RIFF RMID with the file in its data chunk, after another chunk.
    const std::string smf = File(0, 0xE728, {track});
    const auto riffChunk = [](const std::string& id, const std::string& body) {
        const auto size = static_cast<int>(body.size());
        return id + Bytes({size & 0xFF, (size >> 8) & 0xFF, size >> 16, 0}) + body + std::string(size % 2, '\0');
    };
    const std::string riff = riffChunk("RIFF", "RMID" + riffChunk("LIST", "abc") + riffChunk("data", smf));
    EXPECT_EQ(Events(riff).size(), 2u);
}

TEST(AudioMidiFile, BrokenFilesKeepWhatCameBeforeTheBreakOrAreRefused) {
    const std::string track = Bytes({0x00, 0x90, 60, 100, 0x10, 0x80, 60});
    EXPECT_EQ(Events(File(0, 96, {track})).size(), 1u) << "a track cut short";
    const std::string dataWithHighBit = Bytes({0x00, 0x90, 60, 100, 0x00, 0x90, 0x80, 0x10});
    EXPECT_EQ(Events(File(0, 96, {dataWithHighBit})).size(), 1u);
    audio::MidiSong song;
    EXPECT_FALSE(audio::ParseMidiFile("", song));
    EXPECT_FALSE(audio::ParseMidiFile(std::string("RIFF\x04\0\0\0WAVE", 12), song));
    EXPECT_FALSE(audio::ParseMidiFile(File(3, 96, {track}), song)) << "format 3";
    EXPECT_FALSE(audio::ParseMidiFile(File(0, 0, {track}), song)) << "no division";
    EXPECT_FALSE(audio::ParseMidiFile(File(0, 96, {kEnd}), song)) << "no message";
    EXPECT_FALSE(audio::ParseMidiFile(File(0, 96, {Bytes({0x00, 60, 100})}), song)) << "data with no status";
}

TEST(AudioMidiSequencer, ChannelVolumesFollowTheMusicGain) {
    audio::MidiSong song;
    song.events = {{0, 0xB0u | 7u << 8 | 80u << 16}}; // channel 0 volume 80
    audio::MidiSequencer sequencer(song);
    auto sent = std::make_shared<std::vector<std::uint32_t>>();
    audio_test::RecordingMidiPort port(sent);
    const auto start = audio::MidiSequencer::Clock::time_point{};
    sequencer.Resume(port, start, audio::VolumeGain(100));
    sequencer.Play(port, start);
    EXPECT_EQ(sent->back(), 0xB0u | 7u << 8 | 80u << 16) << "at full volume the song's own";
    // At 15 the gain is a seventh of full: the controller, squared by the
    // synthesiser, is scaled by its square root.
    sequencer.SetGain(port, audio::VolumeGain(15));
    const auto scaled = static_cast<std::uint32_t>(std::lround(80 * std::sqrt(audio::VolumeGain(15) / audio::VolumeGain(100))));
    EXPECT_EQ((*sent)[sent->size() - 16], 0xB0u | 7u << 8 | scaled << 16);
    EXPECT_EQ(sent->back(), 0xBFu | 7u << 8 | static_cast<std::uint32_t>(std::lround(100 * std::sqrt(audio::VolumeGain(15) / audio::VolumeGain(100)))) << 16)
        << "a channel without a volume of its own starts from 100";
    EXPECT_TRUE(sequencer.Ended());
}

} // namespace
