// Which decoder plays a file: chosen by the file's extension and the
// Windows version alone.
#pragma once

#include <string>
#include <vector>

namespace audio {

enum class DecoderKind {
    MediaFoundation, // what Windows decodes itself
    Vorbis,          // our Ogg Vorbis decoder (libvorbis)
    Flac,            // our FLAC decoder (libFLAC)
    Midi,            // the system's synthesiser, through midiOut
};

struct WindowsVersion {
    unsigned major = 0;
    unsigned minor = 0;
};

// The decoders to try for a file, in order; the next is tried only when one
// cannot be had at all (no Media Foundation on an N edition), never when the
// file fails to decode. Unknown extensions are left to Media Foundation.
std::vector<DecoderKind> DecodersFor(const std::wstring& path, WindowsVersion windows);

// The version the running system reports in the form "major.minor", as the
// test seam SORVANE_TEST_WINDOWS_VERSION writes it; false for anything else.
bool ParseWindowsVersion(const std::wstring& text, WindowsVersion& version);

} // namespace audio
