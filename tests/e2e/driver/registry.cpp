// Registry seeding and reading for tests under Wine.
#include "tests/e2e/driver/registry.h"

#include <sddl.h>

#include <cstring>
#include <string_view>

namespace e2e {
namespace {

// Every access names the 64-bit view explicitly: a 32-bit test program then
// sees the registry as the 64-bit one does (the 32-bit view is reached by its
// real path, View32), and on 32-bit Windows the flag is ignored.
constexpr REGSAM kView = KEY_WOW64_64KEY;

} // namespace

bool Is64BitWindows() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring View32(const std::wstring& softwarePath) {
    constexpr std::wstring_view kSoftware = L"Software\\";
    if (!Is64BitWindows() || softwarePath.compare(0, kSoftware.size(), kSoftware) != 0) return softwarePath;
    return L"Software\\WOW6432Node\\" + softwarePath.substr(kSoftware.size());
}

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
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    // The system adds a terminator to a text when the character after the
    // data is NUL, and for data of one byte it looks at the character before
    // it: non-NUL characters on both sides keep the data exactly as given.
    std::vector<BYTE> padded(data.size() + 5, 0xFF);
    if (!data.empty()) std::memcpy(padded.data() + 2, data.data(), data.size());
    const LONG status = RegSetValueExW(key, name.c_str(), 0, type, padded.data() + 2, static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SeedText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type,
              bool terminated) {
    return SeedValue(root, path, name, type, Utf16Bytes(text, terminated));
}

std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return std::nullopt;
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

std::map<std::wstring, RegistryValue> ReadValues(HKEY root, const std::wstring& path) {
    std::map<std::wstring, RegistryValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return values;
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        RegistryValue value;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        value.data.assign(data.begin(), data.begin() + size);
        values[std::wstring(name.data(), nameLength)] = value;
    }
    RegCloseKey(key);
    return values;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

namespace {

bool SetKeyPermissions(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC | kView, &key) != ERROR_SUCCESS) return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool set = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
                     RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    if (descriptor) LocalFree(descriptor);
    RegCloseKey(key);
    return set;
}

// Gives everyone full access to the key and every key below it.
void Unlock(HKEY root, const std::wstring& path) {
    SetKeyPermissions(root, path, L"D:(A;OICI;KA;;;WD)");
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return;
    std::vector<std::wstring> children;
    wchar_t name[256];
    for (DWORD i = 0; RegEnumKeyW(key, i, name, 256) == ERROR_SUCCESS; ++i) children.push_back(name);
    RegCloseKey(key);
    for (const auto& child : children) Unlock(root, path + L"\\" + child);
}

void DeleteTree(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(root, path.c_str(), kView, 0);
}

} // namespace

bool DeleteKeyTree(HKEY root, const std::wstring& path) {
    DeleteTree(root, path);
    if (!KeyExists(root, path)) return true;
    // A key an earlier test locked: give the access back first.
    Unlock(root, path);
    DeleteTree(root, path);
    return !KeyExists(root, path);
}

bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE | kView, &key) != ERROR_SUCCESS) return false;
    const bool deleted = RegDeleteValueW(key, name.c_str()) == ERROR_SUCCESS;
    RegCloseKey(key);
    return deleted;
}

bool DenyWrites(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | kView, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    // Everyone may read; the owner keeps the right to change the permissions back.
    return SetKeyPermissions(root, path, L"D:P(A;;KR;;;WD)(A;;WD;;;OW)");
}

bool DenyReads(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | kView, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    // Nobody may do anything; the owner keeps the right to change that back.
    return SetKeyPermissions(root, path, L"D:P(A;;WD;;;OW)");
}

} // namespace e2e
