// The language choice from the product key's "Language" value, against the
// in-memory registry natively and Wine's registry in the Windows build.
#include "localization/language_table.h"
#include "platform/registry_access.h"
#include "tests/registry/registry_fixture.h"

namespace {

class LanguageTagTest : public RegistryTest {};

TEST_F(LanguageTagTest, ExactValuesChooseTheirLanguageAndEverythingElseEnglish) {
    const struct {
        const wchar_t* value;
        DWORD type;
        bool terminated;
        const wchar_t* expected;
    } rows[] = {
        {L"3: de", REG_SZ, false, L"de"},       {L"3: fr", REG_SZ, false, L"fr"},     {L"3: ru", REG_SZ, true, L"ru"},
        {L"3: en", REG_SZ, false, L"en"},       {L"3: DE", REG_SZ, false, L"en"},     {L"3: De", REG_SZ, false, L"en"},
        {L" 3: de", REG_SZ, false, L"en"},      {L"3:  de", REG_SZ, false, L"en"},    {L"3:de", REG_SZ, false, L"en"},
        {L"3: de ", REG_SZ, false, L"en"},      {L"3: de\tx", REG_SZ, false, L"en"},  {L"de", REG_SZ, false, L"en"},
        {L"2: 1", REG_SZ, false, L"en"},        {L"3: it", REG_SZ, false, L"en"},     {L"", REG_SZ, false, L"en"},
        {L"3: de", REG_EXPAND_SZ, true, L"en"}, {L"3: de", REG_BINARY, false, L"en"},
    };
    for (const auto& row : rows) {
        SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"Language", row.value, row.type, row.terminated);
        EXPECT_EQ(ReadLanguageTag(), row.expected)
            << testing::PrintToString(std::wstring(row.value)) << " type " << row.type;
    }
}

TEST_F(LanguageTagTest, MissingValueOrKeyMeansEnglish) {
    EXPECT_EQ(ReadLanguageTag(), L"en");
    SeedText(HKEY_LOCAL_MACHINE, kProductKey, L"Other", L"3: de");
    EXPECT_EQ(ReadLanguageTag(), L"en");
}

TEST_F(LanguageTagTest, ValueWithEmbeddedNulReadsUpToIt) {
    Seed(HKEY_LOCAL_MACHINE, kProductKey, L"Language", REG_SZ, TextBytes(std::wstring(L"3: fr\0zz", 8)));
    EXPECT_EQ(ReadLanguageTag(), L"fr");
}

} // namespace
