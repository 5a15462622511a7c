// Registry seeding and reading for tests under Wine.
#include "tests/e2e/driver/registry.h"

#include <cstring>

namespace e2e {

std::wstring RegistryValue::Chars() const {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool terminated) {
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    if (!bytes.empty()) std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

bool SeedValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
               const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SeedText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type,
              bool terminated) {
    return SeedValue(root, path, name, type, Utf16Bytes(text, terminated));
}

std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    RegistryValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool DeleteKeyTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
    return !KeyExists(root, path);
}

bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    return RegDeleteKeyValueW(root, path.c_str(), name.c_str()) == ERROR_SUCCESS;
}

} // namespace e2e
