// A file opened for reading by the decoders that read it themselves, shared
// with other readers and writers; closed when it goes out of scope.
#pragma once

#include "platform/com_objects_win.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

class ReadFileHandle {
  public:
    explicit ReadFileHandle(const std::wstring& path);
    explicit operator bool() const { return static_cast<bool>(file_); }

    // Up to `bytes` bytes; 0 at the end or on an error.
    std::size_t Read(void* buffer, std::size_t bytes);
    // SEEK_SET, SEEK_CUR or SEEK_END; false on an error.
    bool Seek(std::int64_t offset, int origin);
    std::int64_t Tell();
    std::int64_t Length();

  private:
    platform::ScopedHandle file_;
};

} // namespace audio
