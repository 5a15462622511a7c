// The CurMonitor text and the adapter ordinal it selects.
#include "hardware/adapter_choice.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(CurMonitorNumber, ParsesFromTheThirdCharacterOn) {
    const struct {
        const wchar_t* text;
        std::int32_t number;
    } cases[] = {
        {L"2: 3", 3},
        {L"2:3", 3},       // the third character is already a digit
        {L"3: 1", 1},      // the kind digit is not looked at
        {L"2: 12abc", 12}, // digits up to the first non-digit
        {L"2:   \t7", 7},  // leading white space skipped
        {L"2: -1", -1},
        {L"2: +5", 5},
        {L"2: - 5", 0}, // no digit right after the sign
        {L"2: x", 0},
        {L"2:", 0}, // exactly two characters: nothing to convert
        {L"2", 0},  // shorter than two characters
        {L"", 0},
        {L"2: 0x10", 0}, // decimal only: the x ends the number
        {L"2: 010", 10}, // no octal either
        {L"2: 2147483647", kMax},
        {L"2: 2147483648", kMax}, // held at the top, not wrapped
        {L"2: 4294967297", kMax}, // would wrap to 1, a real adapter
        {L"2: -2147483648", kMin},
        {L"2: -99999999999999999999", kMin},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCurMonitorNumber(c.text), c.number) << "text: " << testing::PrintToString(std::wstring(c.text));
}

TEST(AdapterOrdinal, OutOfRangeOrNegativeNumbersChooseAdapterZero) {
    const struct {
        std::int32_t number;
        std::uint32_t adapters;
        std::uint32_t ordinal;
    } cases[] = {
        {1, 2, 1},                                          // the second of two adapters
        {7, 2, 0},                                          // beyond the last adapter
        {2, 2, 0},                                          // one past the last
        {0, 2, 0},     {0, 1, 0},  {1, 1, 0},   {-1, 2, 0}, // 0xFFFFFFFF as unsigned
        {kMin, 10, 0}, {9, 10, 9}, {10, 10, 0}, {kMax, 10, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseAdapterOrdinal(c.number, c.adapters), c.ordinal)
            << "number " << c.number << " with " << c.adapters << " adapters";
}

} // namespace
