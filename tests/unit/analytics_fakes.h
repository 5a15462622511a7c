// A scripted analytics environment and a transport that records what it is
// given, for tests of the hit builder.
#pragma once

#include "analytics/google_analytics4.h"

#include <deque>
#include <string>
#include <vector>

struct RecordedPost {
    std::string objectName;
    std::string body;
    std::string referrer;
    std::string headers; // the header block in force when it was posted
    bool headersSet = false;
};

class RecordingTransport final : public HitTransport {
  public:
    void SetHeaders(const char* headers) override {
        headers_ = headers ? headers : "";
        headersSet_ = headers != nullptr;
        ++headerUpdates;
    }
    bool Post(const char* objectName, const char* body, const char* referrer) override {
        posts.push_back({objectName, body ? body : "(null)", referrer ? referrer : "(null)", headers_, headersSet_});
        return false;
    }

    std::vector<RecordedPost> posts;
    int headerUpdates = 0;

  private:
    std::string headers_;
    bool headersSet_ = false;
};

class ScriptedEnvironment final : public AnalyticsEnvironment {
  public:
    // The next scripted reading, or `now` when the script is used up.
    std::uint32_t Tick() override {
        ++tickReadings;
        if (ticks.empty()) return now;
        const std::uint32_t value = ticks.front();
        ticks.pop_front();
        return value;
    }
    // The next scripted number, or `maximum` when the script is used up.
    std::uint32_t Random(std::uint32_t maximum) override {
        randomMaxima.push_back(maximum);
        if (randoms.empty()) return maximum;
        const std::uint32_t value = randoms.front();
        randoms.pop_front();
        return value;
    }
    bool SystemUserAgent(std::string& text) override {
        if (!hasUserAgent) return false;
        text = userAgent;
        return true;
    }
    std::shared_ptr<HitTransport> OpenTransport(const char* host, bool secure, const std::string& agent) override {
        openedHost = host ? host : "(null)";
        openedSecure = secure;
        openedUserAgent = agent;
        return transport;
    }

    std::uint32_t now = 1000;
    std::deque<std::uint32_t> ticks;
    int tickReadings = 0;
    std::deque<std::uint32_t> randoms;
    std::vector<std::uint32_t> randomMaxima;
    bool hasUserAgent = true;
    std::string userAgent = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 10.0)";
    std::string openedHost;
    bool openedSecure = false;
    std::string openedUserAgent;
    std::shared_ptr<RecordingTransport> transport = std::make_shared<RecordingTransport>();
};
