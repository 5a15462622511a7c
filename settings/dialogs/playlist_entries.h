// The playlist's entries: the ordered file paths, how they are read from the
// stored text and from m3u files, and their stored form.
#pragma once

#include "settings/dialogs/playlist_files.h"

#include <cstddef>
#include <string>
#include <vector>

class PlaylistEntries {
  public:
    // Lines longer than this end the reading of a stored text or m3u file.
    static constexpr std::size_t kMaxLineLength = 2022;

    explicit PlaylistEntries(PlaylistFiles& files) : files_(&files) {}

    void Append(const std::wstring& path) { entries_.push_back(path); }
    // Later entries move up by one; an index past the end changes nothing.
    void RemoveAt(std::size_t index);
    std::size_t Count() const { return entries_.size(); }
    // The path of entry `index`; an empty text past the end.
    const std::wstring& EntryAt(std::size_t index) const;

    // Appends the existing files that the lines of `text` name, each looked
    // up in `baseFolder` first and then as it stands. Empty lines and lines
    // starting with '#' are skipped.
    void ParseText(const std::wstring& text, const std::wstring& baseFolder);
    // Appends the existing files that the m3u file `path` names, relative
    // names looked up beside it first. Each byte is read as the character of
    // the same value; a line that names no file that way is tried once more
    // as UTF-8.
    void LoadM3u(const std::wstring& path);
    // Every entry followed by a line feed; empty for no entries.
    std::wstring ToText() const;

  private:
    // Appends base + line or, failing that, line, if it names something.
    bool AppendIfExists(const std::wstring& baseFolder, const std::wstring& line);

    PlaylistFiles* files_;
    std::vector<std::wstring> entries_;
};
