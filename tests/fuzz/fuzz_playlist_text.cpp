// Fuzzes the reading of the stored playlist text: fuzzed existing files, base
// folder and text. Every entry read must exist, and the stored form of the
// entries must read back to the same entries.
#include "settings/dialogs/playlist_entries.h"
#include "settings/dialogs/playlist_files_memory.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {

bool StoresCleanly(const std::wstring& entry) {
    return !entry.empty() && entry[0] != L'#' && entry.size() <= PlaylistEntries::kMaxLineLength &&
           entry.find(L'\n') == std::wstring::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryPlaylistFiles files;
    const int existing = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < existing; ++i) {
        const std::wstring path = fuzz::ConsumeWide(input, 64);
        if (input.ConsumeBool())
            files.AddFile(path);
        else
            files.AddFolder(path);
    }
    const std::wstring base = input.ConsumeBool() ? std::wstring() : fuzz::ConsumeWide(input, 32);
    const std::wstring text = fuzz::RemainingWide(input);

    PlaylistEntries entries(files);
    entries.ParseText(text, base);
    bool clean = true;
    for (std::size_t i = 0; i < entries.Count(); ++i) {
        FUZZ_CHECK(files.Exists(entries.EntryAt(i)), "every entry names something", "an existing path",
                   fuzz::Printable(entries.EntryAt(i)));
        clean = clean && StoresCleanly(entries.EntryAt(i));
    }

    const std::wstring stored = entries.ToText();
    PlaylistEntries reread(files);
    reread.ParseText(stored, std::wstring());
    if (!clean) return 0;
    FUZZ_CHECK(reread.Count() == entries.Count(), "the stored text reads back to as many entries",
               std::to_string(entries.Count()), std::to_string(reread.Count()));
    for (std::size_t i = 0; i < entries.Count(); ++i)
        FUZZ_CHECK(reread.EntryAt(i) == entries.EntryAt(i), "the stored text reads back to the same entries",
                   fuzz::Printable(entries.EntryAt(i)), fuzz::Printable(reread.EntryAt(i)));
    return 0;
}
