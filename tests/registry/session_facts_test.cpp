// The analytics switch, client identifier, session counter and session start,
// against the in-memory registry natively and Wine's registry in the Windows
// build.
#include "analytics/session_facts.h"
#include "tests/registry/registry_fixture.h"
#include "tests/unit/analytics_fakes.h"

#include <cstring>

namespace {

constexpr const wchar_t* kMaker = L"Software\\Quenvale";
constexpr const char* kFixedGuidText = "6F9619FF-8B86-D011-B42D-00CF4FC964FF";

bool FixedGuid(Guid& guid) {
    guid.data1 = 0x6F9619FF;
    guid.data2 = 0x8B86;
    guid.data3 = 0xD011;
    const std::uint8_t tail[8] = {0xB4, 0x2D, 0x00, 0xCF, 0x4F, 0xC9, 0x64, 0xFF};
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = tail[i];
    return true;
}

bool NoGuid(Guid&) { return false; }

MachineFacts ExampleFacts() {
    MachineFacts facts;
    facts.primaryWidth = 1920;
    facts.primaryHeight = 1080;
    facts.osVersion = OsVersion{10, 0, 19045};
    facts.country = "US";
    facts.osLanguage = "en";
    return facts;
}

const std::vector<RECT> kOneMonitor = {{0, 0, 1920, 1080}};

class SessionFactsTest : public RegistryTest {
  protected:
    // The stored value as text, or "(missing)" / "(type N)" when it is no REG_SZ.
    std::wstring Stored(const wchar_t* name) {
        auto raw = Raw(HKEY_LOCAL_MACHINE, kMaker, name);
        if (!raw) return L"(missing)";
        if (raw->type != REG_SZ) return L"(type " + std::to_wstring(raw->type) + L")";
        std::wstring text(raw->data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(&text[0], raw->data.data(), text.size() * sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }

    std::shared_ptr<GoogleAnalytics4> Start(const std::vector<RECT>& monitors = kOneMonitor,
                                            const MachineFacts& facts = ExampleFacts(), GuidSource source = FixedGuid) {
        return StartAnalyticsSession(environment, source, facts, monitors, L"en");
    }
    const std::vector<RecordedPost>& Posts() const { return environment.transport->posts; }

    ScriptedEnvironment environment;
};

TEST_F(SessionFactsTest, AValueOfAnyTypeAndContentInEitherViewDisablesAnalytics) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"text 0", REG_SZ, TextBytes(L"0", true)},
        {"text false", REG_SZ, TextBytes(L"false")},
        {"empty text with its terminator", REG_SZ, TextBytes(L"", true)},
        {"text with no data at all", REG_SZ, {}},
        {"REG_DWORD 1", REG_DWORD, {1, 0, 0, 0}},
        {"REG_DWORD 0", REG_DWORD, {0, 0, 0, 0}},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, TextBytes(L"1", true)},
        {"REG_BINARY of no data", REG_BINARY, {}},
    };
    EXPECT_FALSE(IsAnalyticsDisabled()) << "no maker key";
    SeedKey(HKEY_LOCAL_MACHINE, kMaker);
    SeedKey(HKEY_LOCAL_MACHINE, View32(kMaker));
    EXPECT_FALSE(IsAnalyticsDisabled()) << "no value";
    for (const auto& c : cases) {
        Seed(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics", c.type, c.data);
        EXPECT_TRUE(IsAnalyticsDisabled()) << c.what;
    }
}

TEST_F(SessionFactsTest, PerUserValueDoesNotDisableAnalytics) {
    SeedText(HKEY_CURRENT_USER, kMaker, L"DisableAnalytics", L"1", REG_SZ, true);
    EXPECT_FALSE(IsAnalyticsDisabled());
}

TEST_F(SessionFactsTest, MissingClientGuidIsCreatedStoredAndMarkedNew) {
    const ClientGuid first = ReadOrCreateClientGuid(FixedGuid);
    EXPECT_EQ(first.id, kFixedGuidText);
    EXPECT_TRUE(first.newlyCreated);
    auto raw = Raw(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, REG_SZ);
    EXPECT_EQ(Stored(L"ClientGuid"), L"6F9619FF-8B86-D011-B42D-00CF4FC964FF");

    const ClientGuid second = ReadOrCreateClientGuid(NoGuid);
    EXPECT_EQ(second.id, kFixedGuidText);
    EXPECT_FALSE(second.newlyCreated);
}

