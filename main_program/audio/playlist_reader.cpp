// Reading the PlayList value and playlist files, and resolving their entries.
#include "main_program/audio/playlist_reader.h"

#include "platform/utf8.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace audio {

namespace {

constexpr wchar_t kBackslash = L'\\';

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](wchar_t a, wchar_t b) { return AsciiLower(a) == AsciiLower(b); });
}

std::wstring DecodeUtf16(const std::string& bytes, std::size_t start, bool bigEndian) {
    std::wstring text;
    text.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return text;
}

std::wstring Trimmed(const std::wstring& line) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; };
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end && blank(line[begin])) ++begin;
    while (end > begin && blank(line[end - 1])) --end;
    return line.substr(begin, end - begin);
}

// The number after "File" in a pls key ("File12"), or -1 for any other key.
long PlsFileNumber(const std::wstring& key) {
    static const std::wstring kFile = L"file";
    if (key.size() <= kFile.size() || key.size() > kFile.size() + 9) return -1;
    for (std::size_t i = 0; i < kFile.size(); ++i)
        if (AsciiLower(key[i]) != kFile[i]) return -1;
    long number = 0;
    for (std::size_t i = kFile.size(); i < key.size(); ++i) {
        if (key[i] < L'0' || key[i] > L'9') return -1;
        number = number * 10 + (key[i] - L'0');
    }
    return number;
}

// Where the root of a path ends: after "X:\", after "\\server\share\", or
// at 0 for a path without a root.
std::size_t RootLength(const std::wstring& path) {
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return 3;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share\ : two more separators at most.
        std::size_t position = 2;
        for (int part = 0; part < 2; ++part) {
            while (position < path.size() && !IsSeparator(path[position])) ++position;
            if (position < path.size()) ++position;
        }
        return position;
    }
    return 0;
}

// Backslashes and dot segments resolved, the root kept; ".." never climbs
// above a root, and leads a path without one.
std::wstring Normalized(const std::wstring& path) {
    // Paths in the \\?\ form reach the file system exactly as written.
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    const std::size_t rootLength = RootLength(path);
    std::wstring root = path.substr(0, rootLength);
    std::replace(root.begin(), root.end(), L'/', kBackslash);
    std::vector<std::wstring> segments;
    std::size_t position = rootLength;
    while (position <= path.size()) {
        std::size_t end = position;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::wstring segment = path.substr(position, end - position);
        if (segment == L"..") {
            if (!segments.empty() && segments.back() != L"..")
                segments.pop_back();
            else if (rootLength == 0)
                segments.push_back(std::move(segment));
        } else if (!segment.empty() && segment != L".") {
            segments.push_back(std::move(segment));
        }
        position = end + 1;
    }
    std::wstring result = root;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) result += kBackslash;
        result += segments[i];
    }
    if (!segments.empty() && !path.empty() && IsSeparator(path.back())) result += kBackslash;
    return result;
}

} // namespace

PlaylistKind PlaylistKindOf(const std::wstring& path) {
    if (EndsWithNoCase(path, L".m3u") || EndsWithNoCase(path, L".m3u8")) return PlaylistKind::M3u;
    if (EndsWithNoCase(path, L".pls")) return PlaylistKind::Pls;
    return PlaylistKind::None;
}

std::vector<std::wstring> PlayListValueEntries(const std::wstring& text) {
    std::vector<std::wstring> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        if (end - start > kMaxPlayListLine) break;
        if (end > start && text[start] != L'#') entries.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

std::wstring DecodePlaylistBytes(const std::string& bytes, const AnsiDecoder& ansi) {
    const auto starts = [&](const char* mark, std::size_t length) { return bytes.compare(0, length, mark) == 0; };
    if (bytes.size() >= 2 && starts("\xFF\xFE", 2)) return DecodeUtf16(bytes, 2, false);
    if (bytes.size() >= 2 && starts("\xFE\xFF", 2)) return DecodeUtf16(bytes, 2, true);
    if (bytes.size() >= 3 && starts("\xEF\xBB\xBF", 3)) return Utf8ToWide(bytes.substr(3));
    std::wstring text;
    if (StrictUtf8ToWide(bytes, text)) return text;
    return ansi ? ansi(bytes) : std::wstring();
}

std::vector<std::wstring> PlaylistFileEntries(const std::wstring& text, PlaylistKind kind) {
    std::vector<std::wstring> entries;
    std::vector<std::pair<long, std::wstring>> numbered;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (kind == PlaylistKind::M3u) {
            if (line[0] != L'#') entries.push_back(line);
        } else if (kind == PlaylistKind::Pls) {
            const std::size_t equals = line.find(L'=');
            if (equals == std::wstring::npos) continue;
            const long number = PlsFileNumber(Trimmed(line.substr(0, equals)));
            std::wstring value = Trimmed(line.substr(equals + 1));
            if (number >= 0 && !value.empty()) numbered.emplace_back(number, std::move(value));
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : numbered)
        entries.push_back(std::move(entry.second));
    return entries;
}

bool IsUrl(const std::wstring& entry) {
    const std::size_t colon = entry.find(L':');
    if (colon == std::wstring::npos || colon < 2 || !IsAsciiLetter(entry[0])) return false;
    return std::all_of(entry.begin() + 1, entry.begin() + static_cast<std::ptrdiff_t>(colon), [](wchar_t c) {
        return IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
    });
}

std::wstring ResolveEntry(const std::wstring& entry, const std::wstring& folder) {
    if (entry.empty() || IsUrl(entry)) return {};
    if (folder.empty() || RootLength(entry) > 0) return folder.empty() ? entry : Normalized(entry);
    // A drive-relative path ("D:song.mp3") depends on a current folder of
    // that drive that the player does not have: it stands as written.
    if (entry.size() >= 2 && IsAsciiLetter(entry[0]) && entry[1] == L':') return entry;
    if (IsSeparator(entry[0])) {
        const std::size_t rootLength = RootLength(folder);
        return Normalized(folder.substr(0, rootLength > 0 ? rootLength - 1 : 0) + entry);
    }
    return Normalized(folder + entry);
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring ComparablePath(const std::wstring& path) {
    std::wstring comparable = Normalized(path);
    std::transform(comparable.begin(), comparable.end(), comparable.begin(), AsciiLower);
    return comparable;
}

} // namespace audio
