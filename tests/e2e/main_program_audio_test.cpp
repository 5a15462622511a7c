// The main program's music in both modes, end to end under Wine with its
// output captured to a file (tests/e2e/audio/audio_capture_test.py runs these
// scenarios and measures the capture with sox): the screensaver plays and
// lets the device go while the display is off; a trackbar move in the real
// settings dialog changes the wallpaper's level. Each prints the frames it
// had played at its marks ("MOVED frame=... rate=..."). Without a capture
// (SORVANE_AUDIO_CAPTURE) they are skipped.
#include "main_program/app/program_names.h"
#include "tests/e2e/driver/main_program_state.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"
#include "tests/e2e/settings_dialog_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace settings_e2e {
namespace {

using main_program::TestState;

constexpr DWORD kAudioDeadline = 60000; // generous: software rendering on a busy machine
// The screensaver mode's message for a change of the display's power
// (wParam 0 off, 1 on), which tests send since they cannot turn a display off.
constexpr UINT kDisplayStateMessage = WM_APP + 2;
// TestState::audioMusic: audio::AudioStatus::Music.
constexpr std::uint32_t kBuiltInMusic = 1;
constexpr std::uint32_t kPlaylistMusic = 2;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::wstring Folder() {
    const std::wstring scr = e2e::ScreensaverPath();
    return scr.substr(0, scr.find_last_of(L'\\'));
}

void Mark(const char* what, const TestState& state) {
    std::printf("%s frame=%llu rate=%u device=%u music=%u\n", what,
                static_cast<unsigned long long>(state.audioFramesPlayed), state.audioSampleRate, state.audioDevice,
                state.audioMusic);
    std::fflush(stdout);
}

class MainProgramAudio : public SettingsDialogTest {
  protected:
    void SetUp() override {
        if (Environment(L"SORVANE_AUDIO_CAPTURE").empty()) GTEST_SKIP() << "runs with the audio captured (e2e.audio)";
        SettingsDialogTest::SetUp();
        ASSERT_TRUE(state_.Valid());
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey));
        SeedSetting(L"AppPath", Folder());
        // Stored, so that no hardware is measured.
        for (const wchar_t* name : {L"HighQualityGraphics", L"HighQualityTextures", L"Antialiasing"})
            SeedSetting(name, L"2: 0");
        SeedSetting(L"DisableSound", L"2: 1");
        SetEnvironmentVariableW(L"SORVANE_TEST_MAX_RENDER", L"128");
        SetEnvironmentVariableW(L"SORVANE_TEST_FPS", L"8");
    }
    void TearDown() override {
        SettingsDialogTest::TearDown();
        for (const wchar_t* control : {main_program::kScreensaverControlClass, main_program::kWallpaperControlClass})
            if (HWND window = FindWindowW(control, nullptr)) PostMessageW(window, WM_CLOSE, 0, 0);
        if (program_.Running()) program_.WaitForExit(kAudioDeadline);
        SetEnvironmentVariableW(L"SORVANE_TEST_MAX_RENDER", nullptr);
        SetEnvironmentVariableW(L"SORVANE_TEST_FPS", nullptr);
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    }

    std::optional<TestState> Expect(const std::function<bool(const TestState&)>& condition, const char* what) {
        auto state = state_.WaitFor(condition, kAudioDeadline);
        EXPECT_TRUE(state) << what << "; " << Describe(state_.Read());
        return state;
    }
    static std::string Describe(const std::optional<TestState>& s) {
        if (!s) return "nothing published";
        return "mode " + std::to_string(s->mode) + ", frames " + std::to_string(s->framesTotal) + ", audio started " +
               std::to_string(s->audioStarted) + ", device " + std::to_string(s->audioDevice) + ", music " +
               std::to_string(s->audioMusic) + ", played " + std::to_string(s->audioFramesPlayed) + ", gain " +
               std::to_string(s->audioMusicGain) + ", started " + std::to_string(s->audioEntriesStarted) +
               ", skipped " + std::to_string(s->audioEntriesSkipped) + ", volume " + std::to_string(s->musicVolume);
    }
    // Played at least `seconds` of audio beyond `from` frames, device held.
    static std::function<bool(const TestState&)> Played(double seconds, std::uint64_t from = 0) {
        return [=](const TestState& s) {
            return s.audioDevice == 1 && s.audioSampleRate > 0 &&
                   s.audioFramesPlayed >= from + static_cast<std::uint64_t>(seconds * s.audioSampleRate);
        };
    }

    e2e::MainProgramState state_;
    e2e::Process program_;
};

TEST_F(MainProgramAudio, TheScreensaverPlaysItsMusicAndLetsTheDeviceGoWhileTheDisplayIsOff) {
    state_.Clear();
    program_ = e2e::Process::Start(Folder() + L"\\Sorvane 3D Screensaver.exe", L"");
    ASSERT_TRUE(program_.Started());
    auto state = Expect(Played(2.0), "the screensaver's music did not play");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->audioMusic, kBuiltInMusic);
    Mark("PLAYING", *state);

    HWND control = FindWindowW(main_program::kScreensaverControlClass, nullptr);
    ASSERT_NE(control, nullptr);
    PostMessageW(control, kDisplayStateMessage, 0, 0);
    Expect([](const TestState& s) { return s.audioDevice == 0; }, "the device was kept while the display was off");
    PostMessageW(control, kDisplayStateMessage, 1, 0);
    state = Expect(Played(1.0), "the music did not come back with the display");
    if (state) Mark("END", *state);
}

TEST_F(MainProgramAudio, ATrackbarMoveInTheSettingsDialogChangesTheWallpapersLevel) {
    const std::wstring tone = Environment(L"SORVANE_TEST_AUDIO_TONE");
    ASSERT_FALSE(tone.empty()) << "SORVANE_TEST_AUDIO_TONE names the steady tone to play";
    SeedSetting(L"UsePlaylist", L"2: 1");
    SeedSetting(L"MusicVolumePercentage", L"2: 15");
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"PlayList", tone + L"\n"));
    state_.Clear();
    program_ = e2e::Process::Start(Folder() + L"\\Sorvane 3D Screensaver.exe", L"/w");
    ASSERT_TRUE(program_.Started());
    // The tone's entry may start late (a first decode can wait for the
    // decoder's set-up): its level is measured from when it was seen playing.
    auto state = Expect([](const TestState& s) { return s.audioMusic == kPlaylistMusic && s.audioEntriesStarted >= 1; },
                        "the wallpaper's playlist did not play");
    ASSERT_TRUE(state);
    Mark("PLAYING", *state);
    state = Expect(Played(2.0, state->audioFramesPlayed), "the wallpaper's playlist stopped");
    ASSERT_TRUE(state);

    Open();
    state = state_.Read();
    ASSERT_TRUE(state);
    Mark("BEFORE", *state); // the last frame surely played at 15
    e2e::MoveTrackbar(Item(MusicVolume), 100);
    state = Expect([](const TestState& s) { return s.musicVolume == 100 && s.audioMusicGain > 0.49f; },
                   "the trackbar's code 1 did not reach the audio");
    ASSERT_TRUE(state);
    Mark("MOVED", *state);
    state = Expect(Played(2.5, state->audioFramesPlayed), "the music stopped after the move");
    if (state) Mark("END", *state);
}

} // namespace
} // namespace settings_e2e
