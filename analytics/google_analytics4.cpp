// The analytics client's hit builder: query layout, prefixes, encoding and
// engagement time.
#include "analytics/google_analytics4.h"

#include "analytics/analytics_endpoints.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kSessionIdLimit = 1000000000;
constexpr std::uint32_t kHitRandomLimit = 2147483647;

bool IsUnreserved(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '_' || byte == '.' || byte == '~';
}

} // namespace

bool ByteOrder::operator()(const std::string& a, const std::string& b) const {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    return order != 0 ? order < 0 : a.size() < b.size();
}

bool IsDigitsOnly(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

GoogleAnalytics4::GoogleAnalytics4(AnalyticsEnvironment& environment, const std::string& clientId,
                                   std::int32_t sessionCount, bool firstVisit)
    : environment(environment) {
    transport = environment.OpenTransport(kCollectionHost, true, UserAgentText());
    this->clientId = clientId;
    baseQuery = std::string("v=2") + "&tid=" + kMeasurementId + "&cid=" + clientId + "&seg=1";
    appName = "undefined";
    this->sessionCount = sessionCount;
    sessionId = static_cast<std::int32_t>(environment.Random(kSessionIdLimit));
    hitCount = 0;
    this->firstVisit = firstVisit;
    lastHitTime = environment.Tick();
}

GoogleAnalytics4::~GoogleAnalytics4() {
    // A destructor must not throw; a lost "end" hit is no worse than any
    // other lost hit.
    try {
        SendEvent("end");
    } catch (...) {
    }
}

void GoogleAnalytics4::SetAppName(const std::string& name) {
    appName = name;
    userProperties["app_name"] = appName;
    RebuildHeaders();
}

void GoogleAnalytics4::SetAppVersion(const std::string& version) {
    appVersion = version;
    userProperties["app_version"] = appVersion;
    RebuildHeaders();
}

void GoogleAnalytics4::SetScreenResolution(const std::string& text) {
    screenResolution = text;
    baseQuery += "&sr=" + text;
}

void GoogleAnalytics4::SetUserLanguage(const std::string& text) {
    userLanguage = text;
    baseQuery += "&ul=" + text;
}

void GoogleAnalytics4::SetUserProperty(const std::string& key, const std::string& value) {
    userProperties[key] = value;
}

void GoogleAnalytics4::SendEvent(const std::string& name) {
    SendHit(name == "supportSession" ? "page_view" : name, ByteMap());
}

void GoogleAnalytics4::SendScreenView(const std::string& page) {
    ByteMap parameters;
    parameters["page_location"] = page;
    parameters["page_title"] = page;
    SendHit("page_view", parameters);
    SendHit("ScreenView", parameters);
}

void GoogleAnalytics4::SendTiming(std::uint32_t value) {
    ByteMap parameters;
    parameters["value"] = std::to_string(value);
    SendHit("timing", std::move(parameters));
}

void GoogleAnalytics4::SendHit(const std::string& eventName, ByteMap parameters) {
    std::string query = baseQuery;

    parameters["session_id"] = std::to_string(sessionId);
    // Unsigned 32-bit subtraction: still the elapsed time across a wrap.
    const std::uint32_t elapsed = environment.Tick() - lastHitTime;
    parameters["engagement_time_msec"] = std::to_string(elapsed);
    lastHitTime = environment.Tick();

    ByteMap hit;
    if (firstVisit) {
        hit["_fv"] = "1";
        firstVisit = false;
    }
    if (hitCount == 0) {
        hit["_ss"] = "1";
        hitCount = 1;
    } else if (hitCount < INT32_MAX) {
        ++hitCount;
    }
    hit["sct"] = std::to_string(sessionCount);
    hit["_s"] = std::to_string(hitCount);
    hit["_p"] = std::to_string(environment.Random(kHitRandomLimit));
    hit["en"] = eventName;

    if (eventName == "page_view") {
        auto location = parameters.find("page_location");
        if (location != parameters.end()) currentPage = location->second;
    } else {
        for (const auto& [key, value] : parameters) {
            if (key == "engagement_time_msec")
                hit["_et"] = value;
            else if (key == "session_id")
                hit["sid"] = value;
            else if (key == "debug_mode")
                hit["_dbg"] = "1";
            else if (IsDigitsOnly(value))
                hit["epn." + key] = value;
            else
                hit["ep." + key] = value;
        }
    }

    if (!currentPage.empty()) {
        hit["dl"] = currentPage;
        hit["dt"] = currentPage;
    }
    for (const auto& [key, value] : userProperties)
        hit[(IsDigitsOnly(value) ? "upn." : "up.") + key] = value;

    for (const auto& [key, value] : hit)
        query += "&" + key + "=" + PercentEncode(value);

    const std::string objectName = "/g/collect?" + query;
    if (transport) transport->Post(objectName.c_str(), "", "Application");
}

void GoogleAnalytics4::RebuildHeaders() {
    std::string headers;
    headers += "User-Agent: " + UserAgentText() + "\n";
    headers += "Content-Length: 0\n";
    headers += "Content-Type: text/plain; charset=utf-8\n";
    headers += std::string("Origin: ") + kMakerWebOrigin + "\n";
    headers += "sec-fetch-site: cross-site\n";
    headers += "sec-fetch-mode: no-cors\n";
    headers += "sec-fetch-dest: empty\n";
    headers += "Connection: close\n";
    if (transport) transport->SetHeaders(headers.c_str());
}

std::string GoogleAnalytics4::UserAgentText() {
    std::string text;
    if (environment.SystemUserAgent(text)) return text;
    return appName + "/" + appVersion;
}
