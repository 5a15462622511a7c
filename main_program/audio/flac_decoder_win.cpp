// Our FLAC decoder: libFLAC's stream decoder over a file of the machine.
#include "main_program/audio/open_file_win.h"
#include "main_program/audio/system_audio_win.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace audio {

namespace {

// libFLAC reports damaged frames and searches on; this many reports in a
// row without a decoded frame end the song.
constexpr int kMostErrors = 64;

class FlacDecoder final : public Decoder {
  public:
    explicit FlacDecoder(const std::wstring& path) : file_(path) {}
    ~FlacDecoder() override {
        if (decoder_) FLAC__stream_decoder_delete(decoder_);
    }
    FlacDecoder(const FlacDecoder&) = delete;
    FlacDecoder& operator=(const FlacDecoder&) = delete;

    bool Open() {
        if (!file_ || !(decoder_ = FLAC__stream_decoder_new())) return false;
        if (FLAC__stream_decoder_init_stream(decoder_, &ReadBytes, &SeekTo, &TellAt, &LengthOf, &AtEnd, &TakeFrame,
                                             &TakeMetadata, &TakeError, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
            return false;
        if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_)) return false;
        return format_.rate > 0 && format_.channels >= 1 && format_.channels <= 8 && bits_ >= 4 && bits_ <= 32;
    }

    PcmFormat Format() const override { return format_; }

    std::size_t Read(float* samples, std::size_t frames) override {
        const auto channels = static_cast<std::size_t>(format_.channels);
        std::size_t done = 0;
        while (done < frames) {
            if (from_ == pending_.size()) {
                pending_.clear();
                from_ = 0;
                if (ended_ || errors_ >= kMostErrors) break;
                const bool decoded = FLAC__stream_decoder_process_single(decoder_) != 0;
                const auto state = FLAC__stream_decoder_get_state(decoder_);
                if (!decoded || state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED)
                    ended_ = true;
                continue;
            }
            const std::size_t count = std::min(frames - done, (pending_.size() - from_) / channels);
            std::copy_n(pending_.data() + from_, count * channels, samples + done * channels);
            from_ += count * channels;
            done += count;
        }
        return done;
    }

  private:
    static FlacDecoder& Self(void* data) { return *static_cast<FlacDecoder*>(data); }

    static FLAC__StreamDecoderReadStatus ReadBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                   void* data) {
        *bytes = Self(data).file_.Read(buffer, *bytes);
        return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    static FLAC__StreamDecoderSeekStatus SeekTo(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data) {
        return Self(data).file_.Seek(static_cast<std::int64_t>(offset), SEEK_SET) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                                                   : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamDecoderTellStatus TellAt(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data) {
        const std::int64_t position = Self(data).file_.Tell();
        if (position < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(position);
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderLengthStatus LengthOf(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data) {
        const std::int64_t size = Self(data).file_.Length();
        if (size < 0) return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
        *length = static_cast<FLAC__uint64>(size);
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }
    static FLAC__bool AtEnd(const FLAC__StreamDecoder*, void* data) {
        FlacDecoder& self = Self(data);
        return self.file_.Tell() >= self.file_.Length();
    }
    static void TakeMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data) {
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
        FlacDecoder& self = Self(data);
        self.format_ = {static_cast<int>(metadata->data.stream_info.sample_rate),
                        static_cast<int>(metadata->data.stream_info.channels)};
        self.bits_ = metadata->data.stream_info.bits_per_sample;
    }
    static void TakeError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) { ++Self(data).errors_; }
    static FLAC__StreamDecoderWriteStatus TakeFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                    const FLAC__int32* const planes[], void* data) {
        FlacDecoder& self = Self(data);
        // A frame that disagrees with the stream's own description ends it.
        if (static_cast<int>(frame->header.channels) != self.format_.channels ||
            frame->header.bits_per_sample != self.bits_)
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        self.errors_ = 0;
        const float scale = 1.0f / static_cast<float>(1u << (self.bits_ - 1));
        const auto channels = static_cast<std::size_t>(self.format_.channels);
        self.pending_.resize(frame->header.blocksize * channels);
        for (unsigned i = 0; i < frame->header.blocksize; ++i)
            for (std::size_t c = 0; c < channels; ++c)
                self.pending_[i * channels + c] = static_cast<float>(planes[c][i]) * scale;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    ReadFileHandle file_;
    FLAC__StreamDecoder* decoder_ = nullptr;
    PcmFormat format_;
    unsigned bits_ = 0;
    std::vector<float> pending_;
    std::size_t from_ = 0;
    bool ended_ = false;
    int errors_ = 0;
};

} // namespace

OpenResult OpenFlacDecoder(const std::wstring& path, std::unique_ptr<Decoder>& decoder) {
    auto flac = std::make_unique<FlacDecoder>(path);
    if (!flac->Open()) return OpenResult::Failed;
    decoder = std::move(flac);
    return OpenResult::Opened;
}

} // namespace audio
