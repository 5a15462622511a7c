// The formatting of translated texts with the Windows C runtime, whose
// number formatting could differ from the native build's.
#include "localization/language_table.h"
#include "localization/translated_format.h"
#include "resource_ids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TranslatedFormatWindows, NumbersAndTextsFormatAsInTheNativeBuild) {
    const struct {
        const wchar_t* format;
        std::vector<FormatArgument> args;
        const wchar_t* expected;
    } rows[] = {
        {L"Music volume: %.01i%%", {100}, L"Music volume: 100%"},
        {L"%d %u %x %o %lld", {-5, 7u, 255, 8, 9000000000LL}, L"-5 7 ff 10 9000000000"},
        {L"%f %.2f %e %g", {0.5, 2.0 / 3, 1000.0, 0.25}, L"0.500000 0.67 1.000000e+03 0.25"},
        {L"[%5s|%-5s|%.2s]", {L"ab", L"cd", L"efgh"}, L"[   ab|cd   |ef]"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatText(row.format, row.args), row.expected) << testing::PrintToString(std::wstring(row.format));
}

TEST(TranslatedFormatWindows, CaptionAndVolumeLabelsInEveryLanguage) {
    LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
    ASSERT_TRUE(SetTextBlock(L"Screensaver Settings Dialog"));
    const struct {
        const wchar_t* tag;
        const wchar_t* caption;
        const wchar_t* music;
    } rows[] = {
        {L"en", L"Sorvane 3D Screensaver 1.0 Configuration", L"Music volume: 35%"},
        {L"de", L"Sorvane 3D Screensaver 1.0 Konfiguration", L"Musik-Lautst\u00e4rke: 35%"},
        {L"fr", L"Configuration de Sorvane 3D Screensaver 1.0", L"Volume de la musique: 35%"},
        {L"ru", L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 Sorvane 3D Screensaver 1.0",
         L"\u0423\u0440\u043e\u0432\u0435\u043d\u044c \u043c\u0443\u0437\u044b\u043a\u0438: 35%"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(SetLanguage(row.tag));
        EXPECT_EQ(FormatTranslated(L"%s %s Configuration", L"Sorvane 3D Screensaver", L"1.0"), row.caption);
        EXPECT_EQ(FormatTranslated(L"Music volume: %.01i%%", 35), row.music);
    }
    LanguageTable::DestroyCurrent();
}

} // namespace
