// The registry seam: exactly the registry calls the program makes, with the
// Win32 API's semantics, so that the portable code runs against Windows'
// registry or against an in-memory one.
#pragma once

#include "platform/win_types.h"

namespace platform {

class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // RegOpenKeyExW(root, subKey, 0, sam, result)
    virtual LONG OpenKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) = 0;
    // RegCreateKeyExW(root, subKey, 0, L"", 0, sam, nullptr, result, nullptr)
    virtual LONG CreateKey(HKEY root, const wchar_t* subKey, REGSAM sam, HKEY* result) = 0;
    // RegQueryValueExW; data may be null to ask for type and size only.
    virtual LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    // RegSetValueExW
    virtual LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) = 0;
    // RegEnumKeyW: capacity in characters, terminator included.
    virtual LONG EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD capacity) = 0;
    // RegEnumValueW: *nameLength is the capacity in characters on entry and
    // the name's length without terminator on success.
    virtual LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                           BYTE* data, DWORD* size) = 0;
    // RegQueryInfoKeyW, asking for the number of values only.
    virtual LONG QueryValueCount(HKEY key, DWORD* values) = 0;
    virtual LONG FlushKey(HKEY key) = 0;
    virtual LONG CloseKey(HKEY key) = 0;
    // True for a 32-bit process on 64-bit Windows.
    virtual bool IsWow64Process() = 0;
};

// The registry in use: Windows' own on Windows, an in-memory one elsewhere,
// or whatever a test installed with ScopedRegistry.
RegistryApi& Registry();

class ScopedRegistry {
public:
    explicit ScopedRegistry(RegistryApi& replacement);
    ~ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

private:
    RegistryApi* previous_;
};

// Held for the whole of one registry write (a settings tree, a text value),
// so that a process that must end does not end in the middle of one.
class RegistryWriteScope {
public:
    RegistryWriteScope();
    ~RegistryWriteScope();
    RegistryWriteScope(const RegistryWriteScope&) = delete;
    RegistryWriteScope& operator=(const RegistryWriteScope&) = delete;
};

// Waits until no registry write is under way on another thread, and keeps any
// from starting afterwards: for a process about to end.
void StopRegistryWrites();

// An open key, closed when it goes out of scope.
class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { Close(); }
    RegistryKey(RegistryKey&& other) noexcept : key_(other.Release()) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Get() const { return key_; }
    HKEY* Receive() { Close(); return &key_; }
    HKEY Release() { HKEY key = key_; key_ = nullptr; return key; }
    explicit operator bool() const { return key_ != nullptr; }
    void Close();

private:
    HKEY key_ = nullptr;
};

} // namespace platform
