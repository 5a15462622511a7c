// What the plain-value layer asks of the registry: access rights, the 64-bit
// view, flushing, and keys closed on every path. These need the in-memory
// registry's records, so they run natively only.
#include "platform/registry_memory.h"
#include "platform/registry_access.h"

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";

class RegistryAccessRightsTest : public ::testing::Test {
protected:
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
};

TEST_F(RegistryAccessRightsTest, AccessMasksFollowTheViewFlagOnlyUnderWow64) {
    struct Case {
        bool wow64;
        bool use64BitView;
        REGSAM read;
        REGSAM write;
    };
    const Case cases[] = {
        {false, false, 0x20019, 0x2},
        {false, true, 0x20019, 0x2},
        {true, false, 0x20019, 0x2},
        {true, true, 0x20119, 0x102},
    };
    for (const auto& c : cases) {
        registry.SetWow64Process(c.wow64);
        const std::size_t before = registry.Accesses().size();
        WriteRegistryString(HKEY_LOCAL_MACHINE, kKey, L"V", L"x", c.use64BitView);
        std::wstring text;
        ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, L"V", text, c.use64BitView);
        ASSERT_EQ(registry.Accesses().size(), before + 2);
        EXPECT_EQ(registry.Accesses()[before].sam, c.write) << "wow64 " << c.wow64 << " view " << c.use64BitView;
        EXPECT_TRUE(registry.Accesses()[before].create);
        EXPECT_EQ(registry.Accesses()[before + 1].sam, c.read) << "wow64 " << c.wow64 << " view " << c.use64BitView;
        EXPECT_FALSE(registry.Accesses()[before + 1].create);
    }
}

TEST_F(RegistryAccessRightsTest, Wow64ProcessSeesTheNativeViewOnlyWhenAskedFor) {
    registry.SetWow64Process(true);
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kKey, L"In64", L"a", true), S_OK);
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kKey, L"In32", L"b", false), S_OK);

    EXPECT_TRUE(registry.Get(HKEY_LOCAL_MACHINE, kKey, L"In64"));
    EXPECT_FALSE(registry.Get(HKEY_LOCAL_MACHINE, kKey, L"In32"));
    EXPECT_TRUE(registry.Get(HKEY_LOCAL_MACHINE, L"Software\\WOW6432Node\\Quenvale\\Sorvane 3D Screensaver", L"In32"));

    std::wstring text;
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, L"In32", text, true), E_FAIL);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, L"In32", text, false), S_OK);
    EXPECT_EQ(text, L"b");

    // The per-user hive has no 32-bit branch.
    ASSERT_EQ(WriteRegistryString(HKEY_CURRENT_USER, L"Software\\Run", L"V", L"c", false), S_OK);
    EXPECT_TRUE(registry.Get(HKEY_CURRENT_USER, L"Software\\Run", L"V"));
}

TEST(RegistryValueExistence, IsAskedInThe64BitViewThenThe32BitViewWithOrWithoutWow64) {
    const std::wstring key32 = L"Software\\WOW6432Node\\Quenvale\\Sorvane 3D Screensaver";
    for (bool wow64 : {false, true}) {
        platform::MemoryRegistry registry;
        platform::ScopedRegistry scope(registry);
        registry.SetWow64Process(wow64);
        EXPECT_FALSE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kKey, L"Switch")) << "wow64 " << wow64;
        registry.PutText(HKEY_LOCAL_MACHINE, key32, L"Switch", L"", REG_DWORD);
        std::size_t before = registry.Accesses().size();
        EXPECT_TRUE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kKey, L"Switch")) << "wow64 " << wow64;
        ASSERT_EQ(registry.Accesses().size(), before + 1) << "the 64-bit view's key is missing, so never opened";
        EXPECT_EQ(registry.Accesses()[before].path, L"HKLM\\" + key32);

        registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"Other", L"x");
        before = registry.Accesses().size();
        EXPECT_TRUE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kKey, L"Switch")) << "wow64 " << wow64;
        ASSERT_EQ(registry.Accesses().size(), before + 2);
        EXPECT_EQ(registry.Accesses()[before].path, L"HKLM\\" + std::wstring(kKey)) << "the 64-bit view first";
        EXPECT_EQ(registry.Accesses()[before + 1].path, L"HKLM\\" + key32);

        registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"Switch", L"", REG_NONE);
        before = registry.Accesses().size();
        EXPECT_TRUE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kKey, L"Switch")) << "wow64 " << wow64;
        EXPECT_EQ(registry.Accesses().size(), before + 1) << "found in the 64-bit view: no second look";
        EXPECT_EQ(registry.OpenHandles(), 0u);
    }
}

TEST_F(RegistryAccessRightsTest, EveryPathClosesItsKeyAndWritesFlush) {
    registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"Dword", L"", REG_DWORD);
    registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"Empty", L"");
    registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"Good", L"text");
    registry.DenyWrites(HKEY_LOCAL_MACHINE, L"Software\\Locked");
    std::wstring text;
    for (const wchar_t* name : {L"Dword", L"Empty", L"Good", L"Missing"}) {
        ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, name, text, true);
        EXPECT_EQ(registry.OpenHandles(), 0u) << "after reading " << testing::PrintToString(std::wstring(name));
    }
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Locked", L"V", L"x", true), E_FAIL);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Locked\\Below", L"V", L"x", true), E_FAIL);
    EXPECT_EQ(registry.OpenHandles(), 0u);
    EXPECT_EQ(registry.Flushes(), 0u);
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kKey, L"V", L"x", true), S_OK);
    EXPECT_EQ(registry.OpenHandles(), 0u);
    EXPECT_EQ(registry.Flushes(), 1u);
}

TEST_F(RegistryAccessRightsTest, UnreadableKeyFailsLikeAMissingOne) {
    registry.PutText(HKEY_LOCAL_MACHINE, kKey, L"V", L"x");
    registry.DenyOpen(HKEY_LOCAL_MACHINE, kKey);
    std::wstring text = L"kept";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, L"V", text, true), E_FAIL);
    EXPECT_EQ(text, L"kept");
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

} // namespace
