// The playlist's entries: the line rules of the stored text and of m3u files,
// UTF-8 m3u files, editing and the stored form, over files held in memory.
#include "settings/dialogs/playlist_entries.h"
#include "settings/dialogs/playlist_files_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::wstring>;

Paths EntriesOf(const PlaylistEntries& entries) {
    Paths paths;
    for (std::size_t i = 0; i < entries.Count(); ++i)
        paths.push_back(entries.EntryAt(i));
    return paths;
}

// Readable in a failure message: the characters with line feeds and
// carriage returns spelled out.
std::string Shown(const std::wstring& text) {
    std::string shown;
    for (const wchar_t c : text) {
        if (c == L'\n')
            shown += "\\n";
        else if (c == L'\r')
            shown += "\\r";
        else if (c < 0x80)
            shown += static_cast<char>(c);
        else
            shown += "\\u{" + std::to_string(static_cast<unsigned long>(c)) + "}";
    }
    return shown;
}

struct ParseCase {
    const char* what;
    std::wstring text;
    std::wstring baseFolder;
    Paths files; // existing files
    Paths expected;
};

class ParseTextTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTextTest, AppendsTheExistingFilesTheLinesName) {
    const ParseCase& c = GetParam();
    MemoryPlaylistFiles files;
    for (const auto& path : c.files)
        files.AddFile(path);
    PlaylistEntries entries(files);
    entries.ParseText(c.text, c.baseFolder);
    EXPECT_EQ(EntriesOf(entries), c.expected) << c.what << "; text: " << Shown(c.text);
}

const std::wstring kLongName = L"C:\\" + std::wstring(PlaylistEntries::kMaxLineLength - 3, L'x');
const std::wstring kTooLongName = kLongName + L"y";

