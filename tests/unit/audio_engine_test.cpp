// The engine with its threads, over an output device the test pulls frames
// from: live volume changes within their ramp, the device let go while
// paused or with music and sounds off, no device at all, a lost device, the
// effects, and an end that never waits for a file that does not open.
#include "main_program/audio/audio_settings.h"
#include "main_program/audio/engine.h"
#include "main_program/audio/volume_curve.h"
#include "platform/registry.h"
#include "platform/registry_access.h"
#include "platform/registry_memory.h"
#include "tests/unit/audio_fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
constexpr std::size_t kRate = 48000;
// Generous: the machine may be busy; nothing here measures time.
constexpr auto kPatience = 20s;

double RmsDecibels(const std::vector<float>& stereo, std::size_t from, std::size_t frames) {
    double sum = 0.0;
    for (std::size_t i = from; i < from + frames; ++i)
        sum += static_cast<double>(stereo[2 * i]) * stereo[2 * i];
    return 10.0 * std::log10(sum / static_cast<double>(frames) + 1e-30);
}

class AudioEngine : public ::testing::Test {
  protected:
    AudioEngine() {
        auto fakeSources = std::make_unique<audio_test::FakeSources>();
        sources = fakeSources.get();
        audio_test::FakeTrack tone;
        tone.frequency = 1000.0;
        tone.frames = 600 * kRate;
        sources->tracks[L"C:\\tone.wav"] = tone;
        engine = std::make_unique<audio::Engine>(std::make_unique<audio_test::PulledOutput>(device),
                                                 std::move(fakeSources), 1);
    }

    // The next `frames` frames the engine plays. A real device takes them
    // in time; this one takes them at once, so the playlist's decoded music
    // is waited for first.
    std::vector<float> PullMusic(std::size_t frames) {
        EXPECT_TRUE(Eventually([&] { return engine->Status().musicBuffered >= frames; })) << "nothing decoded";
        return Pull(frames);
    }
    std::vector<float> Pull(std::size_t frames) {
        std::unique_lock<std::mutex> lock(device->mutex);
        const std::size_t before = device->received.size();
        device->wanted += frames;
        device->changed.notify_all();
        EXPECT_TRUE(device->changed.wait_for(lock, kPatience, [&] { return device->wanted == 0; }))
            << "the engine did not play";
        return std::vector<float>(device->received.begin() + static_cast<std::ptrdiff_t>(before), device->received.end());
    }
    bool DeviceOpen() {
        std::unique_lock<std::mutex> lock(device->mutex);
        return device->open;
    }
    bool Eventually(const std::function<bool()>& holds) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!holds()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    audio::AudioSettings Tone(int musicVolume) {
        audio::AudioSettings settings;
        settings.musicVolume = musicVolume;
        settings.soundsEnabled = false;
        settings.usePlaylist = true;
        settings.playList = L"C:\\tone.wav\n";
        return settings;
    }

    std::shared_ptr<audio_test::PulledOutput::State> device = std::make_shared<audio_test::PulledOutput::State>();
    audio_test::FakeSources* sources = nullptr; // owned by the engine; set up before Start only
    std::unique_ptr<audio::Engine> engine;
};

// The settings as the product key holds them: defaults for what it lacks,
// volumes clamped, a value of another kind read as 0, the PlayList value.
TEST(AudioSettings, ReadFromTheProductKey) {
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope(registry);
    const audio::AudioSettings fresh = audio::ReadAudioSettings();
    EXPECT_TRUE(fresh.musicEnabled && fresh.soundsEnabled && fresh.shuffle && !fresh.usePlaylist);
    EXPECT_EQ(fresh.musicVolume, 15);
    EXPECT_EQ(fresh.soundsVolume, 100);

    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"DisableMusic", L"2: 1");
    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"MusicVolumePercentage", L"2: 250");
    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"SoundsVolumePercentage", L"3: loud");
    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"UsePlaylist", L"2: 1");
    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"ShufflePlayList", L"2: 0");
    registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", L"C:\\a.mp3\n");
    const audio::AudioSettings stored = audio::ReadAudioSettings();
    EXPECT_FALSE(stored.musicEnabled);
    EXPECT_EQ(stored.musicVolume, 100);
    EXPECT_EQ(stored.soundsVolume, 0);
    EXPECT_TRUE(stored.usePlaylist);
    EXPECT_FALSE(stored.shuffle);
    EXPECT_EQ(stored.playList, L"C:\\a.mp3\n");
}

// The fake tone is a sine at half of full scale: at music volume v the
// output's level is 20 log10(0.5 VolumeGain(v) / sqrt 2).
double ExpectedDecibels(int volume) { return 20.0 * std::log10(0.5 * audio::VolumeGain(volume) / std::sqrt(2.0)); }

