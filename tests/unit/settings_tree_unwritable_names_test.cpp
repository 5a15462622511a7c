// Values in the product key whose names could never be written back as keys
// stay out of the settings tree, so that they cannot stop the settings from
// being saved.
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "settings/store/settings_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SettingsTreeUnwritableNames, ValueWhosePathNeedsAnOverlongKeyNameIsLeftOutAndTheRestSaves) {
    const std::wstring n255(255, L'N'), n256(256, L'N');
    const struct {
        std::wstring name;
        bool kept;
    } cases[] = {
        {n255 + L"/V", true},
        {n256 + L"/V", false},
        {L"K\\" + n256 + L"/V", false},
        {L"A/" + n256 + L"/V", false},
        {L"K\\" + n255 + L"/V", true},
        {n256, true}, // a value name, not a key name: registry value names may be longer
        {L"\\\\/V", true},
    };
    for (const auto& c : cases) {
        platform::MemoryRegistry registry;
        platform::ScopedRegistry scope(registry);
        registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, c.name, L"2: 7");
        registry.PutText(HKEY_LOCAL_MACHINE, kProductKey, L"ZSetting", L"2: 1");
        const std::string what = "value name of " + std::to_string(c.name.size()) + " characters";

        Node tree;
        EXPECT_TRUE(tree.ReadFromRegistry(HKEY_LOCAL_MACHINE, kProductKey)) << what;
        EXPECT_EQ(tree.Has(c.name, Node::Kind::Int), c.kept) << what;
        EXPECT_EQ(tree.Get(L"ZSetting").AsInt(), 1) << what;
        tree.Get(L"ZSetting") = 2;
        EXPECT_TRUE(tree.WriteToRegistry(HKEY_CURRENT_USER, L"Saved")) << what;
        const std::wstring saved = registry.GetChars(HKEY_CURRENT_USER, L"Saved", L"ZSetting").value_or(L"(missing)");
        EXPECT_EQ(saved.substr(0, saved.find(L'\0')), L"2: 2") << what;
        EXPECT_EQ(registry.OpenHandles(), 0u) << what;
    }
}

} // namespace
