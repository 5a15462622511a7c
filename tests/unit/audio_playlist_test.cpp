// How the player reads playlists: the PlayList value as the editor's own
// parser reads it, playlist files as the editor's m3u reader reads them,
// text encodings, pls files, entry paths, and the expansion of playlists
// inside playlists.
#include "main_program/audio/playlist_expansion.h"
#include "main_program/audio/playlist_reader.h"
#include "settings/dialogs/playlist_entries.h"
#include "settings/dialogs/playlist_files_memory.h"
#include "tests/unit/audio_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::wstring>;

std::string Shown(const std::wstring& text) {
    std::string shown;
    for (const wchar_t c : text) {
        if (c == L'\n')
            shown += "\\n";
        else if (c == L'\r')
            shown += "\\r";
        else if (c >= 0x20 && c < 0x7F)
            shown += static_cast<char>(c);
        else
            shown += "\\u{" + std::to_string(static_cast<unsigned long>(c)) + "}";
    }
    return shown;
}

Paths EditorEntries(const PlaylistEntries& entries) {
    Paths paths;
    for (std::size_t i = 0; i < entries.Count(); ++i)
        paths.push_back(entries.EntryAt(i));
    return paths;
}

// The PlayList value: with every named file present, the player plays
// exactly what the editor shows, URLs aside (the editor keeps what exists,
// the player never streams).
TEST(AudioPlaylist, PlayListValueReadsAsTheEditorReadsIt) {
    const std::wstring longest = L"C:\\" + std::wstring(audio::kMaxPlayListLine - 3, L'x');
    const std::vector<std::wstring> texts = {
        L"C:\\a.mp3\n# comment\n\nC:\\b.ogg\n",
        L"C:\\a.mp3\nC:\\b.mp3",                  // no final line feed
        L"C:\\a.mp3\r\nC:\\b.mp3\n",              // a carriage return stays in the line
        L"#C:\\a.mp3\n #C:\\b.mp3\n",             // only a leading '#' comments
        L"\n\n\nC:\\a.mp3\n\n",
        longest + L"\nC:\\after.mp3\n",           // the longest line that reads
        longest + L"y\nC:\\after.mp3\n",          // one longer ends the reading
        L"C:\\a.mp3\nC:\\a.mp3\nD:\\list.m3u\n", // duplicates and playlist files stay entries
        L"",
    };
    for (const auto& text : texts) {
        MemoryPlaylistFiles files;
        const Paths player = audio::PlayListValueEntries(text);
        for (const auto& path : player)
            files.AddFile(path);
        PlaylistEntries editor(files);
        editor.ParseText(text, L"");
        EXPECT_EQ(player, EditorEntries(editor)) << "PlayList: " << Shown(text);
    }
}

// m3u files in ASCII or UTF-8 with relative and absolute entries that exist:
// the player resolves them as the editor's m3u reader does.
TEST(AudioPlaylist, M3uFilesReadAsTheEditorReadsThem) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"relative and absolute entries, a header and a comment",
         "#EXTM3U\n#EXTINF:12,Song\nsong.mp3\nC:\\other\\b.ogg\nsub\\c.flac\n"},
        {"CR LF line ends", "song.mp3\r\nC:\\other\\b.ogg\r\n"},
        {"UTF-8 with its byte-order mark", "\xEF\xBB\xBFsong.mp3\n\xC3\xA9t\xC3\xA9.mp3\n"},
        {"UTF-8 without a mark", "\xD0\xBC\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.mp3\nsong.mp3\n"},
    };
    const std::wstring list = L"D:\\music\\list.m3u";
    for (const auto& c : cases) {
        audio_test::MemoryFiles audioFiles;
        const Paths player = audio::PlaylistFileContents(c.bytes, list, [&](const std::string& bytes) {
            return audioFiles.AnsiToWide(bytes);
        });
        MemoryPlaylistFiles files;
        for (const auto& path : player)
            files.AddFile(path);
        files.AddFile(list, c.bytes);
        PlaylistEntries editor(files);
        editor.LoadM3u(list);
        EXPECT_EQ(player, EditorEntries(editor)) << c.what;
        EXPECT_FALSE(player.empty()) << c.what;
    }
}

