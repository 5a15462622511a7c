// The audio's signal path: the volume curve, the built-in music (never
// clipping, no corner at any join, the same however it is split), the sound
// effects, channel folding and rate conversion, the frame ring, and the
// mixer's ramps, crossings and limit.
#include "main_program/audio/builtin_music.h"
#include "main_program/audio/frame_ring.h"
#include "main_program/audio/mixer.h"
#include "main_program/audio/resampler.h"
#include "main_program/audio/sound_effects.h"
#include "main_program/audio/volume_curve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 48000;
// Frame counts of a second at kRate and at the music's test rate.
constexpr std::size_t kSecond = 48000;
constexpr double kPi = 3.141592653589793;

double Decibels(double gain) { return 20.0 * std::log10(gain); }

float Peak(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (const float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

double Rms(const float* stereo, std::size_t frames, int channel) {
    double sum = 0.0;
    for (std::size_t i = 0; i < frames; ++i)
        sum += static_cast<double>(stereo[2 * i + channel]) * stereo[2 * i + channel];
    return std::sqrt(sum / static_cast<double>(frames));
}

// Upward zero crossings per second of one channel: the frequency of a tone.
double Frequency(const std::vector<float>& stereo, int rate) {
    int crossings = 0;
    for (std::size_t i = 2; i < stereo.size(); i += 2)
        crossings += stereo[i - 2] < 0.0f && stereo[i] >= 0.0f ? 1 : 0;
    return crossings * static_cast<double>(rate) / (static_cast<double>(stereo.size()) / 2.0);
}

// A high-pass filter well above everything a sound plays (its stop band
// reaches some 4 kHz below `cutoff`): what comes through is a corner in the
// signal (a click), not the sound.
std::vector<float> Clicks(const std::vector<float>& stereo, int channel, double cutoff, int rate = kRate) {
    constexpr int kTaps = 63;
    const double kCutoff = cutoff / rate;
    std::vector<double> taps(kTaps);
    for (int k = 0; k < kTaps; ++k) {
        const double x = k - (kTaps - 1) / 2.0;
        const double lowPass = x == 0.0 ? 2.0 * kCutoff : std::sin(2.0 * kPi * kCutoff * x) / (kPi * x);
        const double window = 0.42 - 0.5 * std::cos(2.0 * kPi * k / (kTaps - 1)) + 0.08 * std::cos(4.0 * kPi * k / (kTaps - 1));
        taps[static_cast<std::size_t>(k)] = (x == 0.0 ? 1.0 : 0.0) - lowPass * window;
    }
    const std::size_t frames = stereo.size() / 2;
    std::vector<float> out;
    for (std::size_t i = kTaps; i < frames; ++i) {
        double sum = 0.0;
        for (int k = 0; k < kTaps; ++k)
            sum += taps[static_cast<std::size_t>(k)] * stereo[2 * (i - static_cast<std::size_t>(k)) + static_cast<std::size_t>(channel)];
        out.push_back(static_cast<float>(sum));
    }
    return out;
}

TEST(AudioVolume, CurveIsSilentAtZeroRisesSteadilyAndLeavesHeadroom) {
    EXPECT_EQ(audio::VolumeGain(0), 0.0f);
    EXPECT_EQ(audio::VolumeGain(-5), 0.0f);
    EXPECT_NEAR(audio::VolumeGain(100), 0.5f, 1e-4f);
    EXPECT_NEAR(Decibels(audio::VolumeGain(15)), -23.02, 0.01);
    EXPECT_NEAR(Decibels(audio::VolumeGain(50)), -16.02, 0.01);
    EXPECT_NEAR(Decibels(audio::VolumeGain(10)), -24.02, 0.01);
    EXPECT_NEAR(Decibels(audio::VolumeGain(1)), -44.02, 0.01);
    EXPECT_EQ(audio::VolumeGain(150), audio::VolumeGain(100));
    for (int percent = 1; percent <= 100; ++percent)
        EXPECT_GT(audio::VolumeGain(percent), audio::VolumeGain(percent - 1)) << percent;
    // Music and effects both at 100 add up to full scale at most.
    EXPECT_LE(2.0f * audio::VolumeGain(100), 1.0f);
}

// The music is rendered at 24 kHz here, which its partials allow, so that
// the tests stay short under the sanitizers.
constexpr int kMusicRate = 24000;
constexpr std::size_t kMusicSecond = 24000;

TEST(AudioBuiltInMusic, NeverClipsAndHasNoCornerAtAnyJoin) {
    static_assert(audio::BuiltInMusic::kPeakBound < 1.0f, "the bound itself is below full scale");
    static_assert(audio::BuiltInMusic::kHighestFrequency < 6000.0, "the corner filter needs room above the music");
    audio::BuiltInMusic music(kMusicRate, 20261209);
    // Three chords and two crossings, each to its end, and some ten bells.
    const auto frames = static_cast<std::size_t>((2 * audio::BuiltInMusic::kSectionSeconds +
                                                  audio::BuiltInMusic::kCrossfadeSeconds) * kMusicRate);
    std::vector<float> stereo(2 * frames);
    music.Render(stereo.data(), frames);
    EXPECT_EQ(music.Sections(), 3u);
    EXPECT_LE(Peak(stereo), audio::BuiltInMusic::kPeakBound);
    EXPECT_GT(Peak(stereo), 0.2f) << "the music is barely there";
    EXPECT_TRUE(std::all_of(stereo.begin(), stereo.end(), [](float s) { return std::isfinite(s); }));
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<float> clicks = Clicks(stereo, channel, 10000.0, kMusicRate);
        const auto worst = std::max_element(clicks.begin(), clicks.end(),
                                            [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        EXPECT_LT(std::fabs(*worst), 1e-3f) << "a corner at " << static_cast<double>(worst - clicks.begin() + 63) / kMusicRate
                                            << " s, channel " << channel;
    }
    // The music starts from silence.
    EXPECT_LT(std::fabs(stereo[0]) + std::fabs(stereo[1]), 1e-6f);
    EXPECT_LT(Rms(stereo.data(), kMusicRate / 10, 0), 1e-3);
}

TEST(AudioBuiltInMusic, SoundsTheSameHoweverItIsSplitAndDiffersBySeed) {
    // Past the second chord's start, where the voices change hands.
    const auto frames = static_cast<std::size_t>((audio::BuiltInMusic::kSectionSeconds + 1.0) * kMusicRate);
    audio::BuiltInMusic whole(kMusicRate, 5);
    std::vector<float> once(2 * frames);
    whole.Render(once.data(), frames);

    audio::BuiltInMusic split(kMusicRate, 5);
    std::vector<float> pieces(2 * frames);
    const std::size_t sizes[] = {1, 7, 480, 4093, 1};
    for (std::size_t done = 0, k = 0; done < frames; ++k) {
        const std::size_t count = std::min(sizes[k % 5], frames - done);
        split.Render(pieces.data() + 2 * done, count);
        done += count;
    }
    EXPECT_EQ(once, pieces);

    audio::BuiltInMusic other(kMusicRate, 6);
    std::vector<float> different(2 * kMusicSecond);
    other.Render(different.data(), kMusicSecond);
    EXPECT_FALSE(std::equal(different.begin(), different.end(), once.begin()));
}

TEST(AudioSoundEffects, EachEventSoundsOnItsSideAndEnds) {
    using Kind = scene::SceneEventKind;
    for (const Kind kind : {Kind::LightRises, Kind::LightPasses, Kind::ShootingStar, Kind::WaterRipple}) {
        audio::SoundEffects effects(kRate, 1);
        effects.Trigger({kind, -0.8f, 1.0f});
        const std::size_t frames = 2 * kSecond;
        std::vector<float> stereo(2 * frames, 0.0f);
        effects.Mix(stereo.data(), frames);
        const double left = Rms(stereo.data(), frames, 0);
        const double right = Rms(stereo.data(), frames, 1);
        EXPECT_GT(Decibels(left), -45.0) << static_cast<int>(kind);
        EXPECT_GT(left, 1.5 * right) << "panned left: " << static_cast<int>(kind);
        EXPECT_LT(Peak(stereo), 1.0f) << static_cast<int>(kind);
        EXPECT_EQ(effects.Sounding(), 0u) << "still sounding after 2 s: " << static_cast<int>(kind);
        EXPECT_LT(std::fabs(stereo[0]), 1e-3f) << "starts with a click: " << static_cast<int>(kind);
    }
    audio::SoundEffects quiet(kRate, 1);
    quiet.Trigger({Kind::ShootingStar, 0.0f, 0.0f});
    EXPECT_EQ(quiet.Sounding(), 0u);
}

TEST(AudioSoundEffects, ABurstKeepsAFewAndOlderOnesMakeWayWithoutAClick) {
    audio::SoundEffects effects(kRate, 1);
    std::vector<float> stereo(4 * kSecond, 0.0f); // two seconds
    std::size_t done = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        effects.Trigger({scene::SceneEventKind::LightRises, 0.0f, 0.5f});
        EXPECT_LE(effects.Sounding(), audio::SoundEffects::kMaxLive + 4);
        // Uneven gaps: the older effects make way at different points of their sound.
        const std::size_t gap = kRate / 25 + 397 * i;
        effects.Mix(stereo.data() + 2 * done, gap);
        done += gap;
    }
    EXPECT_LE(effects.Sounding(), audio::SoundEffects::kMaxLive + 1);
    effects.Mix(stereo.data() + 2 * done, 2 * kSecond - done);
    EXPECT_EQ(effects.Sounding(), 0u);
    // The chime's partials stay below 2 kHz.
    const std::vector<float> clicks = Clicks(stereo, 0, 8000.0);
    EXPECT_LT(Peak(clicks), 2e-3f) << "an effect that made way stopped with a click";
}

TEST(AudioResampler, ConvertsRatesKeepingPitchAndLevel) {
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{44100, 48000}, {48000, 44100}, {22050, 48000}, {96000, 48000}}) {
        const std::size_t frames = static_cast<std::size_t>(from); // one second
        std::vector<float> input(2 * frames);
        for (std::size_t i = 0; i < frames; ++i)
            input[2 * i] = input[2 * i + 1] = 0.5f * static_cast<float>(std::sin(2.0 * kPi * 1000.0 * i / from));
        audio::Resampler whole;
        whole.Reset(from, to);
        std::vector<float> output;
        whole.Process(input.data(), frames, output);
        // Short by the filter's reach at most.
        EXPECT_NEAR(static_cast<double>(output.size()) / 2.0, static_cast<double>(to), 20.0) << from << " to " << to;
        EXPECT_NEAR(Frequency(output, to), 1000.0, 2.0) << from << " to " << to;
        const std::size_t middle = output.size() / 4;
        EXPECT_NEAR(Decibels(Rms(output.data() + 2 * middle / 2, middle, 0)), Decibels(0.5 / std::sqrt(2.0)), 0.1)
            << from << " to " << to;

        audio::Resampler pieces;
        pieces.Reset(from, to);
        std::vector<float> split;
        for (std::size_t done = 0; done < frames; done += 333)
            pieces.Process(input.data() + 2 * done, std::min<std::size_t>(333, frames - done), split);
        EXPECT_EQ(split, output) << from << " to " << to;
    }
}

