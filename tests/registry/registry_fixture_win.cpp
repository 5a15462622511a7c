// The registry fixture over Wine's registry, in the test's own prefix.
#include "tests/registry/registry_fixture.h"

#include "tests/e2e/driver/registry.h"

struct RegistryTest::Backend {};

RegistryTest::RegistryTest() = default;
RegistryTest::~RegistryTest() = default;

void RegistryTest::SetUp() {
    const struct {
        HKEY root;
        const wchar_t* path;
    } ownKeys[] = {
        {HKEY_LOCAL_MACHINE, L"Software\\Quenvale"},
        {HKEY_CURRENT_USER, L"Software\\Quenvale"},
        {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver_is1"},
        {HKEY_LOCAL_MACHINE,
         L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver and Animated Wallpaper_is1"},
        {HKEY_LOCAL_MACHINE, L"Software\\SorvaneTests"},
        {HKEY_CURRENT_USER, L"Software\\SorvaneTests"},
    };
    for (const auto& key : ownKeys) {
        ASSERT_TRUE(e2e::DeleteKeyTree(key.root, key.path));
        if (key.root == HKEY_LOCAL_MACHINE) {
            ASSERT_TRUE(e2e::DeleteKeyTree(key.root, e2e::View32(key.path)));
        }
    }
    e2e::DeleteValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     L"QuenvaleAnimatedWallpaper");
}

void RegistryTest::Seed(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                        const std::vector<BYTE>& data) {
    ASSERT_TRUE(e2e::SeedValue(root, path, name, type, data));
}

void RegistryTest::SeedKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::optional<RawValue> RegistryTest::Raw(HKEY root, const std::wstring& path, const std::wstring& name) {
    auto value = e2e::ReadValue(root, path, name);
    if (!value) return std::nullopt;
    return RawValue{value->type, value->data};
}

bool RegistryTest::KeyExists(HKEY root, const std::wstring& path) { return e2e::KeyExists(root, path); }

std::wstring RegistryTest::View32(const std::wstring& softwarePath) { return e2e::View32(softwarePath); }
