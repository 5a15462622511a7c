// The analytics hit builder, byte for byte: query layout, prefixes, encoding,
// counters, engagement time and the header block.
#include "analytics/analytics_endpoints.h"
#include "analytics/google_analytics4.h"
#include "tests/unit/analytics_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr const char* kClient = "6F9619FF-8B86-D011-B42D-00CF4FC964FF";
const std::string kBase = std::string("/g/collect?v=2&tid=G-K3TQ7ZV5PW&cid=") + kClient + "&seg=1";

// The hit's key=value pairs after the base query, in order.
std::vector<std::pair<std::string, std::string>> HitPairs(const std::string& objectName, const std::string& prefix) {
    std::vector<std::pair<std::string, std::string>> pairs;
    EXPECT_EQ(objectName.compare(0, prefix.size(), prefix), 0) << "object name: " << objectName;
    std::string rest = objectName.substr(prefix.size());
    std::size_t at = 0;
    while (at < rest.size()) {
        EXPECT_EQ(rest[at], '&') << rest;
        std::size_t end = rest.find('&', at + 1);
        if (end == std::string::npos) end = rest.size();
        const std::string pair = rest.substr(at + 1, end - at - 1);
        const std::size_t equals = pair.find('=');
        pairs.emplace_back(pair.substr(0, equals), equals == std::string::npos ? "" : pair.substr(equals + 1));
        at = end;
    }
    return pairs;
}

std::vector<std::string> Keys(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::string> keys;
    for (const auto& p : pairs)
        keys.push_back(p.first);
    return keys;
}

class GoogleAnalytics4Test : public ::testing::Test {
  protected:
    const std::vector<RecordedPost>& Posts() const { return environment.transport->posts; }

    ScriptedEnvironment environment;
};

TEST_F(GoogleAnalytics4Test, SessionStartSendsThePageViewAndScreenViewOfTheExample) {
    environment.ticks = {1000, 1250, 1251, 1300, 1301, 1801, 1802};
    environment.randoms = {424242, 1111, 2222};
    {
        GoogleAnalytics4 analytics(environment, kClient, 1, true);
        analytics.SetAppName("Sorvane");
        analytics.SetAppVersion("1.0.5");
        analytics.SetScreenResolution("1920x1080");
        analytics.SetUserLanguage("en");
        analytics.SetUserProperty("language", "en");
        analytics.SetUserProperty("os_version", "10.0.19045");
        analytics.SetUserProperty("screen_count", "1");
        analytics.SetUserProperty("screen_size", "1920x1080");
        analytics.SetUserProperty("country", "US");
        analytics.SetUserProperty("os_language", "en");
        analytics.SendScreenView("Sorvane/Settings");

        const std::string head = kBase + "&sr=1920x1080&ul=en";
        const std::string page = "&dl=Sorvane%2FSettings&dt=Sorvane%2FSettings";
        const std::string properties = "&up.app_name=Sorvane&up.app_version=1.0.5&up.country=US&up.language=en"
                                       "&up.os_language=en&up.os_version=10.0.19045&up.screen_size=1920x1080"
                                       "&upn.screen_count=1";
        ASSERT_EQ(Posts().size(), 2u);
        EXPECT_EQ(Posts()[0].objectName,
                  head + "&_fv=1&_p=1111&_s=1&_ss=1" + page + "&en=page_view&sct=1" + properties);
        EXPECT_EQ(Posts()[1].objectName, head + "&_et=49&_p=2222&_s=2" + page +
                                             "&en=ScreenView&ep.page_location=Sorvane%2FSettings"
                                             "&ep.page_title=Sorvane%2FSettings&sct=1&sid=424242" +
                                             properties);
        for (const auto& post : Posts()) {
            EXPECT_EQ(post.body, "");
            EXPECT_EQ(post.referrer, "Application");
        }
    }
    // The destructor's "end" measures from the previous hit and keeps the page.
    ASSERT_EQ(Posts().size(), 3u);
    EXPECT_EQ(Posts()[2].objectName.substr(0, Posts()[2].objectName.find("&up.")),
              kBase + "&sr=1920x1080&ul=en&_et=500&_p=2147483647&_s=3&dl=Sorvane%2FSettings"
                      "&dt=Sorvane%2FSettings&en=end&sct=1&sid=424242");
}

