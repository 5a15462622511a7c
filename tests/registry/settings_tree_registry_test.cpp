// The settings tree against the in-memory registry natively and Wine's
// registry in the Windows build: reading rules, writing format, round trips.
#include "settings/store/settings_tree.h"
#include "tests/registry/registry_fixture.h"

#include <cmath>
#include <string>

namespace {

constexpr const wchar_t* kKey = L"Software\\SorvaneTests\\Tree";

class SettingsTreeRegistryTest : public RegistryTest {
  protected:
    // The value's data as text, the system's terminator dropped.
    std::wstring StoredText(const std::wstring& path, const std::wstring& name) {
        auto raw = Raw(HKEY_LOCAL_MACHINE, path, name);
        if (!raw) return L"<missing>";
        std::wstring text(raw->data.size() / sizeof(wchar_t), L'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = *reinterpret_cast<const wchar_t*>(raw->data.data() + i * sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }
};

std::string Describe(const Node::Value& value) {
    switch (value.GetKind()) {
    case Node::Kind::Child:
        return "Child";
    case Node::Kind::Float:
        return "Float " + std::to_string(value.AsFloat());
    case Node::Kind::Int:
        return "Int " + std::to_string(value.AsInt());
    case Node::Kind::Text:
        return "Text \"" + value.AsUtf8Text() + "\"";
    case Node::Kind::None:
        return "None";
    }
    return "?";
}

TEST_F(SettingsTreeRegistryTest, EachFormOfDataReadsAsItsEntryOrIsIgnored) {
    struct Row {
        const wchar_t* data;
        const char* expected; // "ignored" when the tree must not hold the value
    };
    const Row rows[] = {
        {L"2: 0x10", "Int 16"},
        {L"2: 0X1f", "Int 31"},
        {L"2: 010", "Int 8"},
        {L"2: 08", "Int 0"},
        {L"2:  7", "Int 7"},
        {L"2: -3", "Int -3"},
        {L"2: +12abc", "Int 12"},
        {L"2: -0x10", "Int -16"},
        {L"2: 0x", "Int 0"},
        {L"2: 99999999999", "Int 2147483647"},
        {L"2: -99999999999", "Int -2147483648"},
        {L"2: 5\t9", "Int 5"},
        {L"1: 1e3", "Float 1000.000000"},
        {L"1: -2.5", "Float -2.500000"},
        {L"1: .25x", "Float 0.250000"},
        {L"3: a\tb", "Text \"a\""},
        {L"3: ", "Text \"\""},
        {L"3: Gr\x00fc\x00dF"
         L"e \x0434\x0430",
         "Text \"Gr\xC3\xBC\xC3\x9F"
         "e \xD0\xB4\xD0\xB0\""},
        {L"3:  spaced ", "Text \" spaced \""},
        {L"4: x", "ignored"},
        {L"12: 5", "ignored"},
        {L"1:5", "ignored"},
        {L"2: x", "ignored"},
        {L"1: x", "ignored"},
        {L"2: ", "ignored"},
        {L"1: ", "ignored"},
        {L"2: -", "ignored"},
        {L"C:\\Program Files\\Sorvane", "ignored"},
        {L"", "ignored"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        SeedText(HKEY_LOCAL_MACHINE, kKey, L"V" + std::to_wstring(i), rows[i].data);

    Node tree;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::wstring name = L"V" + std::to_wstring(i);
        const auto& entries = tree.GetEntries();
        const auto found = entries.find(name);
        const std::string got = found == entries.end() ? "ignored" : Describe(found->second);
        EXPECT_EQ(got, rows[i].expected) << "data " << testing::PrintToString(std::wstring(rows[i].data));
    }
}

TEST_F(SettingsTreeRegistryTest, WriterStoresEachKindInItsTextForm) {
    Node tree;
    tree.Get(L"Half") = 0.5f;
    tree.Get(L"Minus") = -3;
    tree.Get(L"Lang") = L"de";
    tree.Get(L"Big") = 1e3f;
    tree.Get(L"Nothing");
    tree.Get(L"Empty") = L"";
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));

    EXPECT_EQ(StoredText(kKey, L"Half"), L"1: 0.500000");
    EXPECT_EQ(StoredText(kKey, L"Minus"), L"2: -3");
    EXPECT_EQ(StoredText(kKey, L"Lang"), L"3: de");
    EXPECT_EQ(StoredText(kKey, L"Big"), L"1: 1000.000000");
    EXPECT_FALSE(Raw(HKEY_LOCAL_MACHINE, kKey, L"Nothing")) << "a None entry is not written";
    EXPECT_FALSE(Raw(HKEY_LOCAL_MACHINE, kKey, L"Empty")) << "an empty text is not written";
    auto raw = Raw(HKEY_LOCAL_MACHINE, kKey, L"Minus");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->data, TextBytes(L"2: -3", true)) << "the characters, and the terminator the system counts";
}

TEST_F(SettingsTreeRegistryTest, FloatReadFromExponentIsWrittenBackInFixedNotation) {
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Scale", L"1: 1e3");
    Node tree;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(StoredText(kKey, L"Scale"), L"1: 1000.000000");
}

TEST_F(SettingsTreeRegistryTest, WrittenTreeReadsBackUnchanged) {
    const std::wstring longText = L"C:\\Users\\someone\\Music\\A rather long folder name\\and a file name.mp3";
    ASSERT_GT(longText.size(), 60u);
    Node tree;
    tree.Get(L"MusicVolumePercentage") = 75;
    tree.Get(L"Negative") = -2147483647 - 1;
    tree.Get(L"Hex") = 0x7FFFFFFF;
    tree.Get(L"Ratio") = 0.125f;
    tree.Get(L"Long") = longText;
    tree.Get(L"Unicode") = L"\x0420\x0443\x0441\x0441\x043a\x0438\x0439 fran\x00e7"
                           L"ais d\x2019\x00e9"
                           L"cran";
    tree.Get(L"Sub/Inner/Deep") = 3;
    tree.Get(L"Sub/Text") = L"x";
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(StoredText(kKey, L"Long"), L"3: " + longText) << "a text of more than 60 characters is written whole";
    EXPECT_EQ(StoredText(std::wstring(kKey) + L"\\Sub\\Inner", L"Deep"), L"2: 3");

    Node back;
    ASSERT_TRUE(back.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(back.Get(L"MusicVolumePercentage").AsInt(), 75);
    EXPECT_EQ(back.Get(L"Negative").AsInt(), -2147483647 - 1);
    EXPECT_EQ(back.Get(L"Hex").AsInt(), 0x7FFFFFFF);
    EXPECT_EQ(back.Get(L"Ratio").AsFloat(), 0.125f);
    EXPECT_EQ(back.Get(L"Long").AsText(), longText);
    EXPECT_EQ(back.Get(L"Unicode").AsText(), tree.Get(L"Unicode").AsText());
    EXPECT_TRUE(back.Has(L"Sub/Inner/Deep", Node::Kind::Int));
    EXPECT_EQ(back.Get(L"Sub/Inner/Deep").AsInt(), 3);
    EXPECT_EQ(back.Get(L"Sub/Text").AsText(), L"x");
}

TEST_F(SettingsTreeRegistryTest, ReadingOverlaysAndNeverRemoves) {
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"FromRegistry", L"2: 9");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Changed", L"3: now text");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Broken", L"2: x");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"AppPath", L"C:\\Sorvane");
    Node tree;
    tree.Get(L"Default") = 4;
    tree.Get(L"Changed") = 1;
    tree.Get(L"Broken") = 6;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(tree.Get(L"Default").AsInt(), 4);
    EXPECT_EQ(tree.Get(L"FromRegistry").AsInt(), 9);
    EXPECT_TRUE(tree.Has(L"Changed", Node::Kind::Text)) << Describe(tree.Get(L"Changed"));
    EXPECT_EQ(tree.Get(L"Broken").AsInt(), 6) << "an unparsable number keeps the entry's value";
    EXPECT_FALSE(tree.Has(L"AppPath", Node::Kind::Text));
    EXPECT_FALSE(tree.Has(L"AppPath", Node::Kind::None));
}

