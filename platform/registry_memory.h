// An in-memory registry with the semantics the program relies on: typed values
// with raw data, case-insensitive names, subkeys, access rights, the 32-bit
// view of HKLM\Software, and keys that refuse access. Used by native tests.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class MemoryRegistry final : public RegistryApi {
public:
    struct RawValue {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    struct Access {
        bool create = false;
        std::wstring path; // as resolved, starting with the root's name
        REGSAM sam = 0;
    };

    MemoryRegistry();
    ~MemoryRegistry() override;

    // Simulates a 32-bit process on 64-bit Windows: opens from
    // HKEY_LOCAL_MACHINE without KEY_WOW64_64KEY see Software\WOW6432Node.
    void SetWow64Process(bool on) { wow64_ = on; }

    // Direct access for tests, by full path below a root, no view applied.
    void Put(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, std::vector<BYTE> data);
    void PutText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 DWORD type = REG_SZ, bool terminated = false);
    void AddKey(HKEY root, const std::wstring& path);
    std::optional<RawValue> Get(HKEY root, const std::wstring& path, const std::wstring& name) const;
    // The value's data as characters (all of them, NULs included), if it exists.
    std::optional<std::wstring> GetChars(HKEY root, const std::wstring& path, const std::wstring& name) const;
    bool HasKey(HKEY root, const std::wstring& path) const;
    std::size_t ValueCount(HKEY root, const std::wstring& path) const;

    // Opening or creating the key with write rights, or creating a key below
    // it, fails with ERROR_ACCESS_DENIED.
    void DenyWrites(HKEY root, const std::wstring& path);
    // Any open or create of the key fails with ERROR_ACCESS_DENIED.
    void DenyOpen(HKEY root, const std::wstring& path);

    std::size_t OpenHandles() const { return handles_.size(); }
    const std::vector<Access>& Accesses() const { return accesses_; }
    std::size_t Flushes() const { return flushes_; }

    LONG OpenKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) override;
    LONG CreateKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) override;
    LONG QueryValue(HKEY handle, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValue(HKEY handle, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG EnumKey(HKEY handle, DWORD index, wchar_t* name, DWORD capacity) override;
    LONG EnumValue(HKEY handle, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type, BYTE* data,
                   DWORD* size) override;
    LONG QueryValueCount(HKEY handle, DWORD* values) override;
    LONG FlushKey(HKEY handle) override;
    LONG CloseKey(HKEY handle) override;
    bool IsWow64Process() override { return wow64_; }

    struct Key;

private:
    struct Handle {
        Key* key;
        REGSAM sam;
    };

    LONG Open(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result, bool create);
    Key* Resolve(HKEY root, const std::wstring& path, bool create) const;
    Key* KeyOf(HKEY handle, REGSAM need, LONG* error);

    bool wow64_ = false;
    std::unique_ptr<Key> machine_;
    std::unique_ptr<Key> user_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    std::vector<Access> accesses_;
    std::size_t flushes_ = 0;
};

} // namespace platform
