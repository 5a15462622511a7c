// The list of files to play: the PlayList value with the playlist files
// among its entries replaced by what they list, level by level.
#pragma once

#include "main_program/audio/audio_files.h"
#include "main_program/audio/playlist_reader.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace audio {

// Playlists inside playlists are expanded this many levels deep (the
// PlayList value's own entries being the first level); deeper ones are left out.
constexpr int kMaxPlaylistDepth = 4;
// The list stops growing here, whatever the playlists hold.
constexpr std::size_t kMaxPlayListFiles = 100000;
// Playlist files are read up to this size.
constexpr std::size_t kMaxPlaylistFileBytes = 4u << 20;

// The resolved entries of one playlist file, from its bytes: text decoded,
// entries in order, URLs left out, relative ones joined to the file's folder.
std::vector<std::wstring> PlaylistFileContents(const std::string& bytes, const std::wstring& path,
                                               const AnsiDecoder& ansi);

// Every file the PlayList value names, in order. A playlist entry (by its
// extension, in any case) is replaced by its contents; one that is already
// being expanded (a cycle) or that cannot be read adds nothing. `stop`, asked
// before each file read, ends the expansion early.
std::vector<std::wstring> ExpandPlayList(const std::wstring& playListValue, AudioFiles& files,
                                         const std::function<bool()>& stop = {});

} // namespace audio
