// Files and folders held in memory for the playlist's native tests: exact
// path matches, files that refuse to open, and reads in chunks of a chosen size.
#pragma once

#include "settings/dialogs/playlist_files.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>

class MemoryPlaylistFiles final : public PlaylistFiles {
  public:
    void AddFile(const std::wstring& path, std::string bytes = {});
    void AddFolder(const std::wstring& path);
    // The file still exists but cannot be opened.
    void DenyOpen(const std::wstring& path) { denied_.insert(path); }
    // Every read hands out at most this many bytes.
    void SetReadChunk(std::size_t bytes) { chunk_ = bytes > 0 ? bytes : 1; }

    bool Exists(const std::wstring& path) override;
    std::unique_ptr<PlaylistFileReader> Open(const std::wstring& path) override;

  private:
    std::map<std::wstring, std::string> files_;
    std::set<std::wstring> folders_;
    std::set<std::wstring> denied_;
    std::size_t chunk_ = static_cast<std::size_t>(-1);
};
