// Stand-ins for the audio's seams in native tests: files in memory, decoders
// of pure tones, a MIDI port that records, the music sources over them, and
// an output device that the test pulls frames from.
#pragma once

#include "main_program/audio/audio_files.h"
#include "main_program/audio/audio_output.h"
#include "main_program/audio/decoder.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio_test {

// Files in memory; bytes in "ANSI" are taken as Latin-1.
class MemoryFiles final : public audio::AudioFiles {
  public:
    void Add(const std::wstring& path, std::string bytes) { files_[path] = std::move(bytes); }
    // Reads of this path never return (a dead network path) until Release.
    void Hang(const std::wstring& path) { hung_ = path; }
    void Release() {
        const std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    int Reads(const std::wstring& path) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto found = reads_.find(path);
        return found == reads_.end() ? 0 : found->second;
    }

    bool Read(const std::wstring& path, std::size_t limit, std::string& bytes) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++reads_[path];
        if (path == hung_) changed_.wait(lock, [this] { return released_; });
        const auto found = files_.find(path);
        if (found == files_.end()) return false;
        bytes = found->second.substr(0, limit);
        return true;
    }
    std::wstring AnsiToWide(const std::string& bytes) override {
        std::wstring text;
        for (const char c : bytes)
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        return text;
    }

  private:
    std::map<std::wstring, std::string> files_;
    std::wstring hung_;
    bool released_ = false;
    std::map<std::wstring, int> reads_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
};

// A sine of `frequency` at `level`, `frames` long, in every channel.
class ToneDecoder final : public audio::Decoder {
  public:
    ToneDecoder(audio::PcmFormat format, double frequency, float level, std::size_t frames)
        : format_(format), frequency_(frequency), level_(level), left_(frames) {}
    audio::PcmFormat Format() const override { return format_; }
    std::size_t Read(float* samples, std::size_t frames) override {
        const std::size_t count = std::min(frames, left_);
        for (std::size_t i = 0; i < count; ++i, ++done_) {
            const auto value = static_cast<float>(
                level_ * std::sin(2.0 * 3.141592653589793 * frequency_ * static_cast<double>(done_) / format_.rate));
            for (int c = 0; c < format_.channels; ++c)
                samples[i * static_cast<std::size_t>(format_.channels) + static_cast<std::size_t>(c)] = value;
        }
        left_ -= count;
        return count;
    }

  private:
    audio::PcmFormat format_;
    double frequency_;
    float level_;
    std::size_t left_;
    std::size_t done_ = 0;
};

class RecordingMidiPort final : public audio::MidiPort {
  public:
    explicit RecordingMidiPort(std::shared_ptr<std::vector<std::uint32_t>> sent) : sent_(std::move(sent)) {}
    void Send(std::uint32_t message) override { sent_->push_back(message); }

  private:
    std::shared_ptr<std::vector<std::uint32_t>> sent_;
};

// What a path holds for the fake decoders.
struct FakeTrack {
    enum class Kind { Tone, Missing, Undecodable, Unavailable } kind = Kind::Tone;
    double frequency = 440.0;
    std::size_t frames = 48000;
    audio::PcmFormat format{48000, 2};
};

class FakeSources final : public audio::MusicSources {
  public:
    MemoryFiles files;
    std::map<std::wstring, FakeTrack> tracks; // by path; absent: missing
    std::map<audio::DecoderKind, bool> unavailable;
    bool midiPort = false;
    std::shared_ptr<std::vector<std::uint32_t>> midiSent = std::make_shared<std::vector<std::uint32_t>>();
    audio::WindowsVersion windows{10, 0};
    std::wstring remembered;
    std::vector<std::wstring> rememberedWrites;
    std::vector<std::pair<audio::DecoderKind, std::wstring>> opens;

    audio::OpenResult OpenDecoder(audio::DecoderKind kind, const std::wstring& path,
                                  std::unique_ptr<audio::Decoder>& decoder) override {
        opens.emplace_back(kind, path);
        if (unavailable[kind]) return audio::OpenResult::Unavailable;
        const auto found = tracks.find(path);
        if (found == tracks.end() || found->second.kind == FakeTrack::Kind::Missing) return audio::OpenResult::Failed;
        const FakeTrack& track = found->second;
        const std::size_t frames = track.kind == FakeTrack::Kind::Undecodable ? 0 : track.frames;
        decoder = std::make_unique<ToneDecoder>(track.format, track.frequency, 0.5f, frames);
        return audio::OpenResult::Opened;
    }
    std::unique_ptr<audio::MidiPort> OpenMidiPort() override {
        if (!midiPort) return nullptr;
        return std::make_unique<RecordingMidiPort>(midiSent);
    }
    audio::AudioFiles& Files() override { return files; }
    audio::WindowsVersion Windows() override { return windows; }
    std::wstring RememberedEntry() override { return remembered; }
    void Remember(const std::wstring& path) override { rememberedWrites.push_back(path); }
};

// An output device the test drives: frames are rendered only when the test
// pulls them, so what the engine plays is exact in samples, not in time.
class PulledOutput final : public audio::AudioOutput {
  public:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool deviceAvailable = true;
        bool open = false;
        int opens = 0;
        bool lose = false;
        std::size_t wanted = 0;      // frames the test waits for
        std::vector<float> received; // every frame written, in order
        bool woken = false;
    };

    explicit PulledOutput(std::shared_ptr<State> state) : state_(std::move(state)) {}

    bool Open() override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        if (!state_->deviceAvailable) return false;
        state_->open = true;
        ++state_->opens;
        state_->changed.notify_all();
        return true;
    }
    void Close() override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->open = false;
        state_->changed.notify_all();
    }
    bool IsOpen() const override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->open;
    }
    int SampleRate() const override { return 48000; }
    double LatencyMs() const override { return 0.0; }
    long WaitForFrames(std::chrono::milliseconds timeout) override {
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->changed.wait_for(lock, timeout, [this] { return state_->wanted > 0 || state_->lose || state_->woken; });
        state_->woken = false;
        if (state_->lose) {
            state_->lose = false;
            return kDeviceLost;
        }
        return static_cast<long>(std::min<std::size_t>(state_->wanted, 480));
    }
    void Write(const float* stereo, std::size_t frames) override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->received.insert(state_->received.end(), stereo, stereo + 2 * frames);
        state_->wanted -= std::min(state_->wanted, frames);
        state_->changed.notify_all();
    }
    void WaitForChange(std::chrono::milliseconds timeout) override {
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->changed.wait_for(lock, timeout, [this] { return state_->woken; });
        state_->woken = false;
    }
    void Wake() override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->woken = true;
        state_->changed.notify_all();
    }

  private:
    std::shared_ptr<State> state_;
};

} // namespace audio_test