TEST(AudioResampler, KeepsToneAboveTheLowerRateOut) {
    const std::size_t frames = 48000;
    std::vector<float> input(2 * frames);
    for (std::size_t i = 0; i < frames; ++i)
        input[2 * i] = input[2 * i + 1] = 0.5f * static_cast<float>(std::sin(2.0 * kPi * 21000.0 * i / 48000));
    audio::Resampler resampler;
    resampler.Reset(48000, 22050);
    std::vector<float> output;
    resampler.Process(input.data(), frames, output);
    EXPECT_LT(Decibels(Rms(output.data() + output.size() / 2, output.size() / 4, 0)), -40.0);
}

TEST(AudioResampler, FoldsChannelsToStereo) {
    std::vector<float> stereo;
    const float mono[] = {0.5f, -0.25f};
    audio::FoldToStereo(mono, 2, 1, stereo);
    EXPECT_EQ(stereo, (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f}));

    // 5.1: left, right, centre, low frequency, back left, back right.
    const float centreOnly[] = {0, 0, 1, 0, 0, 0};
    const float lowOnly[] = {0, 0, 0, 1, 0, 0};
    const float leftOnly[] = {1, 0, 0, 0, 1, 0};
    stereo.clear();
    audio::FoldToStereo(centreOnly, 1, 6, stereo);
    audio::FoldToStereo(lowOnly, 1, 6, stereo);
    audio::FoldToStereo(leftOnly, 1, 6, stereo);
    EXPECT_NEAR(stereo[0], stereo[1], 1e-6f);
    EXPECT_GT(stereo[0], 0.2f);
    EXPECT_EQ(stereo[2], 0.0f);
    EXPECT_EQ(stereo[3], 0.0f);
    EXPECT_LE(stereo[4], 1.0f);
    EXPECT_EQ(stereo[5], 0.0f);
    // Quad has no centre: its third channel is the back left.
    const float backLeft[] = {0, 0, 1, 0};
    stereo.clear();
    audio::FoldToStereo(backLeft, 1, 4, stereo);
    EXPECT_GT(stereo[0], 0.2f);
    EXPECT_EQ(stereo[1], 0.0f);
}

