// The settings tree in memory: paths, kinds, copies, name order, the entry
// text format, and what its registry reader and writer ask of the registry.
#include "platform/registry_memory.h"
#include "settings/store/settings_tree.h"
#include "settings/store/settings_tree_format.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = Node::Kind;

class SettingsTreeTest : public ::testing::Test {
  protected:
    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
};

TEST_F(SettingsTreeTest, GetCreatesNoneEntriesAndChildTreesOnTheWay) {
    Node tree;
    Node::Value& a = tree.Get(L"A");
    EXPECT_EQ(a.GetKind(), Kind::None);
    EXPECT_EQ(a.AsInt(), 0);
    EXPECT_TRUE(tree.Has(L"A", Kind::None));

    tree.Get(L"B/C");
    EXPECT_TRUE(tree.Has(L"B", Kind::Child));
    EXPECT_TRUE(tree.Has(L"B/C", Kind::None));
    EXPECT_FALSE(tree.Has(L"B/C", Kind::Int));
    ASSERT_NE(tree.Get(L"B").AsNode(), nullptr);
    EXPECT_EQ(tree.Get(L"B").AsNode()->GetEntries().size(), 1u);
}

TEST_F(SettingsTreeTest, GetThroughAnEntryThatIsNoChildThrowsAndHasSaysFalse) {
    Node tree;
    tree.Get(L"A") = 5;
    EXPECT_THROW(tree.Get(L"A/B"), Node::KeyNotFound);
    EXPECT_FALSE(tree.Has(L"A/B", Kind::Int));
    EXPECT_FALSE(tree.Has(L"A/B", Kind::None));
    EXPECT_EQ(tree.Get(L"A").AsInt(), 5) << "the failed lookup changed the entry";
    EXPECT_FALSE(tree.Has(L"Missing/B", Kind::None));
    EXPECT_FALSE(tree.Has(L"Missing", Kind::None)) << "Has created an entry";
}

TEST_F(SettingsTreeTest, Utf8PathsNameTheSameEntriesAsWidePaths) {
    Node tree;
    tree.Get(L"Gr\x00fc\x00df"
             L"e/\x041c\x0438\x0440") = 7;
    EXPECT_EQ(tree.Get(std::string("Gr\xC3\xBC\xC3\x9F"
                                   "e/\xD0\x9C\xD0\xB8\xD1\x80"))
                  .AsInt(),
              7);
    EXPECT_EQ(tree.GetEntries().size(), 1u);
}

