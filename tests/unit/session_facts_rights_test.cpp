// Session facts where the maker's key refuses writes, and the 64-bit view a
// 32-bit process on 64-bit Windows must use, on the in-memory registry.
#include "analytics/session_facts.h"
#include "platform/registry_memory.h"
#include "tests/unit/analytics_fakes.h"

#include <gtest/gtest.h>

namespace {

constexpr const wchar_t* kMaker = L"Software\\Quenvale";

bool FixedGuid(Guid& guid) {
    guid.data1 = 0x01234567;
    guid.data2 = 0x89AB;
    guid.data3 = 0xCDEF;
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = static_cast<std::uint8_t>(0x10 * i + i);
    return true;
}

class SessionFactsRights : public ::testing::Test {
  protected:
    std::wstring Stored(const wchar_t* name) {
        auto chars = registry.GetChars(HKEY_LOCAL_MACHINE, kMaker, name);
        if (!chars) return L"(missing)";
        while (!chars->empty() && chars->back() == L'\0')
            chars->pop_back();
        return *chars;
    }
    std::shared_ptr<GoogleAnalytics4> Start() {
        return StartAnalyticsSession(environment, FixedGuid, MachineFacts(), {}, L"de");
    }

    platform::MemoryRegistry registry;
    platform::ScopedRegistry scope{registry};
    ScriptedEnvironment environment;
};

TEST_F(SessionFactsRights, IdentifierThatCannotBeStoredMeansNoClient) {
    registry.DenyWrites(HKEY_LOCAL_MACHINE, kMaker);
    const ClientGuid guid = ReadOrCreateClientGuid(FixedGuid);
    EXPECT_EQ(guid.id, "");
    EXPECT_FALSE(guid.newlyCreated);
    EXPECT_FALSE(Start());
    EXPECT_EQ(Stored(L"SessionCount"), L"(missing)");
    EXPECT_TRUE(environment.transport->posts.empty());
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SessionFactsRights, CountThatCannotBeStoredIsStillUsedOnce) {
    registry.PutText(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", L"ID-1", REG_SZ, true);
    registry.PutText(HKEY_LOCAL_MACHINE, kMaker, L"SessionCount", L"5", REG_SZ, true);
    registry.DenyWrites(HKEY_LOCAL_MACHINE, kMaker);
    auto analytics = Start();
    ASSERT_TRUE(analytics);
    EXPECT_EQ(Stored(L"SessionCount"), L"5");
    ASSERT_EQ(environment.transport->posts.size(), 2u);
    const std::string& page = environment.transport->posts[0].objectName;
    EXPECT_NE(page.find("&cid=ID-1&seg=1&sr=0x0&ul=de&_p="), std::string::npos) << page;
    EXPECT_NE(page.find("&sct=6&"), std::string::npos) << page;
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(SessionFactsRights, ThirtyTwoBitProcessKeepsItsFactsInThe64BitView) {
    registry.SetWow64Process(true);
    auto analytics = Start();
    ASSERT_TRUE(analytics);
    EXPECT_EQ(Stored(L"ClientGuid"), L"01234567-89AB-CDEF-0011-223344556677");
    EXPECT_EQ(Stored(L"SessionCount"), L"1");
    EXPECT_FALSE(registry.HasKey(HKEY_LOCAL_MACHINE, L"Software\\WOW6432Node\\Quenvale"));
    for (const auto& access : registry.Accesses())
        EXPECT_TRUE(access.sam & KEY_WOW64_64KEY) << "access to " << testing::PrintToString(access.path);
}

} // namespace
