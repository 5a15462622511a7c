// Seeding and reading registry values with exact types and bytes, for tests
// that run under Wine.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    // The data as UTF-16 characters, all of them (a terminator included if stored).
    std::wstring Chars() const;
    bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
};

// Every function here works in the 64-bit view of the registry, whatever the
// test program's own bitness; the 32-bit view is reached by its path.
bool Is64BitWindows();
// A path below HKLM\Software as it lies in the 32-bit view (where a 32-bit
// installer writes): under WOW6432Node on 64-bit Windows, unchanged on 32-bit.
std::wstring View32(const std::wstring& softwarePath);

std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool terminated = false);

// Writes a value with exactly this type and data, creating keys; false on failure.
bool SeedValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
               const std::vector<BYTE>& data);
bool SeedText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
              DWORD type = REG_SZ, bool terminated = false);
std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name);
// Every value of the key, by name (empty when the key is missing).
std::map<std::wstring, RegistryValue> ReadValues(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);
// Removes a key with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::wstring& path);
bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name);
// Gives the key (created if missing) a security descriptor that lets everyone
// read it but nobody write values or create subkeys, so that the program's
// writes to it fail as they do for a user without rights.
bool DenyWrites(HKEY root, const std::wstring& path);
// Gives the key (created if missing) a security descriptor that lets nobody
// open it, as a key of another owner or a damaged one may be.
bool DenyReads(HKEY root, const std::wstring& path);

} // namespace e2e
