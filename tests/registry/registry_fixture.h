// A fixture for tests that run against both registries: the in-memory one
// natively, Wine's real one in the Windows build. Each test starts with none
// of the program's keys present.
#pragma once

#include "platform/win_types.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The bytes of a UTF-16 text as the registry stores it, with or without a
// terminating NUL.
std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated = false);

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest();
    ~RegistryTest() override;
    void SetUp() override;

    // Writes a value with exactly this type and data, creating keys.
    void Seed(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& data);
    void SeedText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
                  DWORD type = REG_SZ, bool terminated = false) {
        Seed(root, path, name, type, TextBytes(text, terminated));
    }
    void SeedKey(HKEY root, const std::wstring& path);
    std::optional<RawValue> Raw(HKEY root, const std::wstring& path, const std::wstring& name);
    bool KeyExists(HKEY root, const std::wstring& path);
    // Where a path below HKLM\Software lies in the 32-bit view, the one a
    // 32-bit installer writes (unchanged where there is only one view).
    static std::wstring View32(const std::wstring& softwarePath);

private:
    struct Backend;
    std::unique_ptr<Backend> backend_;
};
