// The wallpaper's reaction to changes of the product key: one re-read per
// burst of writes, once the burst is over or has lasted too long.
#include "main_program/desktop/change_debounce.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Timeline {
    const char* what;
    std::vector<std::uint64_t> changes; // when the key changed
    std::vector<std::uint64_t> due;     // when a re-read is due (polled every 10 ms)
};

// Quiet for 250 ms, or at most 1000 ms after the first change.
const Timeline kTimelines[] = {
    {"nothing changes", {}, {}},
    {"one change", {100}, {350}},
    {"a burst of writes, as OK makes", {100, 101, 102, 105, 130}, {380}},
    {"two bursts apart", {100, 110, 900}, {360, 1150}},
    {"changes that never stop are still read now and then", {0, 200, 400, 600, 800, 1000, 1200, 1400}, {1000, 1650}},
    {"a change at the moment a re-read is due starts anew", {0, 250}, {250, 500}},
};

TEST(WallpaperSettingsWatch, OneReReadPerBurstOfChanges) {
    for (const Timeline& t : kTimelines) {
        desktop::ChangeDebounce debounce(250, 1000);
        std::vector<std::uint64_t> due;
        size_t next = 0;
        for (std::uint64_t now = 0; now <= 3000; now += 10) {
            if (debounce.Due(now)) due.push_back(now);
            while (next < t.changes.size() && t.changes[next] <= now) debounce.Changed(t.changes[next++]);
        }
        EXPECT_EQ(due, t.due) << t.what;
        EXPECT_FALSE(debounce.Pending()) << t.what;
    }
}

} // namespace
