// Fuzzes the m3u reader: a fuzzed file read in fuzzed chunk sizes, with some
// of its lines naming existing files beside it or as they stand. Every entry
// read must exist, and the reading must not depend on the chunk size.
#include "settings/dialogs/playlist_entries.h"
#include "settings/dialogs/playlist_files_memory.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

const wchar_t* const kListPath = L"C:\\Music\\list.m3u";
const wchar_t* const kListFolder = L"C:\\Music\\";

// Each byte as the character of the same value, as the reader first takes it.
std::wstring Widen(const std::string& bytes) {
    std::wstring text;
    for (const char c : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::wstring> Read(MemoryPlaylistFiles& files) {
    PlaylistEntries entries(files);
    entries.LoadM3u(kListPath);
    std::vector<std::wstring> paths;
    for (std::size_t i = 0; i < entries.Count(); ++i)
        paths.push_back(entries.EntryAt(i));
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t chunk = input.ConsumeIntegralInRange<std::size_t>(1, 70000);
    const std::uint64_t placement = input.ConsumeIntegral<std::uint64_t>();
    const std::string body = input.ConsumeRemainingBytesAsString();

    // Two bits per line: whether it names a file beside the list, or one as
    // it stands.
    MemoryPlaylistFiles files;
    std::size_t start = 0;
    for (int line = 0; start <= body.size() && line < 32; ++line) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string text = body.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (placement >> (2 * line) & 1) files.AddFile(kListFolder + Widen(text));
        if (placement >> (2 * line + 1) & 1) files.AddFile(Widen(text));
        start = end + 1;
    }
    files.AddFile(kListPath, body);

    const std::vector<std::wstring> whole = Read(files);
    for (const auto& path : whole)
        FUZZ_CHECK(files.Exists(path), "every entry names something", "an existing path", fuzz::Printable(path));

    files.SetReadChunk(chunk);
    const std::vector<std::wstring> chunked = Read(files);
    FUZZ_CHECK(chunked.size() == whole.size(), "the chunk size changes nothing", std::to_string(whole.size()),
               std::to_string(chunked.size()) + " entries with reads of " + std::to_string(chunk) + " bytes");
    for (std::size_t i = 0; i < whole.size(); ++i)
        FUZZ_CHECK(chunked[i] == whole[i], "the chunk size changes nothing", fuzz::Printable(whole[i]),
                   fuzz::Printable(chunked[i]));
    return 0;
}
