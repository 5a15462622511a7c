// Plain text values, against the in-memory registry natively and Wine's
// registry in the Windows build.
#include "platform/registry_access.h"
#include "tests/registry/registry_fixture.h"

namespace {

constexpr const wchar_t* kScratch = L"Software\\SorvaneTests\\Plain";

class RegistryAccessTest : public RegistryTest {};

// The layer passes the characters without a terminator; the system then
// counts the terminator that follows them in memory, as Windows does.
TEST_F(RegistryAccessTest, WrittenTextReadsBackAsStoredByTheSystem) {
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"Name", L"C:\\Program Files\\S", true), S_OK);
    std::wstring text;
    ASSERT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"Name", text, true), S_OK);
    EXPECT_EQ(text, L"C:\\Program Files\\S");
    auto raw = Raw(HKEY_LOCAL_MACHINE, kScratch, L"Name");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, REG_SZ);
    EXPECT_EQ(raw->data, TextBytes(L"C:\\Program Files\\S", true));
}

TEST_F(RegistryAccessTest, WritingCreatesEveryMissingKeyOnThePath) {
    const std::wstring deep = L"Software\\SorvaneTests\\A\\B\\C";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests\\A"));
    EXPECT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, deep.c_str(), L"V", L"x", true), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, deep));
}

TEST_F(RegistryAccessTest, EmptyTextIsWrittenAsEmptyValueWhichReadsAsMissing) {
    ASSERT_EQ(WriteRegistryString(HKEY_CURRENT_USER, kScratch, L"Empty", L"", true), S_OK);
    auto raw = Raw(HKEY_CURRENT_USER, kScratch, L"Empty");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, REG_SZ);
    EXPECT_TRUE(raw->data.empty());

    std::wstring text = L"unchanged";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kScratch, L"Empty", text, true), E_FAIL);
    EXPECT_EQ(text, L"unchanged");
}

TEST_F(RegistryAccessTest, ReadStopsAtTheFirstNulOrTheEndOfTheData) {
    struct Case {
        const char* what;
        std::vector<BYTE> data;
        const wchar_t* expected;
    };
    std::vector<BYTE> oddLength = TextBytes(L"abc");
    oddLength.push_back('d'); // a stray byte that makes no whole character
    const Case cases[] = {
        {"no terminator", TextBytes(L"abc"), L"abc"},
        {"with terminator", TextBytes(L"abc", true), L"abc"},
        {"embedded NUL", TextBytes(std::wstring(L"ab\0cd", 5)), L"ab"},
        {"odd byte count", oddLength, L"abc"},
        {"only a NUL", TextBytes(L"", true), L""},
    };
    for (const auto& c : cases) {
        Seed(HKEY_LOCAL_MACHINE, kScratch, L"V", REG_SZ, c.data);
        std::wstring text = L"before";
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"V", text, true), S_OK) << c.what;
        EXPECT_EQ(text, c.expected) << c.what;
    }
}

TEST_F(RegistryAccessTest, FailuresLeaveTheTextUnchanged) {
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {"REG_EXPAND_SZ holding text", REG_EXPAND_SZ, TextBytes(L"C:\\x", true)},
        {"REG_MULTI_SZ holding text", REG_MULTI_SZ, TextBytes(L"x", true)},
        {"REG_BINARY holding text", REG_BINARY, TextBytes(L"x")},
        {"REG_DWORD", REG_DWORD, {1, 0, 0, 0}},
        {"empty REG_SZ", REG_SZ, {}},
        {"REG_SZ of one byte: no whole character", REG_SZ, {'x'}},
    };
    for (const auto& c : cases) {
        Seed(HKEY_LOCAL_MACHINE, kScratch, L"V", c.type, c.data);
        std::wstring text = L"kept";
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"V", text, true), E_FAIL) << c.what;
        EXPECT_EQ(text, L"kept") << c.what;
    }

    std::wstring text = L"kept";
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"Missing", text, false), E_FAIL);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests\\NoSuchKey", L"V", text, false), E_FAIL);
    EXPECT_EQ(text, L"kept");
}

TEST_F(RegistryAccessTest, AValueOfAnyTypeAndContentExistsInEitherView) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
    } values[] = {
        {"text", REG_SZ, TextBytes(L"1", true)},
        {"REG_SZ with no data", REG_SZ, {}},
        {"REG_SZ of one byte", REG_SZ, {'x'}},
        {"REG_DWORD 0", REG_DWORD, {0, 0, 0, 0}},
        {"REG_BINARY", REG_BINARY, {1, 2, 3}},
        {"REG_NONE with no data", REG_NONE, {}},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, TextBytes(L"%TEMP%", true)},
        {"large REG_BINARY", REG_BINARY, std::vector<BYTE>(100000, 7)},
    };
    int keys = 0;
    for (bool in32BitView : {false, true}) {
        for (const auto& v : values) {
            const std::wstring key = std::wstring(kScratch) + L"\\" + std::to_wstring(++keys);
            Seed(HKEY_LOCAL_MACHINE, in32BitView ? View32(key) : key, L"Switch", v.type, v.data);
            EXPECT_TRUE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, key.c_str(), L"SWITCH"))
                << v.what << (in32BitView ? " in the 32-bit view" : " in the 64-bit view");
        }
    }

    EXPECT_FALSE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kScratch, L"Switch")) << "no value";
    EXPECT_FALSE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests\\None", L"Switch"))
        << "no key";
    Seed(HKEY_LOCAL_MACHINE, kScratch, L"Switches", REG_SZ, TextBytes(L"1", true));
    Seed(HKEY_LOCAL_MACHINE, View32(kScratch), L"Other", REG_SZ, TextBytes(L"1", true));
    Seed(HKEY_CURRENT_USER, kScratch, L"Switch", REG_SZ, TextBytes(L"1", true));
    EXPECT_FALSE(RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kScratch, L"Switch"))
        << "only other names, and the name in another hive";
}

TEST_F(RegistryAccessTest, ValueNamesAreCaseInsensitiveInTheRegistry) {
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"AppPath", L"one", true), S_OK);
    ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"APPPATH", L"two", true), S_OK);
    std::wstring text;
    ASSERT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"apppath", text, true), S_OK);
    EXPECT_EQ(text, L"two");
}

TEST_F(RegistryAccessTest, LongTextsAndNonAsciiSurviveTheRoundTrip) {
    const std::wstring longText(20000, L'x');
    const std::wstring cyrillic = L"\x0420\x0443\x0441\x0441\x043a\x0438\x0439 fran\x00e7" L"ais";
    for (const auto& text : {longText, cyrillic}) {
        ASSERT_EQ(WriteRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"V", text, true), S_OK);
        std::wstring back;
        ASSERT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kScratch, L"V", back, true), S_OK);
        EXPECT_EQ(back, text);
    }
}

} // namespace
