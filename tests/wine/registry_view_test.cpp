// The view rule on the system at hand: a 64-bit process (no WOW64), the 32-bit
// program on 64-bit Windows (WOW64) and the 32-bit program on 32-bit Windows.
// Values written with the view flag land where 64-bit programs look for them;
// the installer's view is where a 32-bit installer writes, for both builds.
#include "platform/registry_access.h"
#include "tests/e2e/driver/registry.h"

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kPath = L"Software\\SorvaneTests\\View";

class RegistryView : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests"));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(L"Software\\SorvaneTests")));
    }
    static bool In64BitView() { return e2e::ReadValue(HKEY_LOCAL_MACHINE, kPath, L"V").has_value(); }
    static bool In32BitView() {
        return e2e::Is64BitWindows() && e2e::ReadValue(HKEY_LOCAL_MACHINE, e2e::View32(kPath), L"V").has_value();
    }
};

TEST_F(RegistryView, OnlyA32BitProcessOn64BitWindowsRunsUnderWow64) {
    const bool wow64 = sizeof(void*) == 4 && e2e::Is64BitWindows();
    EXPECT_EQ(IsRunningUnderWow64(), wow64);
    const REGSAM view = wow64 ? KEY_WOW64_64KEY : REGSAM{0};
    EXPECT_EQ(ReadAccess(true) & ~view, static_cast<REGSAM>(KEY_READ));
    EXPECT_EQ(WriteAccess(true) & ~view, static_cast<REGSAM>(KEY_SET_VALUE));
    EXPECT_EQ(ReadAccess(true) & KEY_WOW64_64KEY, view);
    EXPECT_EQ(WriteAccess(true) & KEY_WOW64_64KEY, view);
    EXPECT_EQ(ReadAccess(false), static_cast<REGSAM>(KEY_READ)) << "without the flag no view bit is added";
}

TEST_F(RegistryView, ValuesWrittenWithTheViewFlagAreInThe64BitBranchOnly) {
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kPath, L"V", L"64", true), S_OK);
    EXPECT_TRUE(In64BitView());
    EXPECT_FALSE(In32BitView()) << "nothing may be written under WOW6432Node";
}

TEST_F(RegistryView, WithoutTheFlagThe32BitProgramWritesIntoItsOwnView) {
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kPath, L"V", L"own", false), S_OK);
    const bool wow64 = sizeof(void*) == 4 && e2e::Is64BitWindows();
    EXPECT_EQ(In32BitView(), wow64);
    EXPECT_EQ(In64BitView(), !wow64);
}

TEST_F(RegistryView, TheInstallersViewIsThe32BitOneForBothBuilds) {
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, e2e::View32(kPath), L"V", L"installer"));
    if (e2e::Is64BitWindows()) {
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kPath, L"V", L"native"));
    }
    std::wstring text;
    ASSERT_EQ(ReadRegistryString32BitView(HKEY_LOCAL_MACHINE, kPath, L"V", text), S_OK);
    EXPECT_EQ(text, L"installer");
    text.clear();
    ASSERT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kPath, L"V", text, true), S_OK);
    EXPECT_EQ(text, e2e::Is64BitWindows() ? L"native" : L"installer");
}

} // namespace
