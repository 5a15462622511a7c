// Live changes to a running wallpaper: which control posts which setting
// code with which value, and the full set on Cancel and Restore Defaults.
#include "tests/e2e/driver/wallpaper_standin.h"
#include "tests/e2e/settings_dialog_fixture.h"

namespace settings_e2e {
namespace {

using Posts = std::vector<e2e::WallpaperStandIn::Post>;

class LiveChanges : public SettingsDialogTest {
protected:
    // Waits until `count` posts arrived and returns them, forgetting them.
    Posts Take(e2e::WallpaperStandIn& wallpaper, size_t count) {
        EXPECT_TRUE(wallpaper.WaitForPosts(count, kDeadline))
            << "expected " << count << " posts, got " << e2e::Describe(wallpaper.Received());
        Posts posts = wallpaper.Received();
        wallpaper.Clear();
        return posts;
    }
};

TEST_F(LiveChanges, EachControlPostsItsCodeWithTheControlsValue) {
    for (bool asChild : {false, true}) {
        SCOPED_TRACE(asChild ? "wallpaper is a child window" : "wallpaper is top-level");
        SeedSetting(L"Antialiasing", L"2: 4");
        e2e::WallpaperStandIn wallpaper(asChild);
        Open();

        e2e::MoveTrackbar(Item(MusicVolume), 40);
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{1, 40}}));
        EXPECT_EQ(Text(MusicLabel), L"Music volume: 40%"); // updated before the post
        e2e::MoveTrackbar(Item(SoundVolume), 7);
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{3, 7}}));
        EXPECT_EQ(Text(SoundLabel), L"Sound volume: 7%");

        e2e::Click(Item(EnableMusic));
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{2, 0}}));
        EXPECT_FALSE(Enabled(MusicVolume)); // the controls change before the post
        e2e::Click(Item(EnableSounds));
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{4, 0}}));
        e2e::Click(Item(Antialiasing));
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{6, 0}}));
        e2e::Click(Item(Antialiasing));
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{6, 4}}));

        // Picking a list entry posts nothing: the next post is the click's.
        e2e::SelectComboItem(Item(SampleList), 0);
        e2e::Click(Item(EnableSounds));
        EXPECT_EQ(Take(wallpaper, 1), (Posts{{4, 1}}));

        // Cancel puts the stored values back, in the order 6, 1, 2, 3, 4, 0, 5.
        PressAndWaitForExit(Cancel);
        EXPECT_EQ(Take(wallpaper, 7), (Posts{{6, 4}, {1, 15}, {2, 1}, {3, 100}, {4, 1}, {0, 0}, {5, 0}}));
    }
}

// Wine told not to load d3d11.dll for the screensaver: a machine whose
// Direct3D 11 offers no sample count. Undone however the test ends.
class WithoutDirect3D11 {
  public:
    WithoutDirect3D11() {
        const std::wstring path = e2e::ScreensaverPath();
        key_ = L"Software\\Wine\\AppDefaults\\" + path.substr(path.find_last_of(L"\\/") + 1);
        seeded_ = e2e::SeedText(HKEY_CURRENT_USER, key_ + L"\\DllOverrides", L"d3d11", L"", REG_SZ, true);
    }
    ~WithoutDirect3D11() { e2e::DeleteKeyTree(HKEY_CURRENT_USER, key_); }
    WithoutDirect3D11(const WithoutDirect3D11&) = delete;
    WithoutDirect3D11& operator=(const WithoutDirect3D11&) = delete;
    bool Seeded() const { return seeded_; }

  private:
    std::wstring key_;
    bool seeded_ = false;
};

TEST_F(LiveChanges, WithoutSampleCountsTheBoxKeepsTheStoredChoiceAndPostsWhatOkStores) {
    WithoutDirect3D11 noDirect3D11;
    ASSERT_TRUE(noDirect3D11.Seeded());
    const struct {
        const wchar_t* stored;
        int clicks;  // on the box, each answered by one code 6 post
        Posts posts; // those posts
        const wchar_t* storedByOk;
    } cases[] = {
        {L"2: 8", 0, {}, L"2: 8"},                // a count chosen where Direct3D 11 offered it, untouched
        {L"2: 8", 2, {{6, 0}, {6, 8}}, L"2: 8"},  // unchecked and checked again
        {L"2: 1", 2, {{6, 0}, {6, 1}}, L"2: 1"},  // the computed default: on, no count yet
        {L"2: -1", 0, {}, L"2: 1"},               // what earlier front ends stored for "on"
        {L"2: 0", 1, {{6, 1}}, L"2: 1"},          // checked by the user: the "on" flag
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        SeedSetting(L"Antialiasing", c.stored);
        e2e::WallpaperStandIn wallpaper;
        Open();
        ASSERT_EQ(e2e::ComboItems(Item(SampleList)), std::vector<std::wstring>{})
            << "Direct3D 11 still offers sample counts";
        EXPECT_EQ(Checked(Antialiasing), std::wstring(c.stored) != L"2: 0");
        for (int click = 0; click < c.clicks; ++click) {
            e2e::Click(Item(Antialiasing));
            EXPECT_EQ(Take(wallpaper, 1), (Posts{c.posts[static_cast<size_t>(click)]}));
        }
        PressAndWaitForExit(Ok);
        EXPECT_EQ(Stored(L"Antialiasing"), c.storedByOk);
    }
}

TEST_F(LiveChanges, RestoreDefaultsPostsTheDefaultsAndWritesNothing) {
    SeedSetting(L"MusicVolumePercentage", L"2: 60");
    SeedSetting(L"DisableSound", L"2: 1");
    SeedSetting(L"Antialiasing", L"2: 0");
    e2e::WallpaperStandIn wallpaper;
    Open();
    e2e::Click(Item(RestoreDefaults));
    const Posts posts = Take(wallpaper, 7);
    ASSERT_EQ(posts.size(), 7u) << e2e::Describe(posts);
    const WPARAM order[] = {6, 1, 2, 3, 4, 0, 5};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(posts[i].first, order[i]) << e2e::Describe(posts);
    EXPECT_EQ(posts[1].second, 15);
    EXPECT_EQ(posts[2].second, 1);
    EXPECT_EQ(posts[3].second, 100);
    EXPECT_EQ(posts[4].second, 1);
    EXPECT_EQ(e2e::TrackbarPosition(Item(MusicVolume)), 15);
    EXPECT_TRUE(Checked(EnableSounds));

    PressAndWaitForExit(Cancel);
    EXPECT_EQ(Stored(L"MusicVolumePercentage"), L"2: 60");
    EXPECT_EQ(Stored(L"DisableSound"), L"2: 1");
}

TEST_F(LiveChanges, NoWallpaperMeansNoPostAndAWallpaperStartedLaterIsFound) {
    Open();
    e2e::MoveTrackbar(Item(MusicVolume), 30);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Text(MusicLabel) == L"Music volume: 30%"; }, kDeadline));

    e2e::WallpaperStandIn wallpaper;
    e2e::MoveTrackbar(Item(MusicVolume), 31);
    EXPECT_EQ(Take(wallpaper, 1), (Posts{{1, 31}}));
    PressAndWaitForExit(Ok);
    wallpaper.WaitForPosts(1, 0); // the program has ended: whatever it posted is queued here now
    EXPECT_TRUE(wallpaper.Received().empty()) << "OK posts nothing: " << e2e::Describe(wallpaper.Received());
}

} // namespace
} // namespace settings_e2e
