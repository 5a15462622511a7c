// The screensaver switches.
#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(RunMode mode, std::ostream* out) {
    static const char* const names[] = {"Configure", "Preview", "Run", "Exit", "ChangePassword"};
    *out << names[static_cast<int>(mode)];
}

namespace {

struct SwitchCase {
    const wchar_t* commandLine;
    RunMode mode;
    std::int32_t window;
};

class ParseSwitchesTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ParseSwitchesTest, GivesModeAndWindow) {
    const SwitchCase& c = GetParam();
    const CommandLine parsed = ParseSwitches(c.commandLine);
    EXPECT_EQ(parsed.mode, c.mode) << "command line: " << testing::PrintToString(std::wstring(c.commandLine));
    EXPECT_EQ(parsed.window, c.window) << "command line: " << testing::PrintToString(std::wstring(c.commandLine));
}

const SwitchCase kCases[] = {
    // A quoted program name with a space inside, then the preview switch.
    {L"\"C:\\Windows\\Sorvane 3D Screensaver.scr\" /p 1234", RunMode::Preview, 1234},
    {L"saver.scr /c:5678", RunMode::Configure, 5678},
    {L"saver.scr -P 99", RunMode::Preview, 99},
    {L"saver.scr", RunMode::Configure, 0},
    {L"\"C:\\a b\\saver.scr\"", RunMode::Configure, 0},
    {L"saver.scr /s", RunMode::Run, 0},
    {L"saver.scr /S", RunMode::Run, 0},
    {L"saver.scr /", RunMode::Run, 0},
    {L"saver.scr /x 55", RunMode::Run, 0},
    {L"saver.scr /c", RunMode::Configure, 0},
    {L"saver.scr /cxy12", RunMode::Configure, 12},
    {L"saver.scr /p -5", RunMode::Preview, 5},
    {L"saver.scr /p 99999999999", RunMode::Preview, 2147483647},
    {L"saver.scr foo", RunMode::Configure, 0},
    {L"saver.scr foo-c 7", RunMode::Configure, 7},
    {L"\"C:\\a b\\saver.scr\"/p 5", RunMode::Preview, 5},
    {L"\"C:\\a b\\saver.scr /p 5", RunMode::Configure, 0},
    {L"saver.scr  /s", RunMode::Run, 0},
    // The remaining letters and their numbers.
    {L"saver.scr /t", RunMode::Exit, 0},
    {L"saver.scr /T 42", RunMode::Exit, 0},
    {L"saver.scr /a 123", RunMode::ChangePassword, 123},
    {L"saver.scr /A", RunMode::ChangePassword, 0},
    {L"saver.scr /C:0", RunMode::Configure, 0},
    // The number: the largest value and one past it, leading zeros, digits
    // after other digits are one number, only the first run counts.
    {L"saver.scr /p 2147483647", RunMode::Preview, 2147483647},
    {L"saver.scr /p 2147483648", RunMode::Preview, 2147483647},
    {L"saver.scr /p 000123", RunMode::Preview, 123},
    {L"saver.scr /p 12 34", RunMode::Preview, 12},
    {L"saver.scr /p 184467440737095516160000", RunMode::Preview, 2147483647},
    {L"saver.scr /p", RunMode::Preview, 0},
    {L"saver.scr /p :", RunMode::Preview, 0},
    // The program name is skipped, whatever it holds.
    {L"C:\\x/p\\saver.scr /c 3", RunMode::Configure, 3},
    {L"\"C:\\-t\\saver.scr\" /p 8", RunMode::Preview, 8},
    {L"/p 5", RunMode::Configure, 0},
    {L"", RunMode::Configure, 0},
    // The first marker wins, '-' or '/'.
    {L"saver.scr -t /c 5", RunMode::Exit, 0},
    {L"saver.scr x /p 4 /c 9", RunMode::Preview, 4},
    // Non-ASCII letters are not switches.
    {L"saver.scr /\x00e7 5", RunMode::Run, 0},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, ParseSwitchesTest, ::testing::ValuesIn(kCases));

TEST(ParseSwitches, TextEndsAtTheFirstNul) {
    const wchar_t text[] = L"saver.scr /p 12\0 /c 99";
    const CommandLine parsed = ParseSwitches(text);
    EXPECT_EQ(parsed.mode, RunMode::Preview);
    EXPECT_EQ(parsed.window, 12);
}

TEST(ParseSwitches, NullTextIsConfigure) {
    const CommandLine parsed = ParseSwitches(nullptr);
    EXPECT_EQ(parsed.mode, RunMode::Configure);
    EXPECT_EQ(parsed.window, 0);
}

} // namespace
