// What analytics costs the settings dialog's thread: building hits, and, under
// Windows, how long a send keeps its caller when the host never answers.
#include "analytics/google_analytics4.h"

#include <chrono>
#include <cstdio>
#include <memory>

#ifdef _WIN32
#include "analytics/http_transport.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

class DiscardingTransport final : public HitTransport {
  public:
    void SetHeaders(const char*) override {}
    bool Post(const char* objectName, const char*, const char*) override {
        bytes += std::char_traits<char>::length(objectName);
        return false;
    }
    std::size_t bytes = 0;
};

class FixedEnvironment final : public AnalyticsEnvironment {
  public:
    std::uint32_t Tick() override { return ++tick; }
    std::uint32_t Random(std::uint32_t maximum) override { return maximum / 3; }
    bool SystemUserAgent(std::string& text) override {
        text = "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 10.0)";
        return true;
    }
    std::shared_ptr<HitTransport> OpenTransport(const char*, bool, const std::string&) override { return transport; }
    std::uint32_t tick = 0;
    std::shared_ptr<DiscardingTransport> transport = std::make_shared<DiscardingTransport>();
};

void BenchHitBuilding() {
    FixedEnvironment environment;
    constexpr int kSessions = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kSessions; ++i) {
        GoogleAnalytics4 analytics(environment, "6F9619FF-8B86-D011-B42D-00CF4FC964FF", i + 1, i == 0);
        analytics.SetAppName("Sorvane");
        analytics.SetAppVersion("1.0.5");
        analytics.SetScreenResolution("1920x1080");
        analytics.SetUserLanguage("en");
        analytics.SetUserProperty("language", "en");
        analytics.SetUserProperty("os_version", "10.0.19045");
        analytics.SetUserProperty("screen_count", "2");
        analytics.SetUserProperty("screen_size", "1920x1080");
        analytics.SetUserProperty("screen_size2", "1280x1024");
        analytics.SetUserProperty("country", "US");
        analytics.SetUserProperty("os_language", "en");
        analytics.SendScreenView("Sorvane/Settings");
        analytics.SendEvent("VisitWebsiteClicked");
    } // and "end"
    const double total = MicrosecondsSince(start);
    std::printf("session start with 4 hits (page_view, ScreenView, VisitWebsiteClicked, end): %.1f us per session, "
                "%.2f us per hit, %zu query bytes per hit\n",
                total / kSessions, total / (kSessions * 4.0), environment.transport->bytes / (kSessions * 4));
}

#ifdef _WIN32
// Sends to a name that never resolves: the time until Post returns is all the
// caller ever waits; the completions follow on WinINet's threads.
void BenchSendStart() {
    constexpr int kRequests = 50;
    HttpTransport transport("sorvane-bench.invalid", true, "SorvaneBench/1.0");
    double first = 0;
    double slowest = 0;
    const auto start = Clock::now();
    for (int i = 0; i < kRequests; ++i) {
        const auto one = Clock::now();
        transport.Post("/g/collect?v=2&en=bench", "", "Application");
        const double took = MicrosecondsSince(one);
        if (i == 0) first = took;
        if (took > slowest) slowest = took;
    }
    const double total = MicrosecondsSince(start);
    const auto waitStart = Clock::now();
    const bool done = HttpTransport::WaitForRequests(30000);
    std::printf("Post returns: first %.0f us (opens session and connection), then %.0f us on average, slowest "
                "%.0f us\n",
                first, (total - first) / (kRequests - 1), slowest);
    std::printf("all %d requests %s %.0f ms later on WinINet's threads\n", kRequests,
                done ? "completed and were released" : "were NOT all released", MicrosecondsSince(waitStart) / 1000);
}
#endif

} // namespace

int main() {
    BenchHitBuilding();
#ifdef _WIN32
    BenchSendStart();
#endif
    return 0;
}
