// The file-system calls the playlist makes: whether a path names something,
// and reading an m3u file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class PlaylistFileReader {
  public:
    virtual ~PlaylistFileReader() = default;
    // Up to `capacity` bytes of the file as stored; 0 at its end or on an error.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
};

class PlaylistFiles {
  public:
    virtual ~PlaylistFiles() = default;
    // True when `path` names an existing file or folder.
    virtual bool Exists(const std::wstring& path) = 0;
    // The file opened for reading while others may read and write it; null
    // when it cannot be opened.
    virtual std::unique_ptr<PlaylistFileReader> Open(const std::wstring& path) = 0;
};

// The machine's own files (Windows only).
PlaylistFiles& SystemPlaylistFiles();
