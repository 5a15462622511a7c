// Formatting of translated format strings: printf-like results for the
// program's own formats, and translations whose conversions differ from the
// key's never reaching the formatter.
#include "localization/translated_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<FormatArgument>;

TEST(TranslatedFormat, FormatsLikePrintfForTheSupportedConversions) {
    const struct {
        const wchar_t* format;
        Args args;
        const wchar_t* expected;
    } rows[] = {
        {L"Music volume: %.01i%%", {75}, L"Music volume: 75%"},
        {L"Music volume: %.01i%%", {0}, L"Music volume: 0%"},
        {L"%s %s Configuration", {L"Sorvane", std::wstring(L"1.0")}, L"Sorvane 1.0 Configuration"},
        {L"[%5s|%-5s|%.2s]", {L"ab", L"cd", L"efgh"}, L"[   ab|cd   |ef]"},
        {L"%d %i %u %x %X %o", {-5, 42, 7u, 255, 255, 8}, L"-5 42 7 ff FF 10"},
        {L"%05d|%+d|% d|%#x|%#d", {42, 3, 4, 255, 9}, L"00042|+3| 4|0xff|9"},
        {L"%ld %lld %hd", {1L, 2LL, 3}, L"1 2 3"},
        {L"%f %.2f %e %g", {0.5, 2.0 / 3, 1000.0, 0.25}, L"0.500000 0.67 1.000000e+03 0.25"},
        {L"%f", {3}, L"3.000000"},
        {L"100%% sure", {}, L"100% sure"},
        {L"\u0423\u0440\u043e\u0432\u0435\u043d\u044c: %.01i%%",
         {9},
         L"\u0423\u0440\u043e\u0432\u0435\u043d\u044c: 9%"},
        {L"%s", {L"\u00e9\u0416"}, L"\u00e9\u0416"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatText(row.format, row.args), row.expected) << testing::PrintToString(std::wstring(row.format));
}

TEST(TranslatedFormat, ConversionsWithoutAFittingArgumentAreWrittenAsTheyStand) {
    const struct {
        const wchar_t* format;
        Args args;
        const wchar_t* expected;
    } rows[] = {
        {L"%s and %s", {L"one"}, L"one and %s"},
        {L"%i%%", {}, L"%i%"},
        {L"%s", {5}, L"%s"},
        {L"%i", {L"text"}, L"%i"},
        {L"%f", {L"text"}, L"%f"},
        {L"%n%i", {1}, L"%n1"},
        {L"%*d", {3, 4}, L"%*d"},
        {L"%99999d", {1}, L"%99999d"},
        {L"%.99999f", {1.0}, L"%.99999f"},
        {L"ends with %", {1}, L"ends with %"},
        {L"%p %c", {1, 2}, L"%p %c"},
        {L"%i", {1, 2, L"extra"}, L"1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatText(row.format, row.args), row.expected) << testing::PrintToString(std::wstring(row.format));
}

TEST(TranslatedFormat, TranslationIsUsedOnlyWhenItsConversionsAreTheKeys) {
    const std::wstring key = L"%s %s Configuration";
    const Args args = {L"Sorvane", L"1.0"};
    const struct {
        const wchar_t* translation;
        const wchar_t* expected;
    } rows[] = {
        {L"Configuration de %s %s", L"Configuration de Sorvane 1.0"},
        {L"%s %s", L"Sorvane 1.0"},
        {L"%s %s %s", L"Sorvane 1.0 Configuration"}, // one more than passed
        {L"%s", L"Sorvane 1.0 Configuration"},       // one fewer
        {L"%i %s", L"Sorvane 1.0 Configuration"},    // another type
        {L"%s %n", L"Sorvane 1.0 Configuration"},    // a write
        {L"%5s %s", L"Sorvane 1.0 Configuration"},   // another width
        {L"%s %s %", L"Sorvane 1.0 Configuration"},  // a dangling percent sign
        {L"%s %s 100%%", L"Sorvane 1.0 100%"},       // a literal percent sign is no conversion
        {L"", L"Sorvane 1.0 Configuration"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatTranslation(key, row.translation, args), row.expected)
            << testing::PrintToString(std::wstring(row.translation));
}

TEST(TranslatedFormat, ConversionListsNameEachConversionExactly) {
    EXPECT_EQ(FormatConversions(L"a %.01i%% b %s"), (std::vector<std::wstring>{L"%.01i", L"%s"}));
    EXPECT_TRUE(FormatConversions(L"100%% plain").empty());
    EXPECT_NE(FormatConversions(L"%n"), FormatConversions(L"%i"));
    EXPECT_NE(FormatConversions(L"%"), FormatConversions(L""));
}

} // namespace
