// The view rule in a 64-bit process: there is no WOW64, so no view bit is
// ever added, and values land where other 64-bit programs look for them.
#include "platform/registry_access.h"
#include "tests/e2e/driver/registry.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryView, SixtyFourBitProcessIsNotUnderWow64AndAddsNoViewBit) {
    EXPECT_FALSE(IsRunningUnderWow64());
    EXPECT_EQ(ReadAccess(true), static_cast<REGSAM>(KEY_READ));
    EXPECT_EQ(WriteAccess(true), static_cast<REGSAM>(KEY_SET_VALUE));
}

TEST(RegistryView, ValuesWrittenWithTheViewFlagAreInTheNativeBranch) {
    const wchar_t* path = L"Software\\SorvaneTests\\View";
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, path, L"V", L"native", true), S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_32KEY, &key), ERROR_SUCCESS);
    e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests");
}

} // namespace
