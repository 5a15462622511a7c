// Fuzzes the player's reading of playlist files: one file's bytes read as an
// m3u or pls file, and three fuzzed playlists that list each other, expanded
// from a fuzzed PlayList value. Entries are never URLs, never span lines,
// never stay playlists after expansion, and no playlist is read twice.
#include "main_program/audio/playlist_expansion.h"
#include "main_program/audio/playlist_reader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/unit/audio_fakes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

const wchar_t* const kNames[] = {L"C:\\l\\a.m3u", L"C:\\l\\B.PLS", L"C:\\l\\sub\\c.m3u8"};

void CheckEntries(const std::vector<std::wstring>& entries) {
    for (const auto& entry : entries) {
        FUZZ_CHECK(!entry.empty(), "no empty entry", "a path", "an empty one");
        FUZZ_CHECK(!audio::IsUrl(entry), "URLs are left out", "a local path", fuzz::Printable(entry));
        FUZZ_CHECK(entry.find(L'\n') == std::wstring::npos, "an entry is one line", "no line feed",
                   fuzz::Printable(entry));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto which = input.ConsumeIntegralInRange<std::size_t>(0, 2);
    std::string files[3];
    for (auto& file : files)
        file = input.ConsumeRandomLengthString(4096);
    const std::wstring playList = fuzz::RemainingWide(input);

    // One file alone, as the kind its name says.
    audio_test::MemoryFiles memory;
    const auto ansi = [&](const std::string& bytes) { return memory.AnsiToWide(bytes); };
    CheckEntries(audio::PlaylistFileContents(files[which], kNames[which], ansi));

    // All three, listing each other (by name or in any other way the bytes say).
    for (std::size_t i = 0; i < 3; ++i)
        memory.Add(kNames[i], files[i]);
    const std::vector<std::wstring> expanded = audio::ExpandPlayList(playList, memory);
    CheckEntries(expanded);
    FUZZ_CHECK(expanded.size() <= audio::kMaxPlayListFiles, "the list is bounded", "at most the limit",
               std::to_string(expanded.size()));
    for (const auto& entry : expanded)
        FUZZ_CHECK(audio::PlaylistKindOf(entry) == audio::PlaylistKind::None, "playlists are expanded",
                   "media files only", fuzz::Printable(entry));
    for (const wchar_t* name : kNames)
        FUZZ_CHECK(memory.Reads(name) <= 1, "each playlist is read once", "one read",
                   std::to_string(memory.Reads(name)) + " reads of " + fuzz::Printable(std::wstring(name)));
    return 0;
}