TEST_F(SettingsTreeRegistryTest, MissingKeyReadsAsFailureAndKeepsTheTree) {
    Node tree;
    tree.Get(L"Default") = 4;
    EXPECT_FALSE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests\\Absent"));
    EXPECT_EQ(tree.GetEntries().size(), 1u);
    EXPECT_EQ(tree.Get(L"Default").AsInt(), 4);
}

TEST_F(SettingsTreeRegistryTest, WriterNeverDeletesAndEmptyTextKeepsTheStoredOne) {
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Language", L"3: de");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Other", L"2: 1");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"PlayList", L"C:\\a.mp3");
    Node tree;
    tree.Get(L"Language") = L"";
    tree.Get(L"New") = 2;
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(StoredText(kKey, L"Language"), L"3: de");
    EXPECT_EQ(StoredText(kKey, L"Other"), L"2: 1");
    EXPECT_EQ(StoredText(kKey, L"PlayList"), L"C:\\a.mp3");
    EXPECT_EQ(StoredText(kKey, L"New"), L"2: 2");
}

TEST_F(SettingsTreeRegistryTest, NamesDifferingInCaseShareOneValueHoldingTheLastWritten) {
    Node tree;
    tree.Get(L"ShowFPS") = 1;
    tree.Get(L"showfps") = 2; // sorts after "ShowFPS", so it is written last
    EXPECT_EQ(tree.GetEntries().size(), 2u);
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(StoredText(kKey, L"SHOWFPS"), L"2: 2");

    Node back;
    ASSERT_TRUE(back.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(back.GetEntries().size(), 1u);
}

TEST_F(SettingsTreeRegistryTest, ValueNameWithSlashBecomesAChildEntryAndIsWrittenAsSubkey) {
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Audio/Volume", L"2: 40");
    Node tree;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    ASSERT_TRUE(tree.Has(L"Audio/Volume", Node::Kind::Int));
    tree.Get(L"Audio/Volume") = 41;
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(StoredText(std::wstring(kKey) + L"\\Audio", L"Volume"), L"2: 41");
    EXPECT_EQ(StoredText(kKey, L"Audio/Volume"), L"2: 40") << "the value under the old name stays";
}

TEST_F(SettingsTreeRegistryTest, SlashNameThroughANumberIsSkippedWithoutEndingTheRead) {
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"A", L"2: 1");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"A/B", L"2: 2");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Z", L"2: 3");
    Node tree;
    EXPECT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(tree.Has(L"A", Node::Kind::Int)) << Describe(tree.Get(L"A"));
    EXPECT_EQ(tree.Get(L"A").AsInt(), 1);
    EXPECT_EQ(tree.Get(L"Z").AsInt(), 3);
}

