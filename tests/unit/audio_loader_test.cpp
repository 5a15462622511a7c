// The playlist's side of the music, stepped on a simulated clock: entries in
// order, failures skipped at once, the built-in piece after a whole round of
// failures and the list's rest, decoders by system, and MIDI songs.
#include "main_program/audio/music_loader.h"
#include "main_program/audio/volume_curve.h"
#include "tests/unit/audio_fakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using audio::DecoderKind;
using audio::MusicSource;
using audio_test::FakeTrack;
using Clock = audio::MusicLoader::Clock;

class AudioLoader : public ::testing::Test {
  protected:
    AudioLoader() { loader.SetOutputRate(48000); }

    void Configure(const std::wstring& playList, bool shuffle = false) {
        settings.usePlaylist = true;
        settings.shuffle = shuffle;
        settings.playList = playList;
        settings.musicGain = audio::VolumeGain(100);
        loader.Configure(settings, now);
    }
    void Tone(const std::wstring& path, std::size_t frames = 4800, audio::PcmFormat format = {48000, 2}) {
        FakeTrack track;
        track.frames = frames;
        track.format = format;
        sources.tracks[path] = track;
    }
    // Steps until `done` holds, draining the ring as the output would and
    // moving the clock to each step's wake-up; false if it never does.
    bool RunUntil(const std::function<bool()>& done, int steps = 2000) {
        std::vector<float> drained(std::size_t{2} * 8192);
        for (int i = 0; i < steps; ++i) {
            if (done()) return true;
            played += ring.Read(drained.data(), 8192);
            const Clock::time_point wake = loader.Step(now);
            if (wake > now) now = wake;
        }
        return done();
    }
    std::vector<std::wstring> Opened() const {
        std::vector<std::wstring> paths;
        for (const auto& open : sources.opens)
            paths.push_back(open.second);
        return paths;
    }
    MusicSource Source() const { return controls.source.load(); }

    audio_test::FakeSources sources;
    audio::FrameRing ring{65536};
    audio::MixControls controls;
    audio::MusicLoader loader{sources, ring, controls, 1, [] { return false; }};
    audio::LoaderSettings settings;
    Clock::time_point now{};
    std::size_t played = 0;
};

TEST_F(AudioLoader, PlaysTheListInOrderAndRemembersTheNextEntry) {
    Tone(L"C:\\a.mp3");
    Tone(L"C:\\b.wav");
    Configure(L"C:\\a.mp3\nC:\\b.wav\n");
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 3; }));
    EXPECT_EQ(Opened(), (std::vector<std::wstring>{L"C:\\a.mp3", L"C:\\b.wav", L"C:\\a.mp3"}));
    EXPECT_EQ(sources.rememberedWrites, (std::vector<std::wstring>{L"C:\\b.wav", L"C:\\a.mp3", L"C:\\b.wav"}));
    EXPECT_EQ(Source(), MusicSource::PlayList);
    EXPECT_GE(played, 2 * 4800u);
}

TEST_F(AudioLoader, StartsWithTheRememberedEntry) {
    Tone(L"C:\\a.mp3");
    Tone(L"C:\\b.wav");
    sources.remembered = L"C:\\b.wav";
    Configure(L"C:\\a.mp3\nC:\\b.wav\n");
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 1; }));
    EXPECT_EQ(Opened().front(), L"C:\\b.wav");
}

TEST_F(AudioLoader, SkipsMissingAndUndecodableEntriesAtOnce) {
    Tone(L"C:\\good.wav");
    sources.tracks[L"C:\\broken.ogg"].kind = FakeTrack::Kind::Undecodable;
    Configure(L"C:\\missing.mp3\nC:\\broken.ogg\nC:\\good.wav\n");
    const Clock::time_point start = now;
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 1; }));
    EXPECT_EQ(loader.Status().entriesSkipped, 2u);
    EXPECT_EQ(loader.Status().entry, L"C:\\good.wav");
    EXPECT_EQ(now, start) << "skipping waited";
}

TEST_F(AudioLoader, AfterAWholeRoundOfFailuresTheBuiltInMusicPlaysAndTheListRests) {
    Configure(L"C:\\gone1.mp3\nC:\\gone2.mp3\n");
    const Clock::time_point start = now;
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesSkipped == 2; }));
    EXPECT_EQ(Source(), MusicSource::BuiltIn);
    // Nothing is tried again before the rest is over...
    const Clock::time_point wake = loader.Step(now);
    EXPECT_GE(wake - start, audio::MusicLoader::kRetryAfter);
    EXPECT_EQ(loader.Step(now + std::chrono::minutes(2)), wake);
    EXPECT_EQ(sources.opens.size(), 2u);
    // ...then the list is read anew: the drive has come back.
    Tone(L"C:\\gone2.mp3");
    now = wake;
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 1; }));
    EXPECT_EQ(Source(), MusicSource::PlayList);
    EXPECT_LE(sources.opens.size(), 4u);
}

TEST_F(AudioLoader, AListThatNamesNothingPlaysTheBuiltInMusic) {
    Configure(L"http://example.com/radio.mp3\n# nothing else\n");
    loader.Step(now);
    EXPECT_EQ(Source(), MusicSource::BuiltIn);
    EXPECT_TRUE(sources.opens.empty());

    audio::LoaderSettings off;
    off.usePlaylist = false;
    loader.Configure(off, now);
    EXPECT_EQ(Source(), MusicSource::BuiltIn);
}

