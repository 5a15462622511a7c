// A decoder of one music file, as the loader sees it: its format, then its
// samples as floats until the end; and the platform's ways to open files for
// playing (decoders and the MIDI synthesiser).
#pragma once

#include "main_program/audio/audio_files.h"
#include "main_program/audio/decoder_choice.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

struct PcmFormat {
    int rate = 0;
    int channels = 0;
};

class Decoder {
  public:
    virtual ~Decoder() = default;
    virtual PcmFormat Format() const = 0;
    // Up to `frames` frames of interleaved samples into `samples`; 0 at the
    // end of the file or at an error, after which nothing more comes.
    virtual std::size_t Read(float* samples, std::size_t frames) = 0;
};

// The system's MIDI synthesiser, open; closed when destroyed.
class MidiPort {
  public:
    virtual ~MidiPort() = default;
    // A short message: status in the low byte, then the data bytes.
    virtual void Send(std::uint32_t message) = 0;
};

enum class OpenResult {
    Opened,
    Failed,      // the file is missing or this decoder cannot decode it
    Unavailable, // this kind of decoder cannot be had on this system
};

// What the loader opens, on its own thread.
class MusicSources {
  public:
    virtual ~MusicSources() = default;
    // On the loader's thread, before its first call and after its last (COM).
    virtual void ThreadBegins() {}
    virtual void ThreadEnds() {}
    // `kind` is never Midi.
    virtual OpenResult OpenDecoder(DecoderKind kind, const std::wstring& path, std::unique_ptr<Decoder>& decoder) = 0;
    // Null when the system has no MIDI output.
    virtual std::unique_ptr<MidiPort> OpenMidiPort() = 0;
    virtual AudioFiles& Files() = 0;
    virtual WindowsVersion Windows() = 0;
    // The entry that plays next, remembered between runs (remembered_entry.h).
    virtual std::wstring RememberedEntry() = 0;
    virtual void Remember(const std::wstring& path) = 0;
};

} // namespace audio