TEST(AudioFrameRing, WrapsAndDropsWhatWasWrittenBeforeANewStart) {
    audio::FrameRing ring(8);
    std::vector<float> in(12);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(i);
    EXPECT_EQ(ring.Write(in.data(), 6), 6u);
    std::vector<float> out(16);
    EXPECT_EQ(ring.Read(out.data(), 4), 4u);
    EXPECT_EQ(ring.Write(in.data(), 6), 6u); // wraps
    EXPECT_EQ(ring.Write(in.data(), 6), 0u); // full
    EXPECT_EQ(ring.Read(out.data(), 8), 8u);
    EXPECT_EQ(out[0], 8.0f); // the first write's last two frames
    EXPECT_EQ(out[4], 0.0f); // then the second write, across the end
    EXPECT_EQ(out[15], 11.0f);
    ring.Write(in.data(), 3);
    ring.DropWritten();
    EXPECT_EQ(ring.Available(), 0u);
    ring.Write(in.data() + 6, 2);
    EXPECT_EQ(ring.Read(out.data(), 8), 2u);
    EXPECT_EQ(out[0], 6.0f);
}

class AudioMixer : public ::testing::Test {
  protected:
    AudioMixer() { mixer.SetSampleRate(kRate); }

    // The playlist source holding a constant, so that levels read exactly.
    void FillPlaylist(float value, std::size_t frames) {
        std::vector<float> constant(2 * frames, value);
        ring.Write(constant.data(), frames);
    }
    std::vector<float> Render(std::size_t frames) {
        std::vector<float> out(2 * frames);
        for (std::size_t done = 0; done < frames; done += 480)
            mixer.Render(out.data() + 2 * done, std::min<std::size_t>(480, frames - done));
        return out;
    }