TEST_F(AudioEngine, LiveVolumeChangesApplyWithinTheirRamp) {
    audio::AudioSettings settings = Tone(15);
    settings.soundsEnabled = true; // the device stays while music is off
    engine->Start(settings);
    ASSERT_TRUE(Eventually([&] { return engine->Status().music == audio::AudioStatus::Music::PlayList; }));
    const std::vector<float> steady = PullMusic(kRate); // the source's crossing is over
    EXPECT_NEAR(RmsDecibels(steady, kRate / 2, kRate / 2), ExpectedDecibels(15), 0.1);

    // Codes 1 to 4: within 100 ms of frames the new level holds.
    engine->SetMusicVolume(100);
    const std::vector<float> up = PullMusic(kRate / 10);
    EXPECT_NEAR(RmsDecibels(up, kRate / 20, kRate / 20), ExpectedDecibels(100), 0.1);
    engine->SetMusicEnabled(false);
    const std::vector<float> off = Pull(kRate / 10);
    EXPECT_LT(RmsDecibels(off, kRate / 20, kRate / 20), -120.0);
    engine->SetMusicEnabled(true);
    engine->SetMusicVolume(50);
    const std::vector<float> back = PullMusic(kRate / 10);
    EXPECT_NEAR(RmsDecibels(back, kRate / 20, kRate / 20), ExpectedDecibels(50), 0.1);
    EXPECT_FLOAT_EQ(engine->Status().musicGain, audio::VolumeGain(50));
}

TEST_F(AudioEngine, TheDeviceIsLetGoWhilePausedAndWhileMusicAndSoundsAreOff) {
    engine->Start(Tone(15));
    ASSERT_TRUE(Eventually([&] { return DeviceOpen(); }));
    engine->SetPaused(true);
    EXPECT_TRUE(Eventually([&] { return !DeviceOpen() && !engine->Status().deviceOpen; }));
    engine->SetPaused(false);
    EXPECT_TRUE(Eventually([&] { return DeviceOpen(); }));
    engine->SetMusicEnabled(false);
    EXPECT_TRUE(Eventually([&] { return !DeviceOpen(); }));
    engine->SetSoundsEnabled(true);
    EXPECT_TRUE(Eventually([&] { return DeviceOpen(); }));
    engine->SetSoundsEnabled(false);
    EXPECT_TRUE(Eventually([&] { return !DeviceOpen(); }));
}

TEST_F(AudioEngine, WithoutADeviceTheProgramGoesOnAndALaterDeviceIsTaken) {
    {
        std::lock_guard<std::mutex> lock(device->mutex);
        device->deviceAvailable = false;
    }
    audio::AudioSettings settings;
    engine->Start(settings);
    engine->Play({scene::SceneEventKind::ShootingStar, 0.0f, 1.0f});
    EXPECT_FALSE(engine->Status().deviceOpen);
    {
        std::lock_guard<std::mutex> lock(device->mutex);
        device->deviceAvailable = true;
    }
    EXPECT_TRUE(Eventually([&] { return DeviceOpen(); }));
    EXPECT_TRUE(Eventually([&] { return engine->Status().music == audio::AudioStatus::Music::BuiltIn; }));
}

TEST_F(AudioEngine, ALostDeviceIsOpenedAgain) {
    engine->Start(audio::AudioSettings{});
    ASSERT_TRUE(Eventually([&] { return DeviceOpen(); }));
    {
        std::lock_guard<std::mutex> lock(device->mutex);
        device->lose = true;
        device->changed.notify_all();
    }
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(device->mutex);
        return device->opens == 2 && device->open;
    }));
}

TEST_F(AudioEngine, EffectsSoundOnlyWhileSoundsAreOn) {
    audio::AudioSettings settings;
    settings.musicEnabled = false;
    settings.soundsEnabled = false;
    engine->Start(settings);
    engine->Play({scene::SceneEventKind::WaterRipple, 0.0f, 1.0f});
    engine->SetSoundsEnabled(true);
    ASSERT_TRUE(Eventually([&] { return DeviceOpen(); }));
    EXPECT_LT(RmsDecibels(Pull(kRate / 2), 0, kRate / 2), -120.0) << "an effect asked for while sounds were off";
    engine->Play({scene::SceneEventKind::WaterRipple, 0.0f, 1.0f});
    EXPECT_GT(RmsDecibels(Pull(kRate / 2), 0, kRate / 2), -40.0);
    EXPECT_EQ(engine->Status().effectsStarted, 1u);
}

TEST_F(AudioEngine, EndsWithoutWaitingForAFileThatNeverOpensAndPlaysOnMeanwhile) {
    audio_test::MemoryFiles& files = sources->files;
    files.Hang(L"\\\\offline\\share\\list.m3u");
    audio::AudioSettings settings = Tone(15);
    settings.soundsEnabled = true;
    settings.playList = L"\\\\offline\\share\\list.m3u\n";
    engine->Start(settings);
    ASSERT_TRUE(Eventually([&] { return files.Reads(L"\\\\offline\\share\\list.m3u") == 1; }));
    engine->Play({scene::SceneEventKind::LightRises, 0.0f, 1.0f});
    EXPECT_GT(RmsDecibels(Pull(kRate / 2), 0, kRate / 2), -40.0) << "the effects wait for the playlist";
    auto ended = std::async(std::launch::async, [&] { engine.reset(); });
    EXPECT_EQ(ended.wait_for(kPatience), std::future_status::ready);
    files.Release(); // the loader's thread ends now, with the last of the engine
}

} // namespace
