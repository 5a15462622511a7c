// Decoding through Media Foundation's source reader, as 32-bit floats.
#include "main_program/audio/media_foundation_decoder_win.h"

#include "platform/com_objects_win.h"

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {

namespace {

constexpr auto kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

class MediaFoundationDecoder final : public Decoder {
  public:
    MediaFoundationDecoder(platform::ComPtr<IMFSourceReader> reader, PcmFormat format)
        : reader_(std::move(reader)), format_(format) {}

    PcmFormat Format() const override { return format_; }

    std::size_t Read(float* samples, std::size_t frames) override {
        const auto channels = static_cast<std::size_t>(format_.channels);
        std::size_t done = 0;
        while (done < frames) {
            if (from_ == pending_.size() && !Fetch()) break;
            const std::size_t count = std::min(frames - done, (pending_.size() - from_) / channels);
            std::copy_n(pending_.data() + from_, count * channels, samples + done * channels);
            from_ += count * channels;
            done += count;
        }
        return done;
    }

  private:
    // The next sample's floats into pending_; false at the end or an error.
    bool Fetch() {
        pending_.clear();
        from_ = 0;
        while (!ended_ && pending_.empty()) {
            DWORD flags = 0;
            platform::ComPtr<IMFSample> sample;
            if (FAILED(reader_->ReadSample(kAudio, 0, nullptr, &flags, nullptr, sample.Receive())) ||
                (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR)) ||
                (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)) {
                // A format that changes halfway ends the song here.
                ended_ = true;
                break;
            }
            if (!sample) continue; // a gap in the stream
            platform::ComPtr<IMFMediaBuffer> buffer;
            if (FAILED(sample->ConvertToContiguousBuffer(buffer.Receive()))) continue;
            BYTE* data = nullptr;
            DWORD length = 0;
            if (FAILED(buffer->Lock(&data, nullptr, &length))) continue;
            const std::size_t whole = length / (sizeof(float) * static_cast<std::size_t>(format_.channels));
            pending_.resize(whole * static_cast<std::size_t>(format_.channels));
            std::memcpy(pending_.data(), data, pending_.size() * sizeof(float));
            buffer->Unlock();
        }
        return !pending_.empty();
    }

    platform::ComPtr<IMFSourceReader> reader_;
    PcmFormat format_;
    std::vector<float> pending_;
    std::size_t from_ = 0;
    bool ended_ = false;
};

} // namespace

MediaFoundation::MediaFoundation() {
    if (!platform_ || !readers_) return;
    const auto startup = platform_.Function<decltype(&MFStartup)>("MFStartup");
    if (!startup || !readers_.Function<decltype(&MFCreateSourceReaderFromURL)>("MFCreateSourceReaderFromURL") ||
        !platform_.Function<decltype(&MFCreateMediaType)>("MFCreateMediaType"))
        return;
    started_ = SUCCEEDED(startup(MF_VERSION, MFSTARTUP_LITE));
}

MediaFoundation::~MediaFoundation() {
    if (!started_) return;
    if (const auto shutdown = platform_.Function<decltype(&MFShutdown)>("MFShutdown")) shutdown();
}

OpenResult MediaFoundation::Open(const std::wstring& path, std::unique_ptr<Decoder>& decoder) const {
    if (!started_) return OpenResult::Unavailable;
    const auto createReader = readers_.Function<decltype(&MFCreateSourceReaderFromURL)>("MFCreateSourceReaderFromURL");
    const auto createType = platform_.Function<decltype(&MFCreateMediaType)>("MFCreateMediaType");
    platform::ComPtr<IMFSourceReader> reader;
    if (FAILED(createReader(path.c_str(), nullptr, reader.Receive()))) return OpenResult::Failed;
    reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(reader->SetStreamSelection(kAudio, TRUE))) return OpenResult::Failed;

    platform::ComPtr<IMFMediaType> wanted;
    if (FAILED(createType(wanted.Receive())) || FAILED(wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) ||
        FAILED(wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float)) ||
        FAILED(reader->SetCurrentMediaType(kAudio, nullptr, wanted.Get())))
        return OpenResult::Failed;
    platform::ComPtr<IMFMediaType> actual;
    UINT32 rate = 0;
    UINT32 channels = 0;
    UINT32 bits = 0;
    GUID subtype{};
    if (FAILED(reader->GetCurrentMediaType(kAudio, actual.Receive())) ||
        FAILED(actual->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
        FAILED(actual->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels)) ||
        FAILED(actual->GetGUID(MF_MT_SUBTYPE, &subtype)) || !IsEqualGUID(subtype, MFAudioFormat_Float))
        return OpenResult::Failed;
    if (SUCCEEDED(actual->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)) && bits != 32) return OpenResult::Failed;
    decoder = std::make_unique<MediaFoundationDecoder>(std::move(reader),
                                                       PcmFormat{static_cast<int>(rate), static_cast<int>(channels)});
    return OpenResult::Opened;
}

} // namespace audio
