// A refused save of the settings under Wine: one real error box, owned by the
// dialog's window, and the values written before the refusal stay.
#include "hardware/hardware_probe.h"
#include "settings/dialogs/settings_save.h"
#include "settings/store/settings_schema.h"
#include "platform/registry_access.h"
#include "tests/e2e/driver/message_box.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"
#include "tests/registry/registry_fixture.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const std::wstring kProduct = kProductKey;

struct BoxSeen {
    e2e::MessageBoxSeen box;
    HWND owner = nullptr;
    bool errorIcon = false;
};

bool ShowsErrorIcon(HWND box) {
    const HICON error = LoadIconW(nullptr, IDI_ERROR);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == error)
            return true;
    return false;
}

// Closes every message box of this process with OK while the main thread
// saves, noting what each showed.
class MessageBoxWatcher {
  public:
    MessageBoxWatcher()
        : thread_([this] {
              while (!done_) {
                  auto box = e2e::WaitForMessageBox(GetCurrentProcessId(), 100);
                  if (!box) continue;
                  BoxSeen seen{*box, GetWindow(box->window, GW_OWNER), ShowsErrorIcon(box->window)};
                  {
                      std::lock_guard<std::mutex> lock(mutex_);
                      seen_.push_back(seen);
                  }
                  e2e::PressOk(*box);
                  e2e::WaitUntil([&] { return !IsWindow(box->window); }, 5000);
              }
          }) {}
    ~MessageBoxWatcher() { Stop(); }

    std::vector<BoxSeen> Stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

  private:
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<BoxSeen> seen_;
    std::thread thread_;
};

class SettingsSaveMessageTest : public RegistryTest {
  protected:
    void SetUp() override {
        RegistryTest::SetUp();
        owner_ = CreateWindowExW(0, L"STATIC", L"Settings", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct);
    }

    std::wstring Stored(const std::wstring& name) {
        auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kProduct, name);
        if (!value) return L"<missing>";
        std::wstring text = value->Chars();
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }

    FixedHardware hardware_{0, 0, 0};
    ScopedHardware scope_{hardware_};
    HWND owner_ = nullptr;
};

TEST_F(SettingsSaveMessageTest, RefusedSaveShowsOneErrorBoxOwnedByTheDialog) {
    SeedText(HKEY_LOCAL_MACHINE, kProduct + L"\\Profiles", L"Last", L"2: 1");
    Node tree;
    SetDefaults(tree);
    ASSERT_TRUE(ReadSettings(tree));
    tree.Get(setting::kMusicVolumePercentage) = std::int32_t{70};
    ASSERT_TRUE(e2e::DenyWrites(HKEY_LOCAL_MACHINE, kProduct + L"\\Profiles"));

    MessageBoxWatcher watcher;
    const bool saved = WriteSettings(tree, owner_);
    const std::vector<BoxSeen> seen = watcher.Stop();

    EXPECT_FALSE(saved);
    ASSERT_EQ(seen.size(), 1u) << "message boxes shown";
    EXPECT_EQ(seen[0].box.caption, L"Error!");
    EXPECT_EQ(seen[0].box.text, L"Error writing to the system registry. Please NOTE: You need to have sufficient "
                                L"administrative rights to run this program successfully.");
    EXPECT_TRUE(seen[0].box.hasOkButton);
    EXPECT_TRUE(seen[0].errorIcon) << "the box shows no error icon";
    EXPECT_EQ(seen[0].owner, owner_);

    EXPECT_EQ(Stored(setting::kMusicVolumePercentage), L"2: 70") << "written before the refused subkey";
    EXPECT_EQ(Stored(setting::kShowBlackScreens), L"<missing>") << "after the refused subkey";
}

TEST_F(SettingsSaveMessageTest, SuccessfulSaveShowsNothing) {
    Node tree;
    SetDefaults(tree);
    ReadSettings(tree);
    MessageBoxWatcher watcher;
    const bool saved = WriteSettings(tree, owner_);
    const std::vector<BoxSeen> seen = watcher.Stop();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(seen.empty()) << seen.size() << " message boxes shown";
    EXPECT_EQ(Stored(setting::kShufflePlayList), L"2: 1");
}

} // namespace
