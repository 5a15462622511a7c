// A stored client identifier that is not in the program's own form must not
// reshape the hits: it goes into the query encoded, and ours unchanged.
#include "analytics/session_facts.h"
#include "platform/registry_memory.h"
#include "platform/registry_access.h"
#include "tests/unit/analytics_fakes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool NoGuid(Guid&) { return false; }

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(AnalyticsClientIdInQuery, StoredIdentifierIsEncodedIntoTheQuery) {
    const struct {
        const wchar_t* stored;
        const char* inQuery;
    } cases[] = {
        {L"01234567-89AB-CDEF-0011-223344556677", "&cid=01234567-89AB-CDEF-0011-223344556677&seg=1&"},
        {L"id&en=forged", "&cid=id%26en%3Dforged&seg=1&"},
        {L"two words\r\nHost: elsewhere", "&cid=two%20words%0D%0AHost%3A%20elsewhere&seg=1&"},
        {L"{braced}", "&cid=%7Bbraced%7D&seg=1&"},
        {L"caf\u00e9", "&cid=caf%C3%A9&seg=1&"},
    };
    for (const auto& c : cases) {
        platform::MemoryRegistry registry;
        platform::ScopedRegistry scope(registry);
        registry.PutText(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", c.stored, REG_SZ, true);
        ScriptedEnvironment environment;
        auto analytics = StartAnalyticsSession(environment, NoGuid, MachineFacts(), {}, L"en");
        ASSERT_TRUE(analytics) << c.inQuery;
        const auto& posts = environment.transport->posts;
        ASSERT_EQ(posts.size(), 2u) << c.inQuery;
        for (const auto& post : posts) {
            EXPECT_NE(post.objectName.find(c.inQuery), std::string::npos)
                << "expected " << c.inQuery << " in " << post.objectName;
            EXPECT_EQ(Count(post.objectName, "&en="), 1u) << post.objectName;
            EXPECT_EQ(post.objectName.find_first_of(" \r\n"), std::string::npos) << post.objectName;
        }
        // The stored value itself is left as it is.
        EXPECT_EQ(registry.GetChars(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid").value_or(L"(missing)"),
                  std::wstring(c.stored) + L'\0');
    }
}

} // namespace