TEST_F(SettingsTreeRegistryTest, SubkeysAreReadRecursivelyAndReplaceOtherEntries) {
    const std::wstring sub = std::wstring(kKey) + L"\\Monitor";
    SeedText(HKEY_LOCAL_MACHINE, sub, L"Width", L"2: 1280");
    SeedText(HKEY_LOCAL_MACHINE, sub + L"\\Mode", L"Rate", L"2: 60");
    SeedKey(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\Empty");
    Node tree;
    tree.Get(L"Monitor") = 5;
    tree.Get(L"Empty/Kept") = 1;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(tree.Get(L"Monitor/Width").AsInt(), 1280);
    EXPECT_EQ(tree.Get(L"Monitor/Mode/Rate").AsInt(), 60);
    EXPECT_EQ(tree.Get(L"Empty/Kept").AsInt(), 1) << "an existing child tree is overlaid, not replaced";
}

TEST_F(SettingsTreeRegistryTest, OverlongNamesAndDataArePassedOver) {
    const std::wstring longestName(2047, L'n');
    const std::wstring tooLongName(2048, L'n');
    const std::size_t fittingChars = 4096 / sizeof(wchar_t) - 3; // with "3: " exactly 4096 bytes
    SeedText(HKEY_LOCAL_MACHINE, kKey, longestName, L"2: 1");
    SeedText(HKEY_LOCAL_MACHINE, kKey, tooLongName, L"2: 2");
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"Fits", L"3: " + std::wstring(fittingChars, L'f'));
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"TooBig", L"3: " + std::wstring(fittingChars + 1, L'b'));
    SeedText(HKEY_LOCAL_MACHINE, kKey, L"After", L"2: 3");
    Node tree;
    ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(tree.Has(longestName, Node::Kind::Int));
    EXPECT_FALSE(tree.Has(tooLongName, Node::Kind::Int));
    EXPECT_EQ(tree.Get(L"Fits").AsText().size(), fittingChars);
    EXPECT_FALSE(tree.Has(L"TooBig", Node::Kind::Text));
    EXPECT_EQ(tree.Get(L"After").AsInt(), 3);
}

} // namespace
