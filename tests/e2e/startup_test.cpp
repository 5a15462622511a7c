// The run modes that end without a window: the process starts, does its
// work and exits with code 0.
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

namespace {

// Generous: these deadlines only catch a hang; the measured time is printed.
constexpr DWORD kDeadline = 10000;
// The settings dialog may wait up to 15 s for a hardware probe before it shows.
constexpr DWORD kDialogDeadline = 30000;

struct QuickExitCase {
    const wchar_t* switches;
    const char* what;
};

class Startup : public ::testing::TestWithParam<QuickExitCase> {};

TEST_P(Startup, EndsAtOnceWithExitCodeZeroAndNoWindow) {
    const auto& c = GetParam();
    e2e::Process saver = e2e::Process::Screensaver(c.switches);
    ASSERT_TRUE(saver.Started()) << "could not start " << testing::PrintToString(e2e::ScreensaverPath());
    ASSERT_TRUE(saver.WaitForExit(kDeadline)) << c.what << " still runs";
    EXPECT_EQ(saver.ExitCode(), 0u) << c.what;
    std::printf("[ time     ] %s ended after %.0f ms\n", c.what, saver.ElapsedMilliseconds());
}

const QuickExitCase kQuickExits[] = {
    {L"/t", "exit"},
    {L"-T", "exit, dash and capital"},
    {L"/p", "preview without a window number"},
    {L"/p 0", "preview with window 0"},
    {L"/a 123", "password change"},
};

INSTANTIATE_TEST_SUITE_P(Modes, Startup, ::testing::ValuesIn(kQuickExits));

TEST(Startup, PreviewOfANumberThatIsNoWindowEndsAtOnce) {
    e2e::Process saver = e2e::Process::Screensaver(L"/p 1234567");
    ASSERT_TRUE(saver.WaitForExit(kDeadline));
    EXPECT_EQ(saver.ExitCode(), 0u);
}

TEST(Startup, ConfigureShowsItsDialogOrEndsCleanly) {
    e2e::Process saver = e2e::Process::Screensaver(L"/c");
    ASSERT_TRUE(saver.Started());
    // Whichever comes first: the settings dialog, or the end of the process.
    HWND dialog = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            dialog = e2e::WaitForWindow(saver.Id(), L"#32770", nullptr, 0);
            return dialog != nullptr || !saver.Running();
        },
        kDialogDeadline));
    if (dialog) e2e::Click(e2e::Control(dialog, IDCANCEL));
    ASSERT_TRUE(saver.WaitForExit(kDeadline));
    EXPECT_EQ(saver.ExitCode(), 0u);
}

} // namespace
