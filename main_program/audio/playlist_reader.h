// How the player reads playlists: the lines of the PlayList value, the text
// and entries of m3u and pls files, and the local paths their entries name.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace audio {

enum class PlaylistKind { None, M3u, Pls };

// By extension, in any case: ".m3u" and ".m3u8" are m3u, ".pls" is pls.
PlaylistKind PlaylistKindOf(const std::wstring& path);

// Lines of the PlayList value longer than this end its reading, as in the editor.
constexpr std::size_t kMaxPlayListLine = 2022;

// The entries of the PlayList value, read as the playlist editor reads it: a
// line ends at a line feed (a carriage return stays part of it), empty lines
// and lines starting with '#' are skipped, and a line longer than
// kMaxPlayListLine ends the reading.
std::vector<std::wstring> PlayListValueEntries(const std::wstring& text);

// The system's ANSI code page, for playlist files in neither UTF-8 nor UTF-16.
using AnsiDecoder = std::function<std::wstring(const std::string&)>;

// A playlist file's bytes as text: UTF-16 or UTF-8 when a byte-order mark
// says so (the mark left out), UTF-8 when the bytes are valid UTF-8, and the
// ANSI code page otherwise.
std::wstring DecodePlaylistBytes(const std::string& bytes, const AnsiDecoder& ansi);

// The entries of a playlist file's text in file order: for m3u every line
// that is not empty and does not start with '#'; for pls the values of the
// "FileN=" keys, in the order of N. Lines end at CR LF or LF; blanks around
// an entry are dropped.
std::vector<std::wstring> PlaylistFileEntries(const std::wstring& text, PlaylistKind kind);

// True for an entry that starts with a URL scheme (two or more characters
// before the colon): the player never streams.
bool IsUrl(const std::wstring& entry);

// The file an entry names: a URL names none (empty result); a drive or UNC
// path stands as it is; a path from the root takes the drive or share of
// `folder`; anything else is relative to `folder` (which ends with a
// separator, or is empty for the PlayList value's entries, which stand as
// they are). Separators become backslashes and "." and ".." segments of a
// joined path are resolved.
std::wstring ResolveEntry(const std::wstring& entry, const std::wstring& folder);

// The folder of a path, up to and including its last separator.
std::wstring FolderOf(const std::wstring& path);

// One spelling of a path for comparisons: backslashes, dot segments
// resolved, ASCII letters in lower case.
std::wstring ComparablePath(const std::wstring& path);

} // namespace audio
