// The remembered next playlist entry, in the user's part of the registry.
#include "main_program/audio/remembered_entry.h"

#include "platform/registry_access.h"

namespace audio {

namespace {

constexpr const wchar_t* kValueName = L"NextPlayListEntry";

} // namespace

std::wstring ReadRememberedEntry() {
    std::wstring path;
    ReadRegistryString(HKEY_CURRENT_USER, kProductKey, kValueName, path, false);
    return path;
}

void RememberEntry(const std::wstring& path) { WriteRegistryString(HKEY_CURRENT_USER, kProductKey, kValueName, path, false); }

} // namespace audio