TEST(AudioPlaylist, PlaylistBytesDecodeByMarkValidityOrAnsi) {
    struct Case {
        const char* what;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"UTF-8 with a mark", "\xEF\xBB\xBF\xC3\xA9", L"\u00E9"},
        {"valid UTF-8 without a mark", "\xE2\x82\xAC", L"\u20AC"},
        {"not UTF-8: the ANSI code page", "\xE9t\xE9", L"\u00E9t\u00E9"},
        {"a UTF-8 mark over broken bytes still means UTF-8", "\xEF\xBB\xBF\xE9", L"\uFFFD"},
        {"UTF-16 little-endian", std::string("\xFF\xFE" "a\0\xAC\x20", 6), L"a\u20AC"},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0a\x20\xAC", 6), L"a\u20AC"},
        {"overlong UTF-8 is not UTF-8", "\xC0\xAF", L"\u00C0\u00AF"},
        {"plain ASCII", "C:\\a.mp3", L"C:\\a.mp3"},
    };
    audio_test::MemoryFiles files;
    for (const auto& c : cases)
        EXPECT_EQ(audio::DecodePlaylistBytes(c.bytes, [&](const std::string& b) { return files.AnsiToWide(b); }),
                  c.text)
            << c.what;
}

TEST(AudioPlaylist, EntriesResolveToLocalPathsAndUrlsToNothing) {
    struct Case {
        std::wstring entry;
        std::wstring folder;
        std::wstring path;
    };
    const Case cases[] = {
        {L"song.mp3", L"D:\\music\\", L"D:\\music\\song.mp3"},
        {L"sub/song.mp3", L"D:\\music\\", L"D:\\music\\sub\\song.mp3"},
        {L"..\\other\\song.mp3", L"D:\\music\\lists\\", L"D:\\music\\other\\song.mp3"},
        {L".\\..\\..\\..\\song.mp3", L"D:\\music\\", L"D:\\song.mp3"},
        {L"C:\\x\\song.mp3", L"D:\\music\\", L"C:\\x\\song.mp3"},
        {L"C:/x/./song.mp3", L"D:\\music\\", L"C:\\x\\song.mp3"},
        {L"\\x\\song.mp3", L"D:\\music\\", L"D:\\x\\song.mp3"},
        {L"\\x\\song.mp3", L"\\\\server\\share\\music\\", L"\\\\server\\share\\x\\song.mp3"},
        {L"song.mp3", L"\\\\server\\share\\music\\", L"\\\\server\\share\\music\\song.mp3"},
        {L"\\\\server\\share\\song.mp3", L"D:\\music\\", L"\\\\server\\share\\song.mp3"},
        {L"http://example.com/stream.mp3", L"D:\\music\\", L""},
        {L"mms://example.com/stream", L"", L""},
        {L"file:///C:/song.mp3", L"D:\\music\\", L""},
        {L"C:\\song.mp3", L"", L"C:\\song.mp3"},
        {L"song.mp3", L"", L"song.mp3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(audio::ResolveEntry(c.entry, c.folder), c.path)
            << Shown(c.entry) << " in " << Shown(c.folder);
}

TEST(AudioPlaylist, PlsFilesListTheirFilesInNumberOrder) {
    const std::wstring text = L"[playlist]\r\nFile2=b.mp3\r\nTitle2=B\r\nfile1 = a.mp3 \r\nLength1=-1\r\n"
                              L"File10=c.mp3\r\nFileX=no.mp3\r\nNumberOfEntries=3\r\nVersion=2\r\n";
    EXPECT_EQ(audio::PlaylistFileEntries(text, audio::PlaylistKind::Pls), (Paths{L"a.mp3", L"b.mp3", L"c.mp3"}));
}

TEST(AudioPlaylist, PlaylistKindsGoByExtensionInAnyCase) {
    EXPECT_EQ(audio::PlaylistKindOf(L"C:\\a.M3U"), audio::PlaylistKind::M3u);
    EXPECT_EQ(audio::PlaylistKindOf(L"C:\\a.m3u8"), audio::PlaylistKind::M3u);
    EXPECT_EQ(audio::PlaylistKindOf(L"C:\\a.Pls"), audio::PlaylistKind::Pls);
    EXPECT_EQ(audio::PlaylistKindOf(L"C:\\m3u"), audio::PlaylistKind::None);
    EXPECT_EQ(audio::PlaylistKindOf(L"C:\\a.mp3"), audio::PlaylistKind::None);
}

class Expansion : public ::testing::Test {
  protected:
    audio_test::MemoryFiles files;
    Paths Expand(const std::wstring& value) { return audio::ExpandPlayList(value, files); }
};

TEST_F(Expansion, PlaylistsOfEveryKindAndCaseGiveTheirEntriesInPlace) {
    files.Add(L"C:\\l\\upper.M3U", "one.mp3\n");
    files.Add(L"C:\\l\\list.pls", "[playlist]\nFile1=two.ogg\n");
    files.Add(L"C:\\l\\outer.m3u", "inner.m3u8\nthree.flac\n");
    files.Add(L"C:\\l\\inner.m3u8", "four.wav\n");
    EXPECT_EQ(Expand(L"C:\\first.mp3\nC:\\l\\upper.M3U\nC:\\l\\list.pls\nhttp://x/y.mp3\nC:\\l\\outer.m3u\n"),
              (Paths{L"C:\\first.mp3", L"C:\\l\\one.mp3", L"C:\\l\\two.ogg", L"C:\\l\\four.wav", L"C:\\l\\three.flac"}));
}

TEST_F(Expansion, GoesFourLevelsDeepAndNoFurther) {
    // level1.m3u lists a song and level2.m3u, and so on.
    for (int level = 1; level <= 6; ++level)
        files.Add(L"C:\\l\\level" + std::to_wstring(level) + L".m3u",
                  "song" + std::to_string(level) + ".mp3\nlevel" + std::to_string(level + 1) + ".m3u\n");
    EXPECT_EQ(Expand(L"C:\\l\\level1.m3u"),
              (Paths{L"C:\\l\\song1.mp3", L"C:\\l\\song2.mp3", L"C:\\l\\song3.mp3", L"C:\\l\\song4.mp3"}));
    EXPECT_EQ(files.Reads(L"C:\\l\\level5.m3u"), 0);
}

TEST_F(Expansion, CyclesAreIgnored) {
    files.Add(L"C:\\l\\a.m3u", "a.mp3\nB.M3U\n");
    files.Add(L"C:\\l\\B.M3U", "b.mp3\n..\\l\\.\\a.m3u\nc.m3u\n");
    files.Add(L"C:\\l\\c.m3u", "c.mp3\nb.m3u\n");
    EXPECT_EQ(Expand(L"C:\\l\\a.m3u\n"), (Paths{L"C:\\l\\a.mp3", L"C:\\l\\b.mp3", L"C:\\l\\c.mp3"}));
}

TEST_F(Expansion, AListedTwiceSiblingPlaysTwiceAndIsReadOnce) {
    files.Add(L"C:\\l\\a.m3u", "a.mp3\n");
    EXPECT_EQ(Expand(L"C:\\l\\a.m3u\nC:\\l\\a.m3u\n"), (Paths{L"C:\\l\\a.mp3", L"C:\\l\\a.mp3"}));
    EXPECT_EQ(files.Reads(L"C:\\l\\a.m3u"), 1);
}

TEST_F(Expansion, UnreadablePlaylistsAddNothing) {
    EXPECT_EQ(Expand(L"C:\\missing.m3u\nC:\\song.mp3\n"), (Paths{L"C:\\song.mp3"}));
}

TEST_F(Expansion, PlaylistsListingEachOtherManyTimesStayBounded) {
    // A thousand references on each of four levels: 10^12 entries to look at.
    const auto repeated = [](const std::string& line, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += line;
        return text;
    };
    files.Add(L"C:\\l\\top.m3u", repeated("next.m3u\n", 1000));
    files.Add(L"C:\\l\\next.m3u", "song.mp3\n" + repeated("deep.m3u\n", 999));
    files.Add(L"C:\\l\\deep.m3u", repeated("deeper.m3u\n", 1000));
    files.Add(L"C:\\l\\deeper.m3u", repeated("song.mp3\n", 1000));
    const Paths expanded = Expand(L"C:\\l\\top.m3u");
    EXPECT_EQ(expanded.size(), audio::kMaxPlayListFiles);
    EXPECT_EQ(expanded.front(), L"C:\\l\\song.mp3");
}

TEST_F(Expansion, StopsWhenAskedBetweenFiles) {
    files.Add(L"C:\\l\\a.m3u", "a.mp3\n");
    EXPECT_TRUE(audio::ExpandPlayList(L"C:\\l\\a.m3u\nC:\\b.mp3\n", files, [] { return true; }) ==
                Paths{L"C:\\b.mp3"});
}

} // namespace
