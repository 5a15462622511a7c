// The settings writer creates child keys below a key it opened with
// KEY_SET_VALUE alone: the system must allow that, while still refusing
// operations the handle was not opened for.
#include "settings/store/settings_tree.h"
#include "tests/e2e/driver/registry.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kKey = L"Software\\SorvaneTests\\WriteRights";

class OwnedKey {
public:
    ~OwnedKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

TEST(SettingsTreeWriteRights, ChildKeyCanBeCreatedBelowASetValueOnlyHandle) {
    ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests"));
    OwnedKey parent;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, parent.Receive(),
                              nullptr),
              ERROR_SUCCESS);
    OwnedKey child;
    EXPECT_EQ(RegCreateKeyExW(parent.Get(), L"Child", 0, nullptr, 0, KEY_SET_VALUE, nullptr, child.Receive(), nullptr),
              ERROR_SUCCESS);
    wchar_t name[256];
    EXPECT_EQ(RegEnumKeyW(parent.Get(), 0, name, 256), ERROR_ACCESS_DENIED)
        << "the handle allows no enumeration, so rights are checked at all";

    Node tree;
    tree.Get(L"A/B/C") = 1;
    EXPECT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(e2e::KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\A\\B"));
    EXPECT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests"));
}

} // namespace
