// The playlist's side of the music.
#include "main_program/audio/music_loader.h"

#include "main_program/audio/playlist_expansion.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace audio {

namespace {

constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;
constexpr int kMostChannels = 8;
// With no device open, or the ring full, the loader looks again this often.
constexpr std::chrono::milliseconds kRingPoll{20};
constexpr std::chrono::hours kIdle{24};

} // namespace

MusicLoader::MusicLoader(MusicSources& sources, FrameRing& ring, MixControls& controls, std::uint64_t seed,
                         std::function<bool()> stop)
    : sources_(sources), ring_(ring), controls_(controls), seed_(seed), stop_(std::move(stop)) {}

MusicLoader::~MusicLoader() { Close(); }

bool MusicLoader::ListChanged(const LoaderSettings& settings) const {
    return !configured_ || settings.usePlaylist != settings_.usePlaylist || settings.shuffle != settings_.shuffle ||
           settings.playList != settings_.playList;
}

void MusicLoader::SetSource(MusicSource source) { controls_.source.store(source, std::memory_order_relaxed); }

void MusicLoader::Configure(const LoaderSettings& settings, Clock::time_point now) {
    const bool listChanged = ListChanged(settings);
    const bool gainChanged = settings.musicGain != settings_.musicGain;
    settings_ = settings;
    configured_ = true;
    if (listChanged) {
        CloseEntry();
        ring_.DropWritten();
        order_.reset();
        needList_ = true;
        retryAt_.reset();
        failuresInRow_ = 0;
        status_.listSize = 0;
        SetSource(settings_.usePlaylist ? MusicSource::None : MusicSource::BuiltIn);
    }
    if (!settings_.musicEnabled || settings_.paused)
        PauseMidi(now);
    else if (gainChanged && midi_ && port_)
        midi_->SetGain(*port_, settings_.musicGain);
}

void MusicLoader::SetOutputRate(int rate) { outputRate_ = rate; }

void MusicLoader::Close() {
    CloseEntry();
    order_.reset();
    needList_ = true;
}

void MusicLoader::CloseEntry() {
    if (midi_ && port_) midi_->Pause(*port_, Clock::now());
    port_.reset();
    midi_.reset();
    decoder_.reset();
    pending_.clear();
    pendingFrom_ = 0;
    status_.entry.clear();
    status_.decoder.reset();
}

void MusicLoader::PauseMidi(Clock::time_point now) {
    if (!midi_ || !port_) return;
    midi_->Pause(*port_, now);
    port_.reset(); // the synthesiser is released with the rest
}

void MusicLoader::Started(MusicSource source) {
    produced_ = true;
    failuresInRow_ = 0;
    retryAt_.reset();
    ++status_.entriesStarted;
    SetSource(source);
    sources_.Remember(order_->Entry(order_->Peek()));
}

void MusicLoader::Failed(Clock::time_point now) {
    CloseEntry();
    ++status_.entriesSkipped;
    if (++failuresInRow_ < order_->Size()) return;
    // A whole round failed: the built-in piece plays, and the list (read
    // anew, for playlists on a drive that comes back) waits its turn.
    failuresInRow_ = 0;
    SetSource(MusicSource::BuiltIn);
    retryAt_ = now + kRetryAfter;
    order_.reset();
    needList_ = true;
}

MusicLoader::Clock::time_point MusicLoader::Step(Clock::time_point now) {
    if (!configured_) return now + kIdle;
    if (!settings_.musicEnabled || settings_.paused) return now + kIdle;
    if (!settings_.usePlaylist) return now + kIdle; // the built-in piece plays

    if (needList_) {
        if (retryAt_ && now < *retryAt_) return *retryAt_;
        needList_ = false;
        failuresInRow_ = 0;
        std::vector<std::wstring> files = ExpandPlayList(settings_.playList, sources_.Files(), stop_);
        status_.listSize = files.size();
        order_.emplace(std::move(files), settings_.shuffle, seed_++, sources_.RememberedEntry());
        if (order_->Empty()) {
            SetSource(MusicSource::BuiltIn);
            retryAt_ = now + kRetryAfter;
            needList_ = true;
            return *retryAt_;
        }
    }
    if (midi_) return PlayMidi(now);
    if (decoder_) return Decode(now);
    if (retryAt_ && now < *retryAt_) return *retryAt_;
    return OpenNext(now);
}

