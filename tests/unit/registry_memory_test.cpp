// The in-memory registry keeps the Win32 API's contracts that the program's
// code depends on, so that native results carry over to Windows.
#include "platform/registry_memory.h"

#include <gtest/gtest.h>

namespace {

class MemoryRegistryTest : public ::testing::Test {
protected:
    platform::MemoryRegistry registry;

    HKEY Open(const wchar_t* path, REGSAM sam) {
        HKEY key = nullptr;
        EXPECT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE, path, sam, &key), ERROR_SUCCESS);
        return key;
    }
};

TEST_F(MemoryRegistryTest, QueryReportsSizeThenRefusesTooSmallBuffers) {
    registry.PutText(HKEY_LOCAL_MACHINE, L"Software\\K", L"V", L"abcd");
    HKEY key = Open(L"Software\\K", KEY_READ);
    DWORD type = 0, size = 0;
    ASSERT_EQ(registry.QueryValue(key, L"V", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4 * sizeof(wchar_t));
    BYTE small[2];
    DWORD smallSize = sizeof(small);
    EXPECT_EQ(registry.QueryValue(key, L"V", &type, small, &smallSize), ERROR_MORE_DATA);
    EXPECT_EQ(smallSize, 4 * sizeof(wchar_t));
    EXPECT_EQ(registry.QueryValue(key, L"Missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(registry.CloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(registry.CloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(MemoryRegistryTest, RightsOfTheHandleAreEnforced) {
    registry.PutText(HKEY_LOCAL_MACHINE, L"Software\\K", L"V", L"abcd");
    HKEY writeOnly = nullptr;
    ASSERT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, L"Software\\K", KEY_SET_VALUE, &writeOnly), ERROR_SUCCESS);
    DWORD size = 0, count = 0;
    wchar_t name[16];
    EXPECT_EQ(registry.QueryValue(writeOnly, L"V", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.QueryValueCount(writeOnly, &count), ERROR_ACCESS_DENIED);
    EXPECT_EQ(registry.EnumKey(writeOnly, 0, name, 16), ERROR_ACCESS_DENIED);
    registry.CloseKey(writeOnly);

    HKEY readOnly = Open(L"Software\\K", KEY_READ);
    const BYTE data[2] = {'a', 0};
    EXPECT_EQ(registry.SetValue(readOnly, L"V", REG_SZ, data, 2), ERROR_ACCESS_DENIED);
    registry.CloseKey(readOnly);
}

TEST_F(MemoryRegistryTest, SubkeysEnumerateSortedWithoutRegardToCaseValuesInCreationOrder) {
    for (const wchar_t* name : {L"beta", L"Alpha", L"gamma", L"Delta"})
        registry.AddKey(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\K\\") + name);
    registry.PutText(HKEY_LOCAL_MACHINE, L"Software\\K", L"z", L"1");
    registry.PutText(HKEY_LOCAL_MACHINE, L"Software\\K", L"a", L"2");
    registry.PutText(HKEY_LOCAL_MACHINE, L"Software\\K", L"Z", L"3"); // same value as "z"

    HKEY key = Open(L"Software\\K", KEY_READ);
    std::vector<std::wstring> keys;
    wchar_t name[256];
    for (DWORD i = 0; registry.EnumKey(key, i, name, 256) == ERROR_SUCCESS; ++i) keys.push_back(name);
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"Alpha", L"beta", L"Delta", L"gamma"}));

    DWORD count = 0;
    ASSERT_EQ(registry.QueryValueCount(key, &count), ERROR_SUCCESS);
    ASSERT_EQ(count, 2u);
    std::vector<std::wstring> values;
    for (DWORD i = 0;; ++i) {
        DWORD length = 256, size = 0;
        if (registry.EnumValue(key, i, name, &length, nullptr, nullptr, &size) != ERROR_SUCCESS) break;
        EXPECT_EQ(length, std::wstring(name).size());
        values.push_back(name);
    }
    EXPECT_EQ(values, (std::vector<std::wstring>{L"z", L"a"}));
    EXPECT_EQ(*registry.GetChars(HKEY_LOCAL_MACHINE, L"Software\\K", L"z"), L"3");

    DWORD tiny = 1, size = 0;
    EXPECT_EQ(registry.EnumValue(key, 0, name, &tiny, nullptr, nullptr, &size), ERROR_MORE_DATA);
    BYTE data[1];
    DWORD length = 256, dataSize = sizeof(data);
    EXPECT_EQ(registry.EnumValue(key, 0, name, &length, nullptr, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(registry.EnumKey(key, 0, name, 3), ERROR_MORE_DATA);
    registry.CloseKey(key);
}

TEST_F(MemoryRegistryTest, KeyNamesLongerThan255CharactersAreRefused) {
    HKEY key = nullptr;
    const std::wstring longest(255, L'k');
    EXPECT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, (L"Software\\" + longest).c_str(), KEY_READ, &key),
              ERROR_SUCCESS);
    registry.CloseKey(key);
    EXPECT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, (L"Software\\" + longest + L"k").c_str(), KEY_READ, &key),
              ERROR_INVALID_PARAMETER);
}

} // namespace
