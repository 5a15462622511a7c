// Files and folders held in memory for the playlist's native tests.
#include "settings/dialogs/playlist_files_memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

class MemoryReader final : public PlaylistFileReader {
  public:
    MemoryReader(std::string bytes, std::size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}

    std::size_t Read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min({capacity, chunk_, bytes_.size() - position_});
        std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        return count;
    }

  private:
    std::string bytes_;
    std::size_t chunk_;
    std::size_t position_ = 0;
};

} // namespace

void MemoryPlaylistFiles::AddFile(const std::wstring& path, std::string bytes) { files_[path] = std::move(bytes); }

void MemoryPlaylistFiles::AddFolder(const std::wstring& path) { folders_.insert(path); }

bool MemoryPlaylistFiles::Exists(const std::wstring& path) {
    return files_.count(path) > 0 || folders_.count(path) > 0;
}

std::unique_ptr<PlaylistFileReader> MemoryPlaylistFiles::Open(const std::wstring& path) {
    const auto file = files_.find(path);
    if (file == files_.end() || denied_.count(path) > 0) return nullptr;
    return std::make_unique<MemoryReader>(file->second, chunk_);
}