MusicLoader::Clock::time_point MusicLoader::OpenNext(Clock::time_point now) {
    const std::wstring path = order_->Entry(order_->Next());
    for (const DecoderKind kind : DecodersFor(path, sources_.Windows())) {
        if (kind == DecoderKind::Midi) {
            if (OpenMidi(path, now)) return now;
            break;
        }
        std::unique_ptr<Decoder> decoder;
        const OpenResult result = sources_.OpenDecoder(kind, path, decoder);
        if (result == OpenResult::Unavailable) continue;
        if (result == OpenResult::Failed || !decoder) break;
        const PcmFormat format = decoder->Format();
        if (format.rate < kLowestRate || format.rate > kHighestRate || format.channels < 1 ||
            format.channels > kMostChannels)
            break;
        decoder_ = std::move(decoder);
        format_ = format;
        resampledTo_ = 0;
        produced_ = false;
        status_.entry = path;
        status_.decoder = kind;
        return now;
    }
    Failed(now);
    return now;
}

bool MusicLoader::OpenMidi(const std::wstring& path, Clock::time_point now) {
    std::string bytes;
    MidiSong song;
    if (!sources_.Files().Read(path, kMaxMidiFileBytes, bytes) || !ParseMidiFile(bytes, song)) return false;
    port_ = sources_.OpenMidiPort();
    if (!port_) return false;
    ring_.DropWritten();
    midi_.emplace(std::move(song));
    midi_->Resume(*port_, now, settings_.musicGain);
    status_.entry = path;
    status_.decoder = DecoderKind::Midi;
    Started(MusicSource::Midi);
    return true;
}

MusicLoader::Clock::time_point MusicLoader::PlayMidi(Clock::time_point now) {
    if (!port_) {
        // Back from a pause: the synthesiser is opened again, or the song is
        // given up when it cannot be.
        port_ = sources_.OpenMidiPort();
        if (!port_) {
            CloseEntry();
            return now;
        }
        midi_->Resume(*port_, now, settings_.musicGain);
    }
    const auto next = midi_->Play(*port_, now);
    if (!next) {
        CloseEntry();
        return now;
    }
    return *next;
}

bool MusicLoader::FlushPending() {
    const std::size_t frames = (pending_.size() - pendingFrom_) / 2;
    const std::size_t written = ring_.Write(pending_.data() + pendingFrom_, frames);
    pendingFrom_ += 2 * written;
    if (pendingFrom_ < pending_.size()) return false;
    pending_.clear();
    pendingFrom_ = 0;
    return true;
}

MusicLoader::Clock::time_point MusicLoader::Decode(Clock::time_point now) {
    if (outputRate_ <= 0 || !FlushPending()) return now + kRingPoll;
    if (resampledTo_ != outputRate_) {
        resampler_.Reset(format_.rate, outputRate_);
        resampledTo_ = outputRate_;
    }
    samples_.resize(kBlockFrames * static_cast<std::size_t>(format_.channels));
    const std::size_t frames = decoder_->Read(samples_.data(), kBlockFrames);
    if (frames == 0) {
        const bool played = produced_;
        if (played)
            CloseEntry();
        else
            Failed(now); // opened, but nothing could be decoded
        return now;
    }
    if (!produced_) Started(MusicSource::PlayList);
    // A damaged file may decode to anything; the mix takes only numbers.
    for (std::size_t i = 0; i < frames * static_cast<std::size_t>(format_.channels); ++i)
        if (!std::isfinite(samples_[i])) samples_[i] = 0.0f;
    stereo_.clear();
    FoldToStereo(samples_.data(), frames, format_.channels, stereo_);
    resampler_.Process(stereo_.data(), frames, pending_);
    FlushPending();
    return now;
}

} // namespace audio
