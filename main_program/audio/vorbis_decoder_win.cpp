// Our Ogg Vorbis decoder: libvorbisfile over a file of the machine.
#include "main_program/audio/open_file_win.h"
#include "main_program/audio/system_audio_win.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <memory>

namespace audio {

namespace {

// The WAVE order's channel n is Vorbis's channel kFromVorbis[count - 3][n].
constexpr int kFromVorbis[][8] = {
    {0, 2, 1},                // L R C          from L C R
    {0, 1, 2, 3},             // quad
    {0, 2, 1, 3, 4},          // 5.0
    {0, 2, 1, 5, 3, 4},       // 5.1
    {0, 2, 1, 6, 5, 3, 4},    // 6.1
    {0, 2, 1, 7, 5, 6, 3, 4}, // 7.1
};

constexpr int kMostHoles = 64;

class VorbisDecoder final : public Decoder {
  public:
    explicit VorbisDecoder(const std::wstring& path) : file_(path) {}
    ~VorbisDecoder() override {
        if (open_) ov_clear(&vorbis_);
    }
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    bool Open() {
        if (!file_) return false;
        const ov_callbacks callbacks = {
            [](void* buffer, size_t size, size_t count, void* source) -> size_t {
                if (size == 0) return 0;
                return static_cast<VorbisDecoder*>(source)->file_.Read(buffer, size * count) / size;
            },
            [](void* source, ogg_int64_t offset, int origin) -> int {
                return static_cast<VorbisDecoder*>(source)->file_.Seek(offset, origin) ? 0 : -1;
            },
            nullptr, // the handle is ours to close
            [](void* source) -> long {
                const std::int64_t position = static_cast<VorbisDecoder*>(source)->file_.Tell();
                return position > 0x7FFFFFFF ? -1 : static_cast<long>(position);
            },
        };
        if (ov_open_callbacks(this, &vorbis_, nullptr, 0, callbacks) != 0) return false;
        open_ = true;
        const vorbis_info* info = ov_info(&vorbis_, -1);
        if (!info || info->channels < 1 || info->channels > 8 || info->rate <= 0) return false;
        format_ = {static_cast<int>(info->rate), info->channels};
        return true;
    }

    PcmFormat Format() const override { return format_; }

    std::size_t Read(float* samples, std::size_t frames) override {
        const auto channels = static_cast<std::size_t>(format_.channels);
        std::size_t done = 0;
        while (done < frames && !ended_) {
            float** planes = nullptr;
            int section = 0;
            const long got = ov_read_float(&vorbis_, &planes, static_cast<int>(std::min<std::size_t>(frames - done, 4096)),
                                           &section);
            // A gap in the data: go on after it, but not through a file of gaps.
            if (got == OV_HOLE && ++holes_ < kMostHoles) continue;
            if (got <= 0) {
                ended_ = true;
                break;
            }
            // A chained stream that changes its format ends the song.
            const vorbis_info* info = ov_info(&vorbis_, section);
            if (!info || info->channels != format_.channels || info->rate != format_.rate) {
                ended_ = true;
                break;
            }
            for (long i = 0; i < got; ++i)
                for (std::size_t c = 0; c < channels; ++c) {
                    const std::size_t from = channels < 3 ? c : static_cast<std::size_t>(kFromVorbis[channels - 3][c]);
                    samples[(done + static_cast<std::size_t>(i)) * channels + c] = planes[from][i];
                }
            done += static_cast<std::size_t>(got);
            holes_ = 0;
        }
        return done;
    }

  private:
    ReadFileHandle file_;
    OggVorbis_File vorbis_{};
    bool open_ = false;
    bool ended_ = false;
    int holes_ = 0;
    PcmFormat format_;
};

} // namespace

OpenResult OpenVorbisDecoder(const std::wstring& path, std::unique_ptr<Decoder>& decoder) {
    auto vorbis = std::make_unique<VorbisDecoder>(path);
    if (!vorbis->Open()) return OpenResult::Failed;
    decoder = std::move(vorbis);
    return OpenResult::Opened;
}

} // namespace audio