TEST_F(SettingsTreeTest, AccessorsGiveDefaultsForOtherKinds) {
    Node tree;
    struct Row {
        const char* what;
        Node::Value value;
        bool isNode;
        float asFloat;
        int asInt;
        bool asBool;
        std::wstring asText;
        std::string asUtf8;
    };
    const Row rows[] = {
        {"float", Node::Value(2.5f), false, 2.5f, 0, false, L"", ""},
        {"int", Node::Value(-4), false, 0.0f, -4, true, L"", ""},
        {"zero int", Node::Value(0), false, 0.0f, 0, false, L"", ""},
        {"text",
         Node::Value(L"fran\x00e7"
                     L"ais"),
         false, 0.0f, 0, false,
         L"fran\x00e7"
         L"ais",
         "fran\xC3\xA7"
         "ais"},
        {"text that looks like a number", Node::Value(L"1"), false, 0.0f, 0, false, L"1", "1"},
        {"none", Node::Value(), false, 0.0f, 0, false, L"", ""},
        {"child", Node::Value(std::make_unique<Node>()), true, 0.0f, 0, false, L"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.value.AsNode() != nullptr, row.isNode) << row.what;
        EXPECT_EQ(row.value.AsFloat(), row.asFloat) << row.what;
        EXPECT_EQ(row.value.AsInt(), row.asInt) << row.what;
        EXPECT_EQ(row.value.AsBool(), row.asBool) << row.what;
        EXPECT_EQ(row.value.AsText(), row.asText) << row.what;
        EXPECT_EQ(row.value.AsUtf8Text(), row.asUtf8) << row.what;
    }
    EXPECT_EQ(Node::Value(std::unique_ptr<Node>()).GetKind(), Kind::None);
}

TEST_F(SettingsTreeTest, CopiesOwnTheirOwnChildTrees) {
    Node tree;
    tree.Get(L"Sub/X") = 1;
    Node copy = tree;
    copy.Get(L"Sub/X") = 2;
    EXPECT_EQ(tree.Get(L"Sub/X").AsInt(), 1);

    Node::Value value = tree.Get(L"Sub");
    tree.Get(L"Sub") = 3; // destroys the tree's child; the copied value must not share it
    ASSERT_NE(value.AsNode(), nullptr);
    EXPECT_EQ(value.AsNode()->Get(L"X").AsInt(), 1);

    tree.Get(L"Other") = value;
    EXPECT_EQ(tree.Get(L"Other/X").AsInt(), 1);
}

TEST_F(SettingsTreeTest, EntriesAreOrderedByUtf16CodeUnits) {
    Node tree;
    for (const wchar_t* name : {L"b", L"ab", L"a", L"B", L"\xE000", L"Z", L"_", L"\x00e9"})
        tree.Get(name);
    tree.Get(L"\U00010437");
    std::vector<std::wstring> names;
    for (const auto& entry : tree.GetEntries())
        names.push_back(entry.first);
    // A character beyond the first plane is a surrogate pair, which sorts
    // below U+E000 in UTF-16 order.
    const std::vector<std::wstring> expected = {L"B", L"Z",      L"_",          L"a",     L"ab",
                                                L"b", L"\x00e9", L"\U00010437", L"\xE000"};
    EXPECT_EQ(names, expected);
}

TEST_F(SettingsTreeTest, EntryTextFormats) {
    EXPECT_EQ(FormatFloatEntry(0.5f), L"1: 0.500000");
    EXPECT_EQ(FormatFloatEntry(-1234.25f), L"1: -1234.250000");
    EXPECT_EQ(FormatFloatEntry(3e38f).substr(0, 6), L"1: 300");
    EXPECT_EQ(FormatIntEntry(-2147483647 - 1), L"2: -2147483648");
    EXPECT_EQ(FormatIntEntry(0), L"2: 0");
    const std::wstring longText(300, L'q');
    EXPECT_EQ(FormatTextEntry(longText), L"3: " + longText);
}

TEST_F(SettingsTreeTest, IntPayloadsParseAsPercentI) {
    struct Row {
        const wchar_t* payload;
        bool parses;
        int value;
    };
    const Row rows[] = {
        {L"42", true, 42},
        {L"  -17", true, -17},
        {L"0x1A", true, 26},
        {L"-0X10", true, -16},
        {L"017", true, 15},
        {L"08", true, 0},
        {L"0", true, 0},
        {L"0x", true, 0},
        {L"0xg", true, 0},
        {L"9z", true, 9},
        {L"+5", true, 5},
        {L"2147483648", true, 2147483647},
        {L"-2147483648", true, -2147483647 - 1},
        {L"-2147483649", true, -2147483647 - 1},
        {L"0x7fffffff", true, 2147483647},
        {L"99999999999999999999999", true, 2147483647},
        {L"", false, 0},
        {L"x", false, 0},
        {L"-", false, 0},
        {L"+-1", false, 0},
        {L"\x0661", false, 0},
    };
    for (const auto& row : rows) {
        const auto parsed = ParseIntPayload(row.payload);
        ASSERT_EQ(parsed.has_value(), row.parses) << testing::PrintToString(std::wstring(row.payload));
        if (parsed) {
            EXPECT_EQ(*parsed, row.value) << testing::PrintToString(std::wstring(row.payload));
        }
    }
}

TEST_F(SettingsTreeTest, FloatPayloadsParseAsPercentF) {
    struct Row {
        const wchar_t* payload;
        bool parses;
        float value;
    };
    const Row rows[] = {
        {L"1e3", true, 1000.0f}, {L" -2.5", true, -2.5f}, {L"+.5", true, 0.5f},
        {L"7abc", true, 7.0f},   {L"1.5e", true, 1.5f},   {L"", false, 0},
        {L"abc", false, 0},      {L"-+1", false, 0},      {L"1e999", false, 0},
    };
    for (const auto& row : rows) {
        const auto parsed = ParseFloatPayload(row.payload);
        ASSERT_EQ(parsed.has_value(), row.parses) << testing::PrintToString(std::wstring(row.payload));
        if (parsed) {
            EXPECT_EQ(*parsed, row.value) << testing::PrintToString(std::wstring(row.payload));
        }
    }
}

TEST_F(SettingsTreeTest, Utf8ConversionsReplaceWhatIsNotValid) {
    EXPECT_EQ(Utf8ToWide("a\xC3\xA9\xF0\x90\x90\xB7"), std::wstring(L"a\x00e9") + L"\U00010437");
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\xFFFD"
              L"b");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\xFFFD\xFFFD") << "an overlong form";
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), L"\xFFFD") << "a cut sequence";
    EXPECT_EQ(WideToUtf8(std::wstring(L"\x00e9") + L"\U00010437"), "\xC3\xA9\xF0\x90\x90\xB7");
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST_F(SettingsTreeTest, ReaderAndWriterAskForTheirRightsAndTheViewUnderWow64) {
    struct Case {
        bool wow64;
        REGSAM read;
        REGSAM write;
    };
    for (const Case& c : {Case{false, 0x20019, 0x2}, Case{true, 0x20119, 0x102}}) {
        registry.SetWow64Process(c.wow64);
        Node tree; // takes the view flag when it is made
        tree.Get(L"V") = 1;
        const std::size_t before = registry.Accesses().size();
        ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, L"Software\\Quenvale\\Sorvane 3D Screensaver"));
        ASSERT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, L"Software\\Quenvale\\Sorvane 3D Screensaver"));
        ASSERT_EQ(registry.Accesses().size(), before + 2);
        EXPECT_EQ(registry.Accesses()[before].sam, c.write) << "wow64 " << c.wow64;
        EXPECT_EQ(registry.Accesses()[before + 1].sam, c.read) << "wow64 " << c.wow64;
        EXPECT_EQ(registry.Accesses()[before].path, L"HKLM\\Software\\Quenvale\\Sorvane 3D Screensaver");
    }
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SettingsTreeTest, SubkeyThatCannotBeOpenedIsPassedOverAndEverythingElseIsRead) {
    const std::wstring key = L"Software\\Quenvale\\Sorvane 3D Screensaver";
    registry.PutText(HKEY_LOCAL_MACHINE, key + L"\\A", L"Early", L"2: 1");
    registry.PutText(HKEY_LOCAL_MACHINE, key + L"\\B", L"Locked", L"2: 2");
    registry.PutText(HKEY_LOCAL_MACHINE, key + L"\\C\\D", L"Locked", L"2: 3");
    registry.PutText(HKEY_LOCAL_MACHINE, key + L"\\C", L"Late", L"2: 4");
    registry.PutText(HKEY_LOCAL_MACHINE, key, L"Top", L"2: 5");
    registry.DenyOpen(HKEY_LOCAL_MACHINE, key + L"\\B");
    registry.DenyOpen(HKEY_LOCAL_MACHINE, key + L"\\C\\D");
    Node tree;
    EXPECT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, key));
    EXPECT_EQ(tree.Get(L"A/Early").AsInt(), 1);
    EXPECT_EQ(tree.Get(L"C/Late").AsInt(), 4) << "a subkey after a refused one is read";
    EXPECT_EQ(tree.Get(L"Top").AsInt(), 5) << "the key's own values are read after a refused subkey";
    EXPECT_FALSE(tree.Has(L"B", Kind::Child)) << "no entry for a subkey that could not be read";
    EXPECT_FALSE(tree.Has(L"C/D", Kind::Child));
    EXPECT_EQ(registry.OpenHandles(), 0u);

    EXPECT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, key)) << "the save writes around the refused subkeys";

    registry.DenyOpen(HKEY_LOCAL_MACHINE, key);
    Node unread;
    EXPECT_FALSE(unread.ReadFromRegistry(HKEY_LOCAL_MACHINE, key)) << "only the key itself fails the read";
    EXPECT_TRUE(unread.GetEntries().empty());
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SettingsTreeTest, FailedWriteStopsThereKeepingWhatWasWritten) {
    const std::wstring key = L"Software\\Quenvale\\Sorvane 3D Screensaver";
    registry.DenyWrites(HKEY_LOCAL_MACHINE, key + L"\\M");
    Node tree;
    tree.Get(L"A") = 1;
    tree.Get(L"M/X") = 2;
    tree.Get(L"Z") = 3;
    EXPECT_FALSE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(registry.Get(HKEY_LOCAL_MACHINE, key, L"A"));
    EXPECT_FALSE(registry.Get(HKEY_LOCAL_MACHINE, key + L"\\M", L"X"));
    EXPECT_FALSE(registry.Get(HKEY_LOCAL_MACHINE, key, L"Z"));
    EXPECT_EQ(registry.OpenHandles(), 0u);

    registry.DenyWrites(HKEY_LOCAL_MACHINE, L"Software\\Locked");
    EXPECT_FALSE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, L"Software\\Locked"));
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SettingsTreeTest, SuccessfulWriteFlushesEveryKeyItWrote) {
    Node tree;
    tree.Get(L"A") = 1;
    tree.Get(L"Sub/B") = 2;
    const std::size_t before = registry.Flushes();
    ASSERT_TRUE(tree.WriteToRegistry(HKEY_LOCAL_MACHINE, L"Software\\T"));
    EXPECT_EQ(registry.Flushes(), before + 2);
}

} // namespace
