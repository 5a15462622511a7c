// Reading the playlist from its stored text and from m3u files, and its stored form.
#include "settings/dialogs/playlist_entries.h"

#include "platform/utf8.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr wchar_t kLineFeed = L'\n';
constexpr wchar_t kCommentMark = L'#';

bool IsSkipped(const std::wstring& line) { return line.empty() || line[0] == kCommentMark; }

// The bytes of an m3u file as a file opened in text mode delivers them: a
// carriage return before a line feed disappears, and a Ctrl+Z byte ends the
// file.
class TextModeBytes {
  public:
    explicit TextModeBytes(PlaylistFileReader& reader) : reader_(reader) {}

    // The next byte in `c`; false at the end.
    bool Next(char& c) {
        int value = Raw();
        if (value == kEndOfFileMark) {
            ended_ = true;
            return false;
        }
        if (value == '\r' && Peek() == '\n') value = Raw();
        if (value == EOF) return false;
        c = static_cast<char>(value);
        return true;
    }

  private:
    static constexpr int kEndOfFileMark = 0x1A;

    bool Fill() {
        if (ended_) return false;
        if (position_ < length_) return true;
        length_ = reader_.Read(buffer_, sizeof buffer_);
        position_ = 0;
        if (length_ == 0) ended_ = true;
        return length_ > 0;
    }
    int Raw() { return Fill() ? static_cast<unsigned char>(buffer_[position_++]) : EOF; }
    int Peek() { return Fill() ? static_cast<unsigned char>(buffer_[position_]) : EOF; }

    PlaylistFileReader& reader_;
    char buffer_[16384];
    std::size_t position_ = 0;
    std::size_t length_ = 0;
    bool ended_ = false;
};

// Reads the next line of `source` (a callable that gives the next character,
// false at the end) into `line`. False when the reading ends: at the end with
// nothing read, or on a line longer than the limit, which is dropped with
// everything after it.
template <typename Line, typename Source> bool NextLine(Source&& source, Line& line) {
    line.clear();
    typename Line::value_type c{};
    for (;;) {
        if (!source(c)) return !line.empty();
        if (c == '\n') return true;
        if (line.size() == PlaylistEntries::kMaxLineLength) return false;
        line.push_back(c);
    }
}

bool HasNonAscii(const std::string& bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace

void PlaylistEntries::RemoveAt(std::size_t index) {
    if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

const std::wstring& PlaylistEntries::EntryAt(std::size_t index) const {
    static const std::wstring none;
    return index < entries_.size() ? entries_[index] : none;
}

bool PlaylistEntries::AppendIfExists(const std::wstring& baseFolder, const std::wstring& line) {
    if (!baseFolder.empty()) {
        std::wstring joined = baseFolder + line;
        if (files_->Exists(joined)) {
            entries_.push_back(std::move(joined));
            return true;
        }
    }
    if (files_->Exists(line)) {
        entries_.push_back(line);
        return true;
    }
    return false;
}

void PlaylistEntries::ParseText(const std::wstring& text, const std::wstring& baseFolder) {
    std::size_t position = 0;
    const auto source = [&](wchar_t& c) {
        if (position == text.size()) return false;
        c = text[position++];
        return true;
    };
    std::wstring line;
    while (NextLine(source, line)) {
        if (!IsSkipped(line)) AppendIfExists(baseFolder, line);
    }
}

void PlaylistEntries::LoadM3u(const std::wstring& path) {
    const std::unique_ptr<PlaylistFileReader> file = files_->Open(path);
    if (!file) return;
    const std::size_t slash = path.rfind(L'\\');
    const std::wstring baseFolder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);

    TextModeBytes bytes(*file);
    const auto source = [&](char& c) { return bytes.Next(c); };
    std::string raw;
    std::wstring line;
    std::wstring decoded;
    bool first = true;
    while (NextLine(source, raw)) {
        const bool firstLine = std::exchange(first, false);
        line.assign(raw.begin(), raw.end());
        for (wchar_t& c : line)
            c = static_cast<wchar_t>(static_cast<unsigned char>(c));
        if (IsSkipped(line)) continue;
        if (AppendIfExists(baseFolder, line)) continue;

        // Many m3u files are written in UTF-8; a line that names nothing as
        // single bytes gets a second chance as UTF-8, with the byte-order
        // mark such a file may start with left out.
        if (!HasNonAscii(raw) || !StrictUtf8ToWide(raw, decoded)) continue;
        if (firstLine && !decoded.empty() && decoded[0] == L'\xFEFF') decoded.erase(0, 1);
        if (!IsSkipped(decoded)) AppendIfExists(baseFolder, decoded);
    }
}

std::wstring PlaylistEntries::ToText() const {
    std::size_t length = 0;
    for (const auto& entry : entries_)
        length += entry.size() + 1;
    std::wstring text;
    text.reserve(length);
    for (const auto& entry : entries_) {
        text += entry;
        text += kLineFeed;
    }
    return text;
}
