// The files the audio reads itself (playlist files and MIDI files) and the
// system's ANSI code page: the machine's own on Windows, in memory in tests.
#pragma once

#include <cstddef>
#include <string>

namespace audio {

class AudioFiles {
  public:
    virtual ~AudioFiles() = default;
    // At most the first `limit` bytes of the file at `path`; false when it
    // cannot be opened or read.
    virtual bool Read(const std::wstring& path, std::size_t limit, std::string& bytes) = 0;
    // Bytes in the system's ANSI code page as text.
    virtual std::wstring AnsiToWide(const std::string& bytes) = 0;
};

} // namespace audio
