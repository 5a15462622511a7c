// The analytics client's environment on Windows: timeGetTime, a seeded
// generator, urlmon's user agent and the WinINet transport.
#include "analytics/google_analytics4.h"
#include "analytics/http_transport.h"
#include "platform/library_win.h"

#include <mmsystem.h>
#include <urlmon.h>

#include <random>
#include <vector>

namespace {

class HttpHitTransport final : public HitTransport {
  public:
    HttpHitTransport(const char* host, bool secure, const std::string& userAgent)
        : transport_(host, secure, userAgent) {}
    void SetHeaders(const char* headers) override { transport_.SetHeaders(headers); }
    bool Post(const char* objectName, const char* body, const char* referrer) override {
        return transport_.Post(objectName, body, referrer);
    }

  private:
    HttpTransport transport_;
};

class SystemEnvironment final : public AnalyticsEnvironment {
  public:
    // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): the generator is seeded from random_device and the clocks below
    SystemEnvironment()
        : winmm_(L"winmm.dll"), urlmon_(L"urlmon.dll"),
          timeGetTime_(winmm_.Function<decltype(&::timeGetTime)>("timeGetTime")),
          obtainUserAgentString_(urlmon_.Function<decltype(&::ObtainUserAgentString)>("ObtainUserAgentString")) {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        std::random_device device;
        std::seed_seq seed{device(), static_cast<unsigned>(counter.LowPart), static_cast<unsigned>(counter.HighPart),
                           static_cast<unsigned>(GetCurrentProcessId()), static_cast<unsigned>(Tick())};
        generator_.seed(seed);
    }

    // The same millisecond count since start-up, and the same wrap, in
    // kernel32 where winmm cannot be had.
    std::uint32_t Tick() override { return timeGetTime_ ? timeGetTime_() : GetTickCount(); }

    std::uint32_t Random(std::uint32_t maximum) override {
        return std::uniform_int_distribution<std::uint32_t>(0, maximum)(generator_);
    }

    bool SystemUserAgent(std::string& text) override {
        char buffer[1024] = {};
        DWORD size = sizeof(buffer);
        if (!obtainUserAgentString_ || FAILED(obtainUserAgentString_(0, buffer, &size))) return false;
        text.assign(buffer, strnlen(buffer, sizeof(buffer)));
        return true;
    }

    std::shared_ptr<HitTransport> OpenTransport(const char* host, bool secure, const std::string& userAgent) override {
        auto transport = std::make_shared<HttpHitTransport>(host, secure, userAgent);
        // Kept until the process ends and never destroyed: destroying a
        // transport cancels its requests, and the client's last hit is still
        // in flight when the client goes.
        static auto* keptUntilExit = new std::vector<std::shared_ptr<HitTransport>>();
        keptUntilExit->push_back(transport);
        return transport;
    }

  private:
    platform::Library winmm_;
    platform::Library urlmon_;
    decltype(&::timeGetTime) timeGetTime_;
    decltype(&::ObtainUserAgentString) obtainUserAgentString_;
    std::mt19937 generator_;
};

} // namespace

AnalyticsEnvironment& SystemAnalyticsEnvironment() {
    // Never destroyed: nothing is unloaded at the process end, while a last
    // hit may still be completing on WinINet's threads.
    static auto* environment = new SystemEnvironment();
    return *environment;
}

bool WaitForHitsInFlight(std::uint32_t milliseconds) { return HttpTransport::WaitForRequests(milliseconds); }

GoogleAnalytics4::GoogleAnalytics4(const std::string& clientId, std::int32_t sessionCount, bool firstVisit)
    : GoogleAnalytics4(SystemAnalyticsEnvironment(), clientId, sessionCount, firstVisit) {}