TEST_F(SessionFactsTest, StoredClientGuidIsReadAsUtf8AndEmptyTextStaysEmpty) {
    const struct {
        const char* what;
        std::vector<BYTE> data;
        std::string id;
        bool created;
    } cases[] = {
        {"stored identifier", TextBytes(L"abc-123", true), "abc-123", false},
        {"non-ASCII text", TextBytes(L"\u00e9-\u0416"), "\xC3\xA9-\xD0\x96", false},
        {"empty text with its terminator", TextBytes(L"", true), "", false},
        {"no data at all", {}, kFixedGuidText, true},
        {"one byte: no whole character", {'7'}, kFixedGuidText, true},
    };
    for (const auto& c : cases) {
        Seed(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", REG_SZ, c.data);
        const ClientGuid guid = ReadOrCreateClientGuid(FixedGuid);
        EXPECT_EQ(guid.id, c.id) << c.what;
        EXPECT_EQ(guid.newlyCreated, c.created) << c.what;
    }
}

TEST_F(SessionFactsTest, NoGuidFromTheSystemMeansNoIdentifierAndNoWrite) {
    const ClientGuid guid = ReadOrCreateClientGuid(NoGuid);
    EXPECT_EQ(guid.id, "");
    EXPECT_FALSE(guid.newlyCreated);
    EXPECT_EQ(Stored(L"ClientGuid"), L"(missing)");
}

TEST_F(SessionFactsTest, SessionCountIsTheStoredDecimalPlusOneOrStartsAgain) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        std::int32_t count;
    } cases[] = {
        {"12", REG_SZ, TextBytes(L"12", true), 13},
        {"007", REG_SZ, TextBytes(L"007"), 8},
        {"0", REG_SZ, TextBytes(L"0"), 1},
        {"abc", REG_SZ, TextBytes(L"abc", true), 1},
        {"leading space", REG_SZ, TextBytes(L" 12", true), 1},
        {"trailing space", REG_SZ, TextBytes(L"12 ", true), 1},
        {"sign", REG_SZ, TextBytes(L"+12", true), 1},
        {"empty text with its terminator", REG_SZ, TextBytes(L"", true), 1},
        {"REG_DWORD", REG_DWORD, {12, 0, 0, 0}, 1},
        {"largest that still grows", REG_SZ, TextBytes(L"2147483646"), 2147483647},
        {"would overflow", REG_SZ, TextBytes(L"2147483647"), 1},
        {"far beyond 64 bits", REG_SZ, TextBytes(L"123456789012345678901234567890"), 1},
        {"leading zeros of a small count", REG_SZ, TextBytes(L"0000000000000000000041"), 42},
    };
    for (const auto& c : cases) {
        Seed(HKEY_LOCAL_MACHINE, kMaker, L"SessionCount", c.type, c.data);
        EXPECT_EQ(NextSessionCount(), c.count) << c.what;
        EXPECT_EQ(Stored(L"SessionCount"), std::to_wstring(c.count)) << c.what;
    }
}

TEST_F(SessionFactsTest, MissingSessionCountStartsAtOneAndGrowsByOne) {
    EXPECT_EQ(NextSessionCount(), 1);
    EXPECT_EQ(Stored(L"SessionCount"), L"1");
    EXPECT_EQ(NextSessionCount(), 2);
    EXPECT_EQ(Stored(L"SessionCount"), L"2");
}

TEST_F(SessionFactsTest, FirstSessionSendsTheExamplePageViewWithANewIdentifier) {
    environment.randoms = {77, 1111, 2222};
    auto analytics = Start();
    ASSERT_TRUE(analytics);
    EXPECT_EQ(Stored(L"ClientGuid"), L"6F9619FF-8B86-D011-B42D-00CF4FC964FF");
    EXPECT_EQ(Stored(L"SessionCount"), L"1");
    ASSERT_EQ(Posts().size(), 2u);
    EXPECT_EQ(Posts()[0].objectName,
              std::string("/g/collect?v=2&tid=G-K3TQ7ZV5PW&cid=") + kFixedGuidText +
                  "&seg=1&sr=1920x1080&ul=en&_fv=1&_p=1111&_s=1&_ss=1"
                  "&dl=Sorvane%2FSettings&dt=Sorvane%2FSettings&en=page_view&sct=1"
                  "&up.app_name=Sorvane&up.app_version=1.0.5&up.country=US&up.language=en&up.os_language=en"
                  "&up.os_version=10.0.19045&up.screen_size=1920x1080&upn.screen_count=1");
    EXPECT_NE(Posts()[1].objectName.find("&_s=2&dl=Sorvane%2FSettings&dt=Sorvane%2FSettings&en=ScreenView"
                                         "&ep.page_location=Sorvane%2FSettings&ep.page_title=Sorvane%2FSettings"
                                         "&sct=1&sid=77&up.app_name=Sorvane"),
              std::string::npos)
        << Posts()[1].objectName;
}