TEST_F(GoogleAnalytics4Test, ConstructionOpensASecureTransportToTheCollectionHostWithoutHeaders) {
    environment.userAgent = "Agent/7";
    GoogleAnalytics4 analytics(environment, kClient, 5, false);
    EXPECT_EQ(environment.openedHost, kCollectionHost);
    EXPECT_TRUE(environment.openedSecure);
    EXPECT_EQ(environment.openedUserAgent, "Agent/7");
    // The transport keeps its own initial block until a name or version is set.
    EXPECT_EQ(environment.transport->headerUpdates, 0);
    analytics.SendEvent("x");
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_FALSE(Posts()[0].headersSet);
    ASSERT_EQ(environment.randomMaxima.size(), 2u);
    EXPECT_EQ(environment.randomMaxima[0], 1000000000u) << "session identifier range";
    EXPECT_EQ(environment.randomMaxima[1], 2147483647u) << "_p range";
}

TEST_F(GoogleAnalytics4Test, UserAgentFallsBackToNameAndVersionOfThatMoment) {
    environment.hasUserAgent = false;
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    EXPECT_EQ(environment.openedUserAgent, "/");
    const std::string rest =
        "Content-Length: 0\nContent-Type: text/plain; charset=utf-8\nOrigin: " + std::string(kMakerWebOrigin) +
        "\nsec-fetch-site: cross-site\nsec-fetch-mode: no-cors\nsec-fetch-dest: empty\n"
        "Connection: close\n";
    analytics.SetAppName("Sorvane");
    analytics.SendEvent("a");
    analytics.SetAppVersion("1.0.5");
    analytics.SendEvent("b");
    ASSERT_EQ(Posts().size(), 2u);
    EXPECT_EQ(Posts()[0].headers, "User-Agent: Sorvane/\n" + rest);
    EXPECT_EQ(Posts()[1].headers, "User-Agent: Sorvane/1.0.5\n" + rest);
    EXPECT_EQ(environment.transport->headerUpdates, 2);
}

TEST_F(GoogleAnalytics4Test, HeaderBlockCarriesTheSystemUserAgent) {
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    analytics.SetAppName("Sorvane");
    analytics.SendEvent("a");
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_EQ(Posts()[0].headers.substr(0, Posts()[0].headers.find('\n') + 1),
              "User-Agent: " + environment.userAgent + "\n");
}

TEST(PercentEncode, EncodesEveryByteButLettersDigitsAndFourMarks) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Sorvane/Settings", "Sorvane%2FSettings"},
        {"a b", "a%20b"},
        {"a+b", "a%2Bb"},
        {"\xC3\xA9", "%C3%A9"},
        {"AZaz09-_.~", "AZaz09-_.~"},
        {std::string("\0\x7F\xFF", 3), "%00%7F%FF"},
        {"&=?%", "%26%3D%3F%25"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PercentEncode(c.in), c.out) << "input " << testing::PrintToString(c.in);

    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~";
    for (int byte = 0; byte < 256; ++byte) {
        const std::string in(1, static_cast<char>(byte));
        char expected[4];
        std::snprintf(expected, sizeof(expected), "%%%02X", byte);
        const bool kept = unreserved.find(static_cast<char>(byte)) != std::string::npos && byte != 0;
        EXPECT_EQ(PercentEncode(in), kept ? in : std::string(expected)) << "byte " << byte;
    }
}

