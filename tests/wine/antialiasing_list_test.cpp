// The antialiasing list on a real sorted combo box, and Direct3D 11's answer
// under Wine.
#include "settings/dialogs/antialiasing_list_win.h"
#include "settings/store/sample_count_list.h"

#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

namespace {

class AntialiasingListTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        list_ = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 0, 0, 120,
                                100, parent_, nullptr, nullptr, nullptr);
        ASSERT_NE(list_, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    std::wstring Selected() const {
        const int index = e2e::ComboSelection(list_);
        return index < 0 ? L"(none)" : e2e::ComboItems(list_)[static_cast<size_t>(index)];
    }

    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(AntialiasingListTest, SelectionFollowsTheWantedCountOrTheTopEntryAndGivesItsCount) {
    struct Case {
        std::vector<int> counts;
        int wanted;
        const wchar_t* selected;
        int selectedCount;
    };
    const Case cases[] = {
        {{2, 4, 8}, 1, L"2x", 2}, // the computed default is a flag, not a count
        {{2, 4, 8, 16}, 1, L"16x", 16},
        {{2, 3, 4, 6, 8, 10, 12, 16, 24, 31}, 1, L"10x", 10},
        {{2, 4, 8}, 4, L"4x", 4},
        {{2, 4, 8}, 8, L"8x", 8},
        {{2, 4, 8, 16}, 4, L"16x", 16}, // "16x" lands at the top after "4x" was chosen
        {{4}, 0, L"4x", 4},
        {{4, 8}, 8, L"8x", 8},
        {{}, 4, L"(none)", 0}, // no count: antialiasing off, never the list's error result
        {{}, 1, L"(none)", 0},
    };
    for (const auto& c : cases) {
        FillAntialiasingList(list_, c.wanted, c.counts);
        EXPECT_EQ(Selected(), c.selected) << "wanted " << c.wanted << " of " << c.counts.size() << " counts";
        EXPECT_EQ(SelectedSampleCount(list_), c.selectedCount)
            << "wanted " << c.wanted << " of " << c.counts.size() << " counts";
        ASSERT_EQ(e2e::ComboItems(list_).size(), c.counts.size());
        // What the main program takes for "on, no count" is this list's choice.
        if (c.wanted == 1) {
            EXPECT_EQ(SampleCountAtTopOfList(c.counts), c.selectedCount);
        }
    }
}

TEST_F(AntialiasingListTest, EntriesSortByTextAndCarryTheirCount) {
    FillAntialiasingList(list_, 2, {2, 4, 8, 16, 32});
    EXPECT_EQ(e2e::ComboItems(list_), (std::vector<std::wstring>{L"16x", L"2x", L"32x", L"4x", L"8x"}));
    const int expectedData[] = {16, 2, 32, 4, 8};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(e2e::ComboItemData(list_, i), expectedData[i]);
    // Filling again empties the list first.
    FillAntialiasingList(list_, 2, {2});
    EXPECT_EQ(e2e::ComboItems(list_), (std::vector<std::wstring>{L"2x"}));
}

TEST(SupportedSampleCounts, AreAscendingCountsFromTwoTo31) {
    const std::vector<int> counts = SupportedSampleCounts();
    std::printf("[ info     ] Direct3D 11 sample counts:");
    for (int n : counts) std::printf(" %d", n);
    std::printf("\n");
    for (size_t i = 0; i < counts.size(); ++i) {
        EXPECT_GE(counts[i], 2);
        EXPECT_LE(counts[i], 31);
        if (i) {
            EXPECT_LT(counts[i - 1], counts[i]);
        }
    }
}

} // namespace
