// Expanding the playlist files that the PlayList value names.
#include "main_program/audio/playlist_expansion.h"

#include <algorithm>
#include <map>
#include <optional>

namespace audio {

namespace {

// Entries looked at, playlists among them: bounds the work of playlists that
// list each other many times over while adding little.
constexpr std::size_t kMaxEntriesVisited = 4 * kMaxPlayListFiles;

class Expansion {
  public:
    Expansion(AudioFiles& files, const std::function<bool()>& stop) : files_(files), stop_(stop) {}

    void Add(const std::vector<std::wstring>& entries, int depth) {
        for (const auto& entry : entries) {
            if (Full() || ++visited_ > kMaxEntriesVisited) return;
            const PlaylistKind kind = PlaylistKindOf(entry);
            if (kind == PlaylistKind::None) {
                result_.push_back(entry);
            } else if (depth <= kMaxPlaylistDepth) {
                Expand(entry, depth);
            }
        }
    }

    std::vector<std::wstring> Take() { return std::move(result_); }

  private:
    bool Full() const { return result_.size() >= kMaxPlayListFiles; }

    void Expand(const std::wstring& path, int depth) {
        const std::wstring comparable = ComparablePath(path);
        if (std::find(open_.begin(), open_.end(), comparable) != open_.end()) return;
        const std::vector<std::wstring>* contents = Contents(path, comparable);
        if (!contents) return;
        open_.push_back(comparable);
        Add(*contents, depth + 1);
        open_.pop_back();
    }

    // Each playlist file is read once, however often it is listed.
    const std::vector<std::wstring>* Contents(const std::wstring& path, const std::wstring& comparable) {
        const auto known = read_.find(comparable);
        if (known != read_.end()) return known->second ? &*known->second : nullptr;
        if (stop_ && stop_()) return nullptr;
        std::string bytes;
        auto& contents = read_[comparable];
        if (files_.Read(path, kMaxPlaylistFileBytes, bytes))
            contents = PlaylistFileContents(bytes, path, [this](const std::string& ansi) { return files_.AnsiToWide(ansi); });
        return contents ? &*contents : nullptr;
    }

    AudioFiles& files_;
    const std::function<bool()>& stop_;
    std::vector<std::wstring> open_; // the playlists being expanded, outermost first
    std::map<std::wstring, std::optional<std::vector<std::wstring>>> read_;
    std::vector<std::wstring> result_;
    std::size_t visited_ = 0;
};

} // namespace

std::vector<std::wstring> PlaylistFileContents(const std::string& bytes, const std::wstring& path,
                                               const AnsiDecoder& ansi) {
    const std::wstring folder = FolderOf(path);
    std::vector<std::wstring> resolved;
    for (const auto& entry : PlaylistFileEntries(DecodePlaylistBytes(bytes, ansi), PlaylistKindOf(path))) {
        std::wstring file = ResolveEntry(entry, folder);
        if (!file.empty()) resolved.push_back(std::move(file));
    }
    return resolved;
}

std::vector<std::wstring> ExpandPlayList(const std::wstring& playListValue, AudioFiles& files,
                                         const std::function<bool()>& stop) {
    std::vector<std::wstring> entries;
    for (const auto& entry : PlayListValueEntries(playListValue))
        if (!IsUrl(entry)) entries.push_back(entry);
    Expansion expansion(files, stop);
    expansion.Add(entries, 1);
    return expansion.Take();
}

} // namespace audio