INSTANTIATE_TEST_SUITE_P(
    StoredText, ParseTextTest,
    ::testing::Values(ParseCase{"an existing file, a comment, an empty line and a missing file give the existing file",
                                L"C:\\a.mp3\n# comment\n\nC:\\gone.mp3\n",
                                L"",
                                {L"C:\\a.mp3"},
                                {L"C:\\a.mp3"}},
                      ParseCase{"a last line without a line feed still counts",
                                L"C:\\a.mp3\nC:\\b.mp3",
                                L"",
                                {L"C:\\a.mp3", L"C:\\b.mp3"},
                                {L"C:\\a.mp3", L"C:\\b.mp3"}},
                      ParseCase{"a carriage return stays part of the line, which then names nothing",
                                L"C:\\a.mp3\r\nC:\\b.mp3\n",
                                L"",
                                {L"C:\\a.mp3", L"C:\\b.mp3"},
                                {L"C:\\b.mp3"}},
                      ParseCase{"a carriage return alone does not end a line",
                                L"C:\\a.mp3\rC:\\b.mp3\n",
                                L"",
                                {L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\a.mp3\rC:\\b.mp3"},
                                {L"C:\\a.mp3\rC:\\b.mp3"}},
                      ParseCase{"the comment mark counts only as the first character",
                                L" #a.mp3\n#a.mp3\n",
                                L"",
                                {L" #a.mp3", L"#a.mp3"},
                                {L" #a.mp3"}},
                      ParseCase{"duplicates are kept in order",
                                L"C:\\a.mp3\nC:\\b.mp3\nC:\\a.mp3\n",
                                L"",
                                {L"C:\\a.mp3", L"C:\\b.mp3"},
                                {L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\a.mp3"}},
                      ParseCase{"the base folder is tried first",
                                L"song.mp3\n",
                                L"D:\\music\\",
                                {L"D:\\music\\song.mp3", L"song.mp3"},
                                {L"D:\\music\\song.mp3"}},
                      ParseCase{"the line alone when the base folder has no such file",
                                L"song.mp3\nC:\\x.mp3\n",
                                L"D:\\music\\",
                                {L"song.mp3", L"C:\\x.mp3"},
                                {L"song.mp3", L"C:\\x.mp3"}},
                      ParseCase{"only line feeds and empty lines give nothing", L"\n\n\n", L"", {L""}, {}},
                      ParseCase{"an empty text gives nothing", L"", L"", {}, {}},
                      ParseCase{"a line of the greatest length is read, and so is the next one",
                                kLongName + L"\nC:\\b.mp3\n",
                                L"",
                                {kLongName, L"C:\\b.mp3"},
                                {kLongName, L"C:\\b.mp3"}},
                      ParseCase{"a line of the greatest length is read at the very end",
                                L"C:\\b.mp3\n" + kLongName,
                                L"",
                                {kLongName, L"C:\\b.mp3"},
                                {L"C:\\b.mp3", kLongName}},
                      ParseCase{"a longer line ends the reading; the lines before it are kept",
                                L"C:\\a.mp3\n" + kTooLongName + L"\nC:\\b.mp3\n",
                                L"",
                                {L"C:\\a.mp3", kTooLongName, L"C:\\b.mp3"},
                                {L"C:\\a.mp3"}},
                      ParseCase{"a longer last line without a line feed is dropped",
                                L"C:\\a.mp3\n" + kTooLongName,
                                L"",
                                {L"C:\\a.mp3", kTooLongName},
                                {L"C:\\a.mp3"}}));

TEST(PlaylistEntries, FoldersCountAsExisting) {
    MemoryPlaylistFiles files;
    files.AddFolder(L"D:\\music");
    PlaylistEntries entries(files);
    entries.ParseText(L"D:\\music\n", L"");
    EXPECT_EQ(EntriesOf(entries), (Paths{L"D:\\music"}));
}

TEST(PlaylistEntries, ParsingAppendsAfterWhatIsThere) {
    MemoryPlaylistFiles files;
    files.AddFile(L"C:\\b.mp3");
    PlaylistEntries entries(files);
    entries.Append(L"C:\\a.mp3");
    entries.ParseText(L"C:\\b.mp3", L"");
    EXPECT_EQ(EntriesOf(entries), (Paths{L"C:\\a.mp3", L"C:\\b.mp3"}));
}

TEST(PlaylistEntries, StoredFormEndsEveryEntryWithALineFeed) {
    MemoryPlaylistFiles files;
    PlaylistEntries entries(files);
    EXPECT_EQ(entries.ToText(), L"");
    entries.Append(L"C:\\a.mp3");
    EXPECT_EQ(Shown(entries.ToText()), Shown(L"C:\\a.mp3\n"));
    entries.Append(L"C:\\a.mp3");
    entries.Append(L"D:\\music\\b.mp3");
    EXPECT_EQ(Shown(entries.ToText()), Shown(L"C:\\a.mp3\nC:\\a.mp3\nD:\\music\\b.mp3\n"));
}

TEST(PlaylistEntries, StoredFormReadsBackToTheSameEntries) {
    MemoryPlaylistFiles files;
    const Paths paths{L"C:\\a.mp3", L"D:\\m\\caf\u00e9.ogg", L"C:\\a.mp3", L"E:\\\u041a\u0438\u043d\u043e.flac"};
    for (const auto& path : paths)
        files.AddFile(path);
    PlaylistEntries written(files);
    for (const auto& path : paths)
        written.Append(path);
    PlaylistEntries read(files);
    read.ParseText(written.ToText(), L"");
    EXPECT_EQ(EntriesOf(read), paths);
}

TEST(PlaylistEntries, RemoveAtMovesLaterEntriesUp) {
    MemoryPlaylistFiles files;
    PlaylistEntries entries(files);
    for (const wchar_t* path : {L"0", L"1", L"2", L"3", L"4"})
        entries.Append(path);
    entries.RemoveAt(1);
    entries.RemoveAt(1);
    EXPECT_EQ(EntriesOf(entries), (Paths{L"0", L"3", L"4"}));
    entries.RemoveAt(3); // past the end
    EXPECT_EQ(EntriesOf(entries), (Paths{L"0", L"3", L"4"}));
    entries.RemoveAt(2);
    entries.RemoveAt(0);
    EXPECT_EQ(EntriesOf(entries), (Paths{L"3"}));
    EXPECT_EQ(entries.EntryAt(1), L"");
}

// --- m3u files ------------------------------------------------------------

struct M3uCase {
    const char* what;
    std::wstring path; // of the m3u file
    std::string bytes; // its content
    Paths files;       // other existing files
    Paths expected;
};

class LoadM3uTest : public ::testing::TestWithParam<M3uCase> {};

void ExpectLoads(const M3uCase& c, std::size_t readChunk) {
    MemoryPlaylistFiles files;
    files.AddFile(c.path, c.bytes);
    for (const auto& path : c.files)
        files.AddFile(path);
    files.SetReadChunk(readChunk);
    PlaylistEntries entries(files);
    entries.LoadM3u(c.path);
    std::string shown;
    for (const auto& entry : EntriesOf(entries))
        shown += Shown(entry) + " | ";
    EXPECT_EQ(EntriesOf(entries), c.expected) << c.what << " (reads of " << readChunk << " bytes); got: " << shown;
}

TEST_P(LoadM3uTest, AppendsTheExistingFilesItNames) {
    ExpectLoads(GetParam(), static_cast<std::size_t>(-1));
    // The same file handed out a byte or two at a time: a carriage return
    // and its line feed may arrive in different reads.
    ExpectLoads(GetParam(), 1);
    ExpectLoads(GetParam(), 2);
}

const std::string kLongLine = "C:\\" + std::string(PlaylistEntries::kMaxLineLength - 3, 'x');

INSTANTIATE_TEST_SUITE_P(
    SingleByte, LoadM3uTest,
    ::testing::Values(M3uCase{"relative names beside the m3u file first, absolute ones as they stand, in file order",
                              L"D:\\music\\list.m3u",
                              "#EXTM3U\r\n#EXTINF:123,Artist - Song\r\nsong.mp3\r\nC:\\other\\x.mp3\r\nmissing.mp3\r\n",
                              {L"D:\\music\\song.mp3", L"C:\\other\\x.mp3"},
                              {L"D:\\music\\song.mp3", L"C:\\other\\x.mp3"}},
                      M3uCase{"line feeds alone end lines too, and a last line needs none",
                              L"D:\\music\\list.m3u",
                              "a.mp3\nb.mp3",
                              {L"D:\\music\\a.mp3", L"D:\\music\\b.mp3"},
                              {L"D:\\music\\a.mp3", L"D:\\music\\b.mp3"}},
                      M3uCase{"a carriage return not followed by a line feed stays in the line",
                              L"D:\\music\\list.m3u",
                              "a.mp3\rb.mp3\r\nc.mp3\r",
                              {L"D:\\music\\a.mp3\rb.mp3", L"D:\\music\\c.mp3"},
                              {L"D:\\music\\a.mp3\rb.mp3"}},
                      M3uCase{"a Ctrl+Z byte ends the file",
                              L"D:\\music\\list.m3u",
                              "a.mp3\r\n\x1A\r\nb.mp3\r\n",
                              {L"D:\\music\\a.mp3", L"D:\\music\\b.mp3"},
                              {L"D:\\music\\a.mp3"}},
                      M3uCase{"the base folder ends at the last backslash",
                              L"D:\\music\\rock\\list.m3u",
                              "song.mp3\n",
                              {L"D:\\music\\song.mp3", L"D:\\music\\rock\\song.mp3"},
                              {L"D:\\music\\rock\\song.mp3"}},
                      M3uCase{"without a backslash in its path there is no base folder",
                              L"list.m3u",
                              "song.mp3\n",
                              {L"song.mp3"},
                              {L"song.mp3"}},
                      M3uCase{"a forward slash does not separate folders",
                              L"D:/music/list.m3u",
                              "song.mp3\n",
                              {L"D:/music/song.mp3"},
                              {}},
                      M3uCase{"each byte is the character of the same value",
                              L"D:\\music\\list.m3u",
                              "caf\xE9.mp3\n",
                              {L"D:\\music\\caf\u00e9.mp3"},
                              {L"D:\\music\\caf\u00e9.mp3"}},
                      M3uCase{"a line of the greatest length is read",
                              L"D:\\list.m3u",
                              kLongLine + "\r\nC:\\b.mp3\r\n",
                              {std::wstring(kLongLine.begin(), kLongLine.end()), L"C:\\b.mp3"},
                              {std::wstring(kLongLine.begin(), kLongLine.end()), L"C:\\b.mp3"}},
                      M3uCase{"a longer line ends the reading",
                              L"D:\\list.m3u",
                              "C:\\a.mp3\n" + kLongLine + "y\nC:\\b.mp3\n",
                              {L"C:\\a.mp3", std::wstring(kLongLine.begin(), kLongLine.end()) + L"y", L"C:\\b.mp3"},
                              {L"C:\\a.mp3"}},
                      M3uCase{"the carriage return removed before a line feed does not count towards the length",
                              L"D:\\list.m3u",
                              kLongLine + "\r\n",
                              {std::wstring(kLongLine.begin(), kLongLine.end())},
                              {std::wstring(kLongLine.begin(), kLongLine.end())}},
                      M3uCase{"an empty file gives nothing", L"D:\\list.m3u", "", {}, {}}));

// "café", "Кино" and "naïve ♪" as UTF-8 bytes.
const std::string kCafeUtf8 = "caf\xC3\xA9";
const std::string kKinoUtf8 = "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE";
const std::wstring kCafe = L"caf\u00e9";
const std::wstring kKino = L"\u041a\u0438\u043d\u043e";

INSTANTIATE_TEST_SUITE_P(
    Utf8, LoadM3uTest,
    ::testing::Values(
        M3uCase{"accented and Cyrillic names, relative and absolute, with ASCII names between",
                L"D:\\music\\list.m3u",
                "#EXTM3U\r\n#EXTINF:1," + kKinoUtf8 + "\r\n" + kCafeUtf8 + ".mp3\r\nplain.mp3\r\nE:\\" + kKinoUtf8 +
                    "\\" + kKinoUtf8 + " - 01.flac\r\n",
                {L"D:\\music\\" + kCafe + L".mp3", L"D:\\music\\plain.mp3",
                 L"E:\\" + kKino + L"\\" + kKino + L" - 01.flac"},
                {L"D:\\music\\" + kCafe + L".mp3", L"D:\\music\\plain.mp3",
                 L"E:\\" + kKino + L"\\" + kKino + L" - 01.flac"}},
        M3uCase{"the base folder first for UTF-8 names too",
                L"D:\\music\\list.m3u",
                kKinoUtf8 + ".mp3\n",
                {L"D:\\music\\" + kKino + L".mp3", kKino + L".mp3"},
                {L"D:\\music\\" + kKino + L".mp3"}},
        M3uCase{"a UTF-8 name alone when the base folder has no such file",
                L"D:\\music\\list.m3u",
                kKinoUtf8 + ".mp3\n",
                {kKino + L".mp3"},
                {kKino + L".mp3"}},
        M3uCase{"a file the single-byte reading finds wins over the UTF-8 one",
                L"D:\\music\\list.m3u",
                kCafeUtf8 + ".mp3\n",
                {L"D:\\music\\caf\u00c3\u00a9.mp3", L"D:\\music\\" + kCafe + L".mp3"},
                {L"D:\\music\\caf\u00c3\u00a9.mp3"}},
        M3uCase{"the single-byte reading alone finds it: no second entry",
                L"D:\\music\\list.m3u",
                kCafeUtf8 + ".mp3\n",
                {L"caf\u00c3\u00a9.mp3", L"D:\\music\\" + kCafe + L".mp3"},
                {L"caf\u00c3\u00a9.mp3"}},
        M3uCase{"a byte-order mark at the start of the file is not part of the first name",
                L"D:\\music\\list.m3u",
                "\xEF\xBB\xBF" + kCafeUtf8 + ".mp3\r\n" + kKinoUtf8 + ".mp3\r\n",
                {L"D:\\music\\" + kCafe + L".mp3", L"D:\\music\\" + kKino + L".mp3"},
                {L"D:\\music\\" + kCafe + L".mp3", L"D:\\music\\" + kKino + L".mp3"}},
        M3uCase{"a header behind a byte-order mark is a comment",
                L"D:\\music\\list.m3u",
                "\xEF\xBB\xBF#EXTM3U\r\n" + kCafeUtf8 + ".mp3\r\n",
                {L"D:\\music\\#EXTM3U", L"D:\\music\\" + kCafe + L".mp3"},
                {L"D:\\music\\" + kCafe + L".mp3"}},
        M3uCase{"characters beyond the basic plane",
                L"D:\\music\\list.m3u",
                "\xF0\x9F\x8E\xB5.mp3\n",
                {L"D:\\music\\\U0001F3B5.mp3"},
                {L"D:\\music\\\U0001F3B5.mp3"}},
        M3uCase{"an overlong encoding is not UTF-8",
                L"D:\\music\\list.m3u",
                "a\xC0\xAF"
                "b.mp3\n",
                {L"D:\\music\\a/b.mp3", L"a/b.mp3"},
                {}},
        M3uCase{"an encoded surrogate is not UTF-8",
                L"D:\\music\\list.m3u",
                "a\xED\xA0\x80.mp3\n",
                {L"D:\\music\\a\xD800.mp3"},
                {}},
        M3uCase{"a cut sequence is not UTF-8", L"D:\\music\\list.m3u", "a\xD0.mp3\n", {L"D:\\music\\a.mp3"}, {}},
        M3uCase{"a name that exists in neither reading is left out",
                L"D:\\music\\list.m3u",
                kKinoUtf8 + ".mp3\nplain.mp3\n",
                {L"D:\\music\\plain.mp3"},
                {L"D:\\music\\plain.mp3"}}));

TEST(PlaylistEntries, AnM3uThatCannotBeOpenedAddsNothing) {
    MemoryPlaylistFiles files;
    files.AddFile(L"D:\\music\\song.mp3");
    files.AddFile(L"D:\\music\\list.m3u", "song.mp3\n");
    files.DenyOpen(L"D:\\music\\list.m3u");
    PlaylistEntries entries(files);
    entries.LoadM3u(L"D:\\music\\list.m3u");
    entries.LoadM3u(L"D:\\music\\missing.m3u");
    EXPECT_EQ(entries.Count(), 0u);
}

TEST(PlaylistEntries, AnM3uAppendsAfterWhatIsThere) {
    MemoryPlaylistFiles files;
    files.AddFile(L"D:\\music\\song.mp3");
    files.AddFile(L"D:\\music\\list.m3u", "song.mp3\nsong.mp3\n");
    PlaylistEntries entries(files);
    entries.Append(L"C:\\first.mp3");
    entries.LoadM3u(L"D:\\music\\list.m3u");
    EXPECT_EQ(EntriesOf(entries), (Paths{L"C:\\first.mp3", L"D:\\music\\song.mp3", L"D:\\music\\song.mp3"}));
}

} // namespace