    audio::MixControls controls;
    audio::FrameRing ring{4 * kSecond};
    audio::Mixer mixer{controls, ring, 3};
};

TEST_F(AudioMixer, GainChangesRampWithinTwentyMillisecondsWithoutSteps) {
    controls.source = audio::MusicSource::PlayList;
    controls.musicGain = 0.1f;
    FillPlaylist(0.5f, 3 * kSecond);
    const std::vector<float> settle = Render(kRate); // the source's own crossing is done
    EXPECT_NEAR(settle.back(), 0.05f, 1e-6f);

    controls.musicGain = audio::VolumeGain(100);
    const std::vector<float> after = Render(kRate / 10);
    const std::size_t twentyMs = kRate / 50;
    EXPECT_NEAR(after[2 * twentyMs], 0.5f * audio::VolumeGain(100), 1e-6f);
    float step = 0.0f;
    for (std::size_t i = 2; i < after.size(); i += 2)
        step = std::max(step, std::fabs(after[i] - after[i - 2]));
    EXPECT_LE(step, 0.5f * audio::Mixer::kGainPerSecond / kRate + 1e-6f);
    EXPECT_FLOAT_EQ(mixer.MusicGainNow(), audio::VolumeGain(100));
}

TEST_F(AudioMixer, MusicSourcesCrossOverHalfASecond) {
    controls.musicGain = 0.5f;
    controls.source = audio::MusicSource::BuiltIn;
    Render(kRate);
    FillPlaylist(0.5f, kRate);
    controls.source = audio::MusicSource::PlayList;
    const std::vector<float> crossing = Render(kRate);
    // Halfway through, half of each; after it, the playlist alone.
    const std::size_t quarter = kRate / 4;
    EXPECT_NEAR(crossing[2 * quarter], 0.125f, 0.12f);
    EXPECT_NEAR(crossing[2 * (kSecond / 2 + 100)], 0.25f, 1e-6f);
    EXPECT_NEAR(crossing[2 * (kSecond - 1)], 0.25f, 1e-6f);
}

TEST_F(AudioMixer, NothingReachesFullScale) {
    controls.source = audio::MusicSource::PlayList;
    controls.musicGain = 1.0f;
    FillPlaylist(3.0f, kRate);
    FillPlaylist(0.5f, kRate);
    const std::vector<float> out = Render(2 * kSecond);
    EXPECT_LT(Peak(out), 1.0f);
    EXPECT_GT(out[2 * (kSecond / 2)], audio::Mixer::kLimitKnee);
    EXPECT_FLOAT_EQ(out[2 * (kSecond + kSecond / 2)], 0.5f); // below the knee: untouched
}

TEST_F(AudioMixer, EffectsSoundOnlyWhileSoundsAreOnAndPlayOnTopOfMusic) {
    controls.soundsGain = 0.0f;
    mixer.Trigger({scene::SceneEventKind::WaterRipple, 0.0f, 1.0f});
    EXPECT_EQ(Peak(Render(kRate / 2)), 0.0f);
    EXPECT_EQ(mixer.EffectsStarted(), 0u);

    controls.soundsGain = audio::VolumeGain(100);
    mixer.Trigger({scene::SceneEventKind::WaterRipple, 0.0f, 1.0f});
    const std::vector<float> out = Render(kRate / 2);
    EXPECT_EQ(mixer.EffectsStarted(), 1u);
    EXPECT_GT(Decibels(Peak(out)), -20.0);
}

} // namespace
