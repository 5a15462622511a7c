// The analytics client: builds Google Analytics 4 collection hits and posts
// them, one request per hit, through a transport.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// Orders keys by their unsigned byte values, the shorter key first when one
// is a prefix of the other ("_" sorts after capitals, before small letters).
struct ByteOrder {
    bool operator()(const std::string& a, const std::string& b) const;
};
using ByteMap = std::map<std::string, std::string, ByteOrder>;

// The two transport calls the client makes.
class HitTransport {
  public:
    virtual ~HitTransport() = default;
    // A copy of the header block (lines ended by "\n") sent with later requests.
    virtual void SetHeaders(const char* headers) = 0;
    // Starts a POST; the result only says whether it finished at once.
    virtual bool Post(const char* objectName, const char* body, const char* referrer) = 0;
};

// What the client takes from the system: the millisecond tick, random
// numbers, the browser's user-agent text and a transport to the collection host.
class AnalyticsEnvironment {
  public:
    virtual ~AnalyticsEnvironment() = default;
    // A millisecond counter that wraps after 2^32 (timeGetTime).
    virtual std::uint32_t Tick() = 0;
    // A pseudo-random integer in 0..maximum, both included.
    virtual std::uint32_t Random(std::uint32_t maximum) = 0;
    // The system's user-agent text, or false when it cannot be had.
    virtual bool SystemUserAgent(std::string& text) = 0;
    virtual std::shared_ptr<HitTransport> OpenTransport(const char* host, bool secure,
                                                        const std::string& userAgent) = 0;
};

// The system's environment (Windows only).
AnalyticsEnvironment& SystemAnalyticsEnvironment();
// Waits at most `milliseconds` for the system environment's hits still on
// their way; true when none is left (Windows only).
bool WaitForHitsInFlight(std::uint32_t milliseconds);

class GoogleAnalytics4 {
  public:
    // On the system's environment (Windows only).
    GoogleAnalytics4(const std::string& clientId, std::int32_t sessionCount, bool firstVisit);
    GoogleAnalytics4(AnalyticsEnvironment& environment, const std::string& clientId, std::int32_t sessionCount,
                     bool firstVisit);
    // Sends the event "end".
    virtual ~GoogleAnalytics4();
    GoogleAnalytics4(const GoogleAnalytics4&) = delete;
    GoogleAnalytics4& operator=(const GoogleAnalytics4&) = delete;

    void SetAppName(const std::string& name);
    void SetAppVersion(const std::string& version);
    // Each appends to every later hit's query, so call each once.
    void SetScreenResolution(const std::string& text);
    void SetUserLanguage(const std::string& text);
    void SetUserProperty(const std::string& key, const std::string& value);

    // "supportSession" is sent as a "page_view" without parameters.
    void SendEvent(const std::string& name);
    // A "page_view" that makes `page` the current page, then a "ScreenView".
    void SendScreenView(const std::string& page);
    void SendTiming(std::uint32_t value);
    // The general form every send goes through: one hit of `eventName`.
    void SendHit(const std::string& eventName, ByteMap parameters);

  private:
    void RebuildHeaders();
    std::string UserAgentText();

    AnalyticsEnvironment& environment;
    // Shared so that the system's transport can outlive the client: the "end"
    // hit is still in flight when the client is gone.
    std::shared_ptr<HitTransport> transport;
    std::string clientId;
    std::string baseQuery;
    std::string screenResolution;
    std::string userLanguage;
    std::string appVersion;
    std::string appName;
    std::uint32_t lastHitTime = 0;
    std::string currentPage;
    std::int32_t sessionCount = 0;
    std::int32_t sessionId = 0;
    std::int32_t hitCount = 0;
    bool firstVisit = false;
    ByteMap userProperties;
};

// True when `text` is not empty and holds only the ASCII digits 0 to 9.
bool IsDigitsOnly(const std::string& text);
// Copies letters, digits and "-_.~"; every other byte becomes %XX (upper case).
std::string PercentEncode(const std::string& text);
