// Media Foundation's source reader as a decoder: loaded by name, started
// once for the loader's thread, missing on N editions without harm.
#pragma once

#include "main_program/audio/decoder.h"

#include "platform/library_win.h"

#include <memory>
#include <string>

namespace audio {

class MediaFoundation {
  public:
    // Loads the libraries and starts Media Foundation on this thread, whose
    // COM must be multithreaded. Available() says whether that worked.
    MediaFoundation();
    ~MediaFoundation();
    MediaFoundation(const MediaFoundation&) = delete;
    MediaFoundation& operator=(const MediaFoundation&) = delete;

    bool Available() const { return started_; }
    OpenResult Open(const std::wstring& path, std::unique_ptr<Decoder>& decoder) const;

  private:
    platform::Library platform_{L"mfplat.dll"};
    platform::Library readers_{L"mfreadwrite.dll"};
    bool started_ = false;
};

} // namespace audio