TEST(IsDigitsOnly, AcceptsOnlyNonEmptyAsciiDigitStrings) {
    const struct {
        std::string text;
        bool digits;
    } cases[] = {
        {"0", true},    {"007", true},       {"1", true},   {"2147483648999", true},        {"-5", false},
        {"1.5", false}, {"1.0.5", false},    {"", false},   {"1920x1080", false},           {" 1", false},
        {"1 ", false},  {"\xD9\xA1", false}, {"+1", false}, {std::string("1\0", 2), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDigitsOnly(c.text), c.digits) << testing::PrintToString(c.text);
}

TEST(ByteOrder, SortsByUnsignedBytesShorterPrefixFirst) {
    ByteMap map;
    for (const char* key : {"up.b", "upn.a", "_p", "Z", "_", "a", "ab", "\xC3\xA9", "A", "ep.x", "epn.x", "_fv"})
        map[key] = "";
    std::vector<std::string> order;
    for (const auto& entry : map)
        order.push_back(entry.first);
    const std::vector<std::string> expected = {"A",  "Z",    "_",     "_fv",  "_p",    "a",
                                               "ab", "ep.x", "epn.x", "up.b", "upn.a", "\xC3\xA9"};
    EXPECT_EQ(order, expected);
}

TEST_F(GoogleAnalytics4Test, UserPropertiesGoUnderUpnOnlyWhenAllDigits) {
    GoogleAnalytics4 analytics(environment, kClient, 3, false);
    analytics.SetUserProperty("one", "1");
    analytics.SetUserProperty("version", "1.0.5");
    analytics.SetUserProperty("size", "1920x1080");
    analytics.SetUserProperty("empty", "");
    analytics.SetUserProperty("space", "a b");
    analytics.SetUserProperty("one", "01"); // overwrite keeps one entry
    analytics.SendEvent("e");
    ASSERT_EQ(Posts().size(), 1u);
    const std::string query = Posts()[0].objectName;
    EXPECT_NE(query.find("&sid=" + std::to_string(1000000000) +
                         "&up.empty=&up.size=1920x1080&up.space=a%20b"
                         "&up.version=1.0.5&upn.one=01"),
              std::string::npos)
        << query;
    EXPECT_EQ(query.find("upn.one=1&"), std::string::npos) << query;
}

TEST_F(GoogleAnalytics4Test, EventParametersAreMappedByTheFirstMatchingRule) {
    GoogleAnalytics4 analytics(environment, kClient, 2, false);
    environment.ticks = {5000, 5000};
    ByteMap parameters;
    parameters["debug_mode"] = "false";
    parameters["count"] = "12";
    parameters["label"] = "a/b";
    parameters["version"] = "1.5";
    analytics.SendHit("custom", parameters);
    ASSERT_EQ(Posts().size(), 1u);
    const auto pairs = HitPairs(Posts()[0].objectName, kBase);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"_dbg", "1"},       {"_et", "4000"},  {"_p", "2147483647"},  {"_s", "1"},
        {"_ss", "1"},        {"en", "custom"}, {"ep.label", "a%2Fb"}, {"ep.version", "1.5"},
        {"epn.count", "12"}, {"sct", "2"},     {"sid", "1000000000"}};
    EXPECT_EQ(pairs, expected);
}

TEST_F(GoogleAnalytics4Test, PageViewCarriesNoParametersAndSetsTheCurrentPage) {
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    ByteMap parameters;
    parameters["page_location"] = "Home Page";
    parameters["extra"] = "x";
    analytics.SendHit("page_view", parameters);
    analytics.SendHit("page_view", ByteMap()); // no location: the page stays
    for (const auto& post : Posts()) {
        const auto keys = Keys(HitPairs(post.objectName, kBase));
        for (const char* absent : {"sid", "_et", "ep.extra", "ep.page_location"})
            EXPECT_EQ(std::count(keys.begin(), keys.end(), absent), 0) << absent << " in " << post.objectName;
        EXPECT_NE(post.objectName.find("&dl=Home%20Page&dt=Home%20Page&en=page_view"), std::string::npos)
            << post.objectName;
    }
}

TEST_F(GoogleAnalytics4Test, SupportSessionIsAPageViewThatKeepsTheCurrentPage) {
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    analytics.SendEvent("supportSession");
    analytics.SendScreenView("P1");
    analytics.SendEvent("supportSession");
    ASSERT_EQ(Posts().size(), 4u);
    EXPECT_EQ(HitPairs(Posts()[0].objectName, kBase),
              (std::vector<std::pair<std::string, std::string>>{
                  {"_p", "2147483647"}, {"_s", "1"}, {"_ss", "1"}, {"en", "page_view"}, {"sct", "1"}}));
    const auto last = HitPairs(Posts()[3].objectName, kBase);
    EXPECT_EQ(last,
              (std::vector<std::pair<std::string, std::string>>{
                  {"_p", "2147483647"}, {"_s", "4"}, {"dl", "P1"}, {"dt", "P1"}, {"en", "page_view"}, {"sct", "1"}}));
}

