// The playing order: the list's own order, the shuffle's rounds, and the
// entry a run starts with.
#include "main_program/audio/play_order.h"
#include "main_program/audio/remembered_entry.h"
#include "platform/registry.h"
#include "platform/registry_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::wstring>;

Paths Names(std::initializer_list<const wchar_t*> names) { return Paths(names.begin(), names.end()); }

Paths Played(audio::PlayOrder& order, std::size_t count) {
    Paths played;
    for (std::size_t i = 0; i < count; ++i)
        played.push_back(order.Entry(order.Next()));
    return played;
}

TEST(AudioPlayOrder, InOrderTheListLoopsFromTheRememberedEntry) {
    const Paths list = Names({L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\c.mp3"});
    audio::PlayOrder fromStart(list, false, 1, L"");
    EXPECT_EQ(Played(fromStart, 5), Names({L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\c.mp3", L"C:\\a.mp3", L"C:\\b.mp3"}));
    audio::PlayOrder remembered(list, false, 1, L"C:\\b.mp3");
    EXPECT_EQ(Played(remembered, 4), Names({L"C:\\b.mp3", L"C:\\c.mp3", L"C:\\a.mp3", L"C:\\b.mp3"}));
    audio::PlayOrder gone(list, false, 1, L"C:\\gone.mp3");
    EXPECT_EQ(Played(gone, 1), Names({L"C:\\a.mp3"}));
}

// Over many seeds and list shapes (duplicates, one file among many, names
// that differ only in case): every round plays each entry once, and with two
// or more distinct files no file plays twice in a row across rounds.
TEST(AudioPlayOrder, ShuffledRoundsPlayEveryEntryOnceAndNeverRepeatAFileAcrossRounds) {
    const std::vector<Paths> lists = {
        Names({L"C:\\a.mp3", L"C:\\b.mp3"}),
        Names({L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\c.mp3", L"C:\\d.mp3", L"C:\\e.mp3"}),
        Names({L"C:\\a.mp3", L"C:\\a.mp3", L"C:\\a.mp3", L"C:\\b.mp3"}),
        Names({L"C:\\a.mp3", L"c:\\A.MP3", L"C:\\b.mp3"}),
        Names({L"C:\\only.mp3"}),
        Names({L"C:\\same.mp3", L"C:\\same.mp3"}),
    };
    for (const auto& list : lists) {
        const auto file = [&](std::size_t entry) {
            std::wstring name = list[entry];
            std::transform(name.begin(), name.end(), name.begin(), ::towlower);
            return name;
        };
        Paths distinct;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (std::find(distinct.begin(), distinct.end(), file(i)) == distinct.end()) distinct.push_back(file(i));
        for (std::uint64_t seed = 0; seed < 200; ++seed) {
            audio::PlayOrder order(list, true, seed, L"");
            std::size_t previous = list.size();
            for (int round = 0; round < 6; ++round) {
                std::vector<int> times(list.size(), 0);
                for (std::size_t i = 0; i < list.size(); ++i) {
                    const std::size_t entry = order.Next();
                    ASSERT_LT(entry, list.size());
                    ++times[entry];
                    if (i == 0 && previous < list.size() && distinct.size() >= 2) {
                        EXPECT_NE(file(entry), file(previous))
                            << "seed " << seed << ", round " << round << " of a list of " << list.size();
                    }
                    previous = entry;
                }
                EXPECT_EQ(times, std::vector<int>(list.size(), 1)) << "seed " << seed << ", round " << round;
            }
        }
    }
}

TEST(AudioPlayOrder, ShuffledRoundsDifferAndStartWithTheRememberedEntry) {
    Paths list;
    for (int i = 0; i < 12; ++i)
        list.push_back(L"C:\\" + std::to_wstring(i) + L".mp3");
    audio::PlayOrder order(list, true, 7, L"C:\\5.mp3");
    EXPECT_EQ(order.Entry(order.Peek()), L"C:\\5.mp3");
    const Paths first = Played(order, list.size());
    const Paths second = Played(order, list.size());
    EXPECT_EQ(first.front(), L"C:\\5.mp3");
    EXPECT_NE(first, second) << "two rounds of twelve in the same order";
    EXPECT_NE(first, list) << "a shuffled round in the list's order";
    audio::PlayOrder other(list, true, 8, L"");
    EXPECT_NE(Played(other, list.size()), first);
}

TEST(AudioPlayOrder, TheNextEntryIsRememberedPerUser) {
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope(registry);
    EXPECT_EQ(audio::ReadRememberedEntry(), L"");
    audio::RememberEntry(L"D:\\music\\\u00E9t\u00E9.mp3");
    EXPECT_EQ(audio::ReadRememberedEntry(), L"D:\\music\\\u00E9t\u00E9.mp3");
    EXPECT_TRUE(registry.GetChars(HKEY_CURRENT_USER, L"Software\\Quenvale\\Sorvane 3D Screensaver", L"NextPlayListEntry"));
    EXPECT_FALSE(registry.GetChars(HKEY_LOCAL_MACHINE, L"Software\\Quenvale\\Sorvane 3D Screensaver", L"NextPlayListEntry"));
}

} // namespace
