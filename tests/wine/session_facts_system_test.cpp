// The session facts Windows supplies (GUIDs, OS version, display, country and
// UI language) and a whole session start on this machine, its hits captured
// on the wire when run under tests/capture/with_hit_capture.sh.
#include "analytics/http_transport.h"
#include "analytics/session_facts.h"
#include "platform/registry_access.h"
#include "tests/e2e/driver/hit_capture.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace {

constexpr DWORD kDeadline = 20000;

bool IsGuidText(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

bool AllOf(const std::string& text, int (*test)(int)) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [&](char c) { return test(static_cast<unsigned char>(c)); });
}

class SessionFactsSystem : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMakerKey)); }
    void TearDown() override { e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMakerKey); }
};

TEST_F(SessionFactsSystem, NewIdentifierIsAnUpperCaseGuidStoredOnceAndDiffersPerMachine) {
    const ClientGuid first = ReadOrCreateClientGuid();
    EXPECT_TRUE(IsGuidText(first.id)) << first.id;
    EXPECT_TRUE(first.newlyCreated);
    auto stored = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->Chars(), std::wstring(first.id.begin(), first.id.end()) + L'\0');

    const ClientGuid again = ReadOrCreateClientGuid();
    EXPECT_EQ(again.id, first.id);
    EXPECT_FALSE(again.newlyCreated);

    ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMakerKey));
    const ClientGuid other = ReadOrCreateClientGuid();
    EXPECT_TRUE(IsGuidText(other.id)) << other.id;
    EXPECT_NE(other.id, first.id);
}

TEST_F(SessionFactsSystem, MachineFactsAreThoseOfThisSystem) {
    OsVersion version;
    ASSERT_TRUE(QueryOsVersion(version));
    EXPECT_GE(version.major, 6u);
    EXPECT_GT(version.build, 0u);

    const MachineFacts facts = QueryMachineFacts();
    // The harness's X screen.
    EXPECT_EQ(facts.primaryWidth, 1280u);
    EXPECT_EQ(facts.primaryHeight, 1024u);
    ASSERT_TRUE(facts.osVersion);
    EXPECT_EQ(facts.osVersion->major, version.major);
    EXPECT_EQ(facts.osVersion->build, version.build);
    if (facts.country) {
        EXPECT_TRUE(facts.country->size() == 2 && AllOf(*facts.country, isupper)) << *facts.country;
    }
    ASSERT_TRUE(facts.osLanguage) << "Wine's UI language has an ISO name";
    EXPECT_TRUE(facts.osLanguage->size() >= 2 && AllOf(*facts.osLanguage, islower)) << *facts.osLanguage;
}

class SessionFactsCapture : public SessionFactsSystem {
  protected:
    void SetUp() override {
        if (!e2e::HitCaptureAvailable()) GTEST_SKIP() << "runs under tests/capture/with_hit_capture.sh";
        SessionFactsSystem::SetUp();
        std::string error;
        ASSERT_TRUE(e2e::RouteInternetThroughCapture(error)) << error;
    }
};

TEST_F(SessionFactsCapture, SessionStartOnThisMachineSendsThePageViewAndScreenView) {
    {
        auto analytics = StartAnalyticsSession({{0, 0, 1280, 1024}, {1280, 0, 2304, 768}}, L"de");
        ASSERT_TRUE(analytics);
    }
    auto stored = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Chars(), std::wstring(L"1") + L'\0');
    auto guid = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid");
    ASSERT_TRUE(guid);
    std::wstring wideId = guid->Chars();
    wideId.resize(36);
    const std::string id(wideId.begin(), wideId.end());

    const auto hits = e2e::WaitForCapturedRequests(3, kDeadline, [&](const e2e::CapturedRequest& request) {
        return request.target.find("&cid=" + id + "&") != std::string::npos;
    });
    ASSERT_EQ(hits.size(), 3u);
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> byEvent;
    for (const auto& hit : hits) {
        auto pairs = e2e::QueryPairs(hit.target);
        for (const auto& [key, value] : pairs)
            if (key == "en") byEvent[value] = pairs;
    }
    ASSERT_EQ(byEvent.size(), 3u) << "events page_view, ScreenView and end";
    const auto& page = byEvent["page_view"];
    auto value = [](const std::vector<std::pair<std::string, std::string>>& pairs, const std::string& key) {
        for (const auto& p : pairs)
            if (p.first == key) return p.second;
        return std::string("(absent)");
    };
    EXPECT_EQ(value(page, "cid"), id);
    EXPECT_EQ(value(page, "sr"), "1280x1024");
    EXPECT_EQ(value(page, "ul"), "de");
    EXPECT_EQ(value(page, "_fv"), "1");
    EXPECT_EQ(value(page, "_ss"), "1");
    EXPECT_EQ(value(page, "_s"), "1");
    EXPECT_EQ(value(page, "sct"), "1");
    EXPECT_EQ(value(page, "dl"), "Sorvane%2FSettings");
    EXPECT_EQ(value(page, "sid"), "(absent)");
    EXPECT_EQ(value(page, "up.language"), "de");
    EXPECT_EQ(value(page, "up.app_version"), "1.0.5");
    EXPECT_EQ(value(page, "upn.screen_count"), "2");
    EXPECT_EQ(value(page, "up.screen_size"), "1280x1024");
    EXPECT_EQ(value(page, "up.screen_size2"), "1024x768");
    EXPECT_NE(value(page, "up.os_version"), "(absent)");
    const auto& view = byEvent["ScreenView"];
    EXPECT_EQ(value(view, "_s"), "2");
    EXPECT_EQ(value(view, "ep.page_title"), "Sorvane%2FSettings");
    EXPECT_NE(value(view, "sid"), "(absent)");
    EXPECT_EQ(value(byEvent["end"], "_s"), "3");
}

} // namespace
