// Plain REG_SZ reads and writes over the registry seam.
#include "platform/registry_access.h"

#include "platform/registry.h"

#include <algorithm>
#include <vector>

bool IsRunningUnderWow64() { return platform::Registry().IsWow64Process(); }

REGSAM ReadAccess(bool use64BitView) {
    return KEY_READ | (use64BitView && IsRunningUnderWow64() ? KEY_WOW64_64KEY : 0);
}

REGSAM WriteAccess(bool use64BitView) {
    return KEY_SET_VALUE | (use64BitView && IsRunningUnderWow64() ? KEY_WOW64_64KEY : 0);
}

REGSAM ReadAccess32BitView() { return KEY_READ | (sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0); }

namespace {

HRESULT ReadText(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text, REGSAM access) {
    auto& registry = platform::Registry();
    platform::RegistryKey key;
    if (registry.OpenKey(root, subKey, access, key.Receive()) != ERROR_SUCCESS) return E_FAIL;

    DWORD type = REG_NONE;
    DWORD size = 0;
    // A value without one whole character is no text: a 1-byte ClientGuid
    // read as an empty one would stop analytics on the machine for good.
    if (registry.QueryValue(key.Get(), valueName, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size < sizeof(wchar_t))
        return E_FAIL;

    // Room for every byte (a buffer cut to whole characters would make the
    // second query fail on a value with a stray odd byte); only whole
    // characters are taken as text.
    std::vector<wchar_t> buffer((size + sizeof(wchar_t) - 1) / sizeof(wchar_t));
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (buffer.empty() ||
        registry.QueryValue(key.Get(), valueName, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ || bytes < sizeof(wchar_t))
        return E_FAIL;

    const std::size_t available = std::min<std::size_t>(buffer.size(), bytes / sizeof(wchar_t));
    std::size_t length = 0;
    while (length < available && buffer[length] != L'\0') ++length;
    text.assign(buffer.data(), length);
    return S_OK;
}

bool ValueExists(HKEY root, const wchar_t* subKey, const wchar_t* valueName, REGSAM access) {
    auto& registry = platform::Registry();
    platform::RegistryKey key;
    if (registry.OpenKey(root, subKey, access, key.Receive()) != ERROR_SUCCESS) return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LONG status = registry.QueryValue(key.Get(), valueName, &type, nullptr, &size);
    return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
}

} // namespace

HRESULT ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text,
                           bool use64BitView) {
    return ReadText(root, subKey, valueName, text, ReadAccess(use64BitView));
}

HRESULT ReadRegistryString32BitView(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text) {
    return ReadText(root, subKey, valueName, text, ReadAccess32BitView());
}

bool RegistryValueExistsInEitherView(HKEY root, const wchar_t* subKey, const wchar_t* valueName) {
    return ValueExists(root, subKey, valueName, ReadAccess(true)) ||
           ValueExists(root, subKey, valueName, ReadAccess32BitView());
}

HRESULT WriteRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const std::wstring& text,
                            bool use64BitView) {
    const platform::RegistryWriteScope writing;
    auto& registry = platform::Registry();
    platform::RegistryKey key;
    if (registry.CreateKey(root, subKey, WriteAccess(use64BitView), key.Receive()) != ERROR_SUCCESS) return E_FAIL;
    const auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (registry.SetValue(key.Get(), valueName, REG_SZ, reinterpret_cast<const BYTE*>(text.data()), bytes) !=
        ERROR_SUCCESS)
        return E_FAIL;
    registry.FlushKey(key.Get());
    return S_OK;
}