TEST_F(GoogleAnalytics4Test, FirstVisitAndSessionStartMarkOnlyTheFirstHit) {
    for (bool firstVisit : {true, false}) {
        ScriptedEnvironment env;
        {
            GoogleAnalytics4 analytics(env, kClient, 7, firstVisit);
            analytics.SendEvent("a");
            analytics.SendEvent("b");
        }
        const auto& posts = env.transport->posts;
        ASSERT_EQ(posts.size(), 3u);
        for (std::size_t i = 0; i < posts.size(); ++i) {
            const auto pairs = HitPairs(posts[i].objectName, kBase);
            const auto keys = Keys(pairs);
            const bool first = i == 0;
            EXPECT_EQ(std::count(keys.begin(), keys.end(), "_fv"), first && firstVisit ? 1 : 0) << i;
            EXPECT_EQ(std::count(keys.begin(), keys.end(), "_ss"), first ? 1 : 0) << i;
            auto s = std::find_if(pairs.begin(), pairs.end(), [](const auto& p) { return p.first == "_s"; });
            ASSERT_NE(s, pairs.end());
            EXPECT_EQ(s->second, std::to_string(i + 1));
        }
        EXPECT_NE(posts[2].objectName.find("&en=end&sct=7"), std::string::npos) << posts[2].objectName;
    }
}

TEST_F(GoogleAnalytics4Test, EngagementTimeSurvivesATickWrap) {
    environment.ticks = {0xFFFFFF00u, 0x00000010u, 0x00000011u, 0x00000111u, 0x00000112u};
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    analytics.SendEvent("wrapped");
    analytics.SendEvent("after");
    ASSERT_EQ(Posts().size(), 2u);
    EXPECT_NE(Posts()[0].objectName.find("&_et=272&"), std::string::npos) << Posts()[0].objectName;
    EXPECT_NE(Posts()[1].objectName.find("&_et=256&"), std::string::npos) << Posts()[1].objectName;
}

TEST_F(GoogleAnalytics4Test, TimingSendsItsValueAsDigits) {
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    analytics.SendTiming(4294967295u);
    ASSERT_EQ(Posts().size(), 1u);
    EXPECT_NE(Posts()[0].objectName.find("&en=timing&epn.value=4294967295&sct=1&sid="), std::string::npos)
        << Posts()[0].objectName;
}

TEST_F(GoogleAnalytics4Test, EverySetterCallAppendsToTheBaseQuery) {
    GoogleAnalytics4 analytics(environment, "id with space", -3, false);
    analytics.SetUserLanguage("en");
    analytics.SetScreenResolution("800x600");
    analytics.SetUserLanguage("de");
    analytics.SendEvent("x");
    ASSERT_EQ(Posts().size(), 1u);
    // The base part is not encoded; the negative session count is signed.
    EXPECT_EQ(Posts()[0].objectName.substr(0, Posts()[0].objectName.find("&_et=")),
              "/g/collect?v=2&tid=G-K3TQ7ZV5PW&cid=id with space&seg=1&ul=en&sr=800x600&ul=de");
    EXPECT_NE(Posts()[0].objectName.find("&sct=-3&"), std::string::npos);
}

TEST_F(GoogleAnalytics4Test, EventNamesAndPagesAreEncodedButKeysAreNot) {
    GoogleAnalytics4 analytics(environment, kClient, 1, false);
    analytics.SetUserProperty("odd key", "v&w=1");
    analytics.SendScreenView("Caf\xC3\xA9 page?x=1");
    analytics.SendEvent("a b");
    ASSERT_EQ(Posts().size(), 3u);
    const std::string& last = Posts()[2].objectName;
    EXPECT_NE(last.find("&dl=Caf%C3%A9%20page%3Fx%3D1&dt=Caf%C3%A9%20page%3Fx%3D1&en=a%20b&"), std::string::npos)
        << last;
    EXPECT_NE(last.find("&up.odd key=v%26w%3D1"), std::string::npos) << last;
}

} // namespace