TEST_F(SessionFactsTest, NextSessionReusesTheIdentifierWithoutFirstVisit) {
    Start().reset();
    const std::size_t before = Posts().size();
    auto analytics = Start(kOneMonitor, ExampleFacts(), NoGuid);
    ASSERT_TRUE(analytics);
    EXPECT_EQ(Stored(L"SessionCount"), L"2");
    ASSERT_EQ(Posts().size(), before + 2);
    const std::string& page = Posts()[before].objectName;
    EXPECT_EQ(page.find("_fv"), std::string::npos) << page;
    EXPECT_NE(page.find(std::string("&cid=") + kFixedGuidText + "&"), std::string::npos) << page;
    EXPECT_NE(page.find("&_s=1&_ss=1&"), std::string::npos) << page;
    EXPECT_NE(page.find("&sct=2&"), std::string::npos) << page;
}

struct OptOut {
    const char* what;
    bool in32BitView; // where a 32-bit tool, such as the 32-bit reg.exe, writes it
    DWORD type;
    std::vector<BYTE> data;
};

void PrintTo(const OptOut& o, std::ostream* out) { *out << o.what; }

class DisabledAnalyticsTest : public SessionFactsTest, public testing::WithParamInterface<OptOut> {};

TEST_P(DisabledAnalyticsTest, StartsNoSessionAndTouchesNothing) {
    const OptOut& o = GetParam();
    Seed(HKEY_LOCAL_MACHINE, o.in32BitView ? View32(kMaker) : kMaker, L"DisableAnalytics", o.type, o.data);
    EXPECT_FALSE(Start()) << o.what;
    EXPECT_EQ(Stored(L"SessionCount"), L"(missing)") << o.what;
    EXPECT_EQ(Stored(L"ClientGuid"), L"(missing)") << o.what;
    EXPECT_TRUE(Posts().empty()) << o.what;
}

INSTANTIATE_TEST_SUITE_P(OptOuts, DisabledAnalyticsTest,
                         testing::Values(OptOut{"text 0", false, REG_SZ, TextBytes(L"0", true)},
                                         OptOut{"REG_DWORD 1, the usual switch", false, REG_DWORD, {1, 0, 0, 0}},
                                         OptOut{"REG_SZ with no data", false, REG_SZ, {}},
                                         OptOut{"REG_DWORD 0 in the 32-bit view", true, REG_DWORD, {0, 0, 0, 0}},
                                         OptOut{"text in the 32-bit view", true, REG_SZ, TextBytes(L"1", true)}));

TEST_F(SessionFactsTest, EmptyStoredIdentifierStartsNoSessionAndKeepsTheCount) {
    SeedText(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", L"", REG_SZ, true);
    SeedText(HKEY_LOCAL_MACHINE, kMaker, L"SessionCount", L"4", REG_SZ, true);
    EXPECT_FALSE(Start());
    EXPECT_EQ(Stored(L"SessionCount"), L"4");
    EXPECT_EQ(Stored(L"ClientGuid"), L"");
    EXPECT_TRUE(Posts().empty());
}

TEST_F(SessionFactsTest, EachMonitorIsReportedAndMissingFactsAreLeftOut) {
    const struct {
        const char* what;
        std::vector<RECT> monitors;
        bool withFacts;
        std::string properties;
    } cases[] = {
        {"two monitors",
         {{0, 0, 1920, 1080}, {1920, -200, 3200, 824}},
         true,
         "&up.app_name=Sorvane&up.app_version=1.0.5&up.country=US&up.language=en&up.os_language=en"
         "&up.os_version=10.0.19045&up.screen_size=1920x1080&up.screen_size2=1280x1024&upn.screen_count=2"},
        {"three monitors, no optional facts",
         {{0, 0, 800, 600}, {-1024, 0, 0, 768}, {0, 600, 640, 1080}},
         false,
         "&up.app_name=Sorvane&up.app_version=1.0.5&up.language=en&up.screen_size=800x600"
         "&up.screen_size2=1024x768&up.screen_size3=640x480&upn.screen_count=3"},
        {"no monitor records",
         {},
         true,
         "&up.app_name=Sorvane&up.app_version=1.0.5&up.country=US&up.language=en&up.os_language=en"
         "&up.os_version=10.0.19045&upn.screen_count=0"},
    };
    for (const auto& c : cases) {
        environment.transport->posts.clear();
        MachineFacts facts = ExampleFacts();
        if (!c.withFacts) {
            facts.osVersion.reset();
            facts.country.reset();
            facts.osLanguage.reset();
        }
        auto analytics = Start(c.monitors, facts);
        ASSERT_TRUE(analytics) << c.what;
        ASSERT_EQ(Posts().size(), 2u) << c.what;
        const std::string& page = Posts()[0].objectName;
        const std::size_t at = page.find("&up.");
        ASSERT_NE(at, std::string::npos) << page;
        EXPECT_EQ(page.substr(at), c.properties) << c.what;
    }
}

} // namespace