TEST_F(AudioLoader, DecodersFollowTheSystemAndStandInWhereMediaFoundationIsMissing) {
    Tone(L"C:\\a.flac");
    struct Case {
        audio::WindowsVersion windows;
        bool mediaFoundation;
        std::vector<DecoderKind> tried;
    };
    const Case cases[] = {
        {{6, 1}, true, {DecoderKind::Flac}},
        {{10, 0}, true, {DecoderKind::MediaFoundation}},
        {{10, 0}, false, {DecoderKind::MediaFoundation, DecoderKind::Flac}},
    };
    for (const auto& c : cases) {
        sources.opens.clear();
        sources.windows = c.windows;
        sources.unavailable[DecoderKind::MediaFoundation] = !c.mediaFoundation;
        Configure(L"C:\\a.flac\nC:\\b.flac\n");
        Configure(L"C:\\a.flac\n");
        ASSERT_TRUE(RunUntil([&] { return !sources.opens.empty() && loader.Status().decoder.has_value(); }));
        std::vector<DecoderKind> tried;
        for (const auto& open : sources.opens)
            tried.push_back(open.first);
        EXPECT_EQ(tried, c.tried) << c.windows.major << "." << c.windows.minor << ", Media Foundation "
                                  << c.mediaFoundation;
        EXPECT_EQ(loader.Status().decoder, c.tried.back());
    }
}

TEST_F(AudioLoader, ConvertsToTheOutputsRateAndWaitsForADevice) {
    Tone(L"C:\\a.mp3", 44100, {44100, 1});
    loader.SetOutputRate(0);
    Configure(L"C:\\a.mp3\n");
    RunUntil([] { return false; }, 20);
    EXPECT_EQ(played, 0u);
    EXPECT_EQ(loader.Status().entriesStarted, 0u);
    loader.SetOutputRate(48000);
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 2; }));
    EXPECT_NEAR(static_cast<double>(played), 48000.0, 64.0);
}

TEST_F(AudioLoader, NothingIsOpenedWhileMusicIsOffOrPaused) {
    Tone(L"C:\\a.mp3");
    settings.musicEnabled = false;
    Configure(L"C:\\a.mp3\n");
    RunUntil([] { return false; }, 10);
    settings.musicEnabled = true;
    settings.paused = true;
    Configure(L"C:\\a.mp3\n");
    RunUntil([] { return false; }, 10);
    EXPECT_TRUE(sources.opens.empty());
    settings.paused = false;
    Configure(L"C:\\a.mp3\n");
    EXPECT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 1; }));
}

// A song of one note: program 5 on channel 0, note on at 0, off at 1 s.
std::string OneNoteSong() {
    std::string track = std::string("\x00\xC0\x05", 3) + std::string("\x00\x90\x3C\x64", 4) +
                        std::string("\x83\x60\x80\x3C\x00", 5) + std::string("\x00\xFF\x2F\x00", 4);
    track = "MTrk" + std::string{0, 0, 0, static_cast<char>(track.size())} + track;
    return std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14) + track; // 480 ticks a quarter
}

TEST_F(AudioLoader, MidiWithoutASynthesiserIsSkippedAndTheNextEntryPlays) {
    sources.files.Add(L"C:\\song.mid", OneNoteSong());
    Tone(L"C:\\b.wav");
    Configure(L"C:\\song.mid\nC:\\b.wav\n");
    ASSERT_TRUE(RunUntil([&] { return loader.Status().entriesStarted == 1; }));
    EXPECT_EQ(loader.Status().entriesSkipped, 1u);
    EXPECT_EQ(loader.Status().entry, L"C:\\b.wav");
}

TEST_F(AudioLoader, MidiPlaysInTimeAndLetsTheSynthesiserGoWhilePaused) {
    sources.midiPort = true;
    sources.files.Add(L"C:\\song.mid", OneNoteSong());
    Configure(L"C:\\song.mid\n");
    const auto& sent = *sources.midiSent;
    const auto has = [&](std::uint32_t message) { return std::find(sent.begin(), sent.end(), message) != sent.end(); };
    ASSERT_TRUE(RunUntil([&] { return has(0x643C90u); })); // note on
    EXPECT_EQ(loader.Status().entriesStarted, 1u);
    EXPECT_EQ(Source(), MusicSource::Midi);
    EXPECT_TRUE(has(0x05C0u)); // program 5
    EXPECT_FALSE(has(0x003C80u)) << "the note ended before its time";

    // The clock stands at the note's end, when the loader asked to be woken;
    // the pause comes half-way through it.
    settings.paused = true;
    loader.Configure(settings, now - std::chrono::milliseconds(500));
    EXPECT_TRUE(has(0x007BB0u)) << "no all-notes-off on pause";
    const std::size_t beforeResume = sent.size();
    settings.paused = false;
    now += std::chrono::seconds(10); // paused time does not count
    loader.Configure(settings, now);
    loader.Step(now);
    EXPECT_TRUE(std::find(sent.begin() + static_cast<std::ptrdiff_t>(beforeResume), sent.end(), 0x05C0u) != sent.end())
        << "the program was not sent again after the pause";
    EXPECT_FALSE(has(0x003C80u));
    ASSERT_TRUE(RunUntil([&] { return has(0x003C80u); }));
}

} // namespace
