// Usage analytics of the shipped program: the registry effects of a
// configure run, its hits on the wire (captured by the loopback capture
// proxy), the closing hit that the process waits for, and a dialog that never
// waits for the network, nor its process end more than a second. Run under
// tests/capture/with_hit_capture.sh.
// winsock2.h must come before windows.h.
#include <winsock2.h>

#include "tests/e2e/driver/hit_capture.h"
#include "tests/e2e/driver/process.h"
#include "tests/e2e/driver/registry.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>
#include <set>

namespace {

// Generous: these deadlines only catch a hang; measured times are printed.
constexpr DWORD kDeadline = 20000;
constexpr int kVisitButton = 6;
constexpr const wchar_t* kMaker = L"Software\\Quenvale";
constexpr const wchar_t* kProduct = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr const wchar_t* kInternetSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string Value(const Pairs& pairs, const std::string& key) {
    for (const auto& p : pairs)
        if (p.first == key) return p.second;
    return "(absent)";
}

// The stored REG_SZ text without its terminator, or "(missing)" / "(type N)".
std::wstring Stored(const wchar_t* name) {
    auto value = e2e::ReadValue(HKEY_LOCAL_MACHINE, kMaker, name);
    if (!value) return L"(missing)";
    if (value->type != REG_SZ) return L"(type " + std::to_wstring(value->type) + L")";
    std::wstring text = value->Chars();
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

bool IsUpperGuid(const std::wstring& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const wchar_t c = text[i];
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
    }
    return true;
}

// "Visit..." opens our browser stand-in instead of a browser. Wine's
// HKEY_CLASSES_ROOT is the machine's Software\Classes alone.
void RegisterBrowserStandIn() {
    const std::wstring command = L"\"" + e2e::TestBinFolder() + L"\\url_recorder.exe\" \"%1\"";
    for (const wchar_t* scheme : {L"https", L"http"})
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE,
                                  std::wstring(L"Software\\Classes\\") + scheme + L"\\shell\\open\\command", L"",
                                  command, REG_SZ, true));
}

struct ConfigureRun {
    double shownAfter = -1;  // ms from start to the visible dialog
    double closedAfter = -1; // ms from the closing click to the end of the process
    DWORD exitCode = STILL_ACTIVE;
};

// Runs the configure mode until its dialog shows, calls `whileOpen` with the
// dialog, then presses `closeWith` (Cancel or OK) and waits for the end.
ConfigureRun RunConfigure(const std::function<void(HWND)>& whileOpen = nullptr, int closeWith = IDCANCEL) {
    ConfigureRun run;
    e2e::Process saver = e2e::Process::Screensaver(L"/c");
    EXPECT_TRUE(saver.Started());
    if (!saver.Started()) return run;
    HWND dialog = e2e::WaitForWindow(saver.Id(), L"#32770", nullptr, kDeadline);
    EXPECT_NE(dialog, nullptr) << "no settings dialog; its threads:\n" << saver.ThreadBacktraces();
    if (!dialog) return run;
    run.shownAfter = saver.ElapsedMilliseconds();
    if (whileOpen) whileOpen(dialog);
    const double clickAt = saver.ElapsedMilliseconds();
    e2e::Click(e2e::Control(dialog, closeWith));
    EXPECT_TRUE(saver.WaitForExit(kDeadline)) << "still runs after " << (closeWith == IDOK ? "OK" : "Cancel");
    run.closedAfter = saver.ElapsedMilliseconds() - clickAt;
    run.exitCode = saver.ExitCode();
    return run;
}

class AnalyticsWire : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::HitCaptureAvailable()) GTEST_SKIP() << "runs under tests/capture/with_hit_capture.sh";
        std::string error;
        ASSERT_TRUE(e2e::RouteInternetThroughCapture(error)) << error;
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMaker));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(kMaker)));
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProduct, L"SorvaneTests", L"present"));
        RegisterBrowserStandIn();
    }

    // The hits of client `id` in session `session` captured so far, waiting
    // for at least `count`, as query pairs by event name.
    std::map<std::string, Pairs> HitsOf(const std::string& id, std::size_t count, int session = 1) {
        std::map<std::string, Pairs> byEvent;
        const std::string sct = "&sct=" + std::to_string(session) + "&";
        const auto hits = e2e::WaitForCapturedRequests(count, kDeadline, [&](const e2e::CapturedRequest& r) {
            return r.target.find("&cid=" + id + "&") != std::string::npos && r.target.find(sct) != std::string::npos;
        });
        for (const auto& hit : hits) {
            const Pairs pairs = e2e::QueryPairs(hit.target);
            byEvent[Value(pairs, "en")] = pairs;
            if (shown_.insert(Value(pairs, "en")).second)
                std::printf("[ captured ] %s %s\n", hit.method.c_str(), hit.target.c_str());
        }
        return byEvent;
    }

    std::set<std::string> shown_;
};

TEST_F(AnalyticsWire, ConfigureRunSendsItsPageViewAndTheVisitClick) {
    std::map<std::string, Pairs> hits;
    std::wstring id;
    std::vector<std::wstring> modules;
    const ConfigureRun run = RunConfigure([&](HWND dialog) {
        DWORD processId = 0;
        GetWindowThreadProcessId(dialog, &processId);
        modules = e2e::LoadedModules(processId);
        id = Stored(L"ClientGuid");
        hits = HitsOf(Narrow(id), 2);
        e2e::Click(e2e::Control(dialog, kVisitButton));
        hits = HitsOf(Narrow(id), 3);
    });
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(std::count(modules.begin(), modules.end(), L"wininet.dll"), 1) << "the session loads WinINet";
    EXPECT_TRUE(IsUpperGuid(id)) << Narrow(id);
    EXPECT_EQ(Stored(L"SessionCount"), L"1");
    ASSERT_EQ(hits.count("page_view"), 1u);
    ASSERT_EQ(hits.count("ScreenView"), 1u);
    ASSERT_EQ(hits.count("VisitWebsiteClicked"), 1u);

    const Pairs& page = hits["page_view"];
    const struct {
        const char* key;
        const char* value;
    } pageExpectations[] = {
        {"v", "2"},
        {"tid", "G-K3TQ7ZV5PW"},
        {"seg", "1"},
        {"sr", "1280x1024"},
        {"_fv", "1"},
        {"_s", "1"},
        {"_ss", "1"},
        {"dl", "Sorvane%2FSettings"},
        {"dt", "Sorvane%2FSettings"},
        {"sct", "1"},
        {"sid", "(absent)"},
        {"_et", "(absent)"},
        {"up.app_name", "Sorvane"},
        {"up.app_version", "1.0.5"},
        {"upn.screen_count", "1"},
        {"up.screen_size", "1280x1024"},
    };
    for (const auto& e : pageExpectations)
        EXPECT_EQ(Value(page, e.key), e.value) << "page_view " << e.key;
    EXPECT_EQ(Value(page, "ul"), Value(page, "up.language"));

    const Pairs& view = hits["ScreenView"];
    EXPECT_EQ(Value(view, "_s"), "2");
    EXPECT_EQ(Value(view, "_fv"), "(absent)");
    EXPECT_EQ(Value(view, "ep.page_location"), "Sorvane%2FSettings");
    EXPECT_EQ(Value(view, "ep.page_title"), "Sorvane%2FSettings");
    EXPECT_NE(Value(view, "sid"), "(absent)");
    EXPECT_NE(Value(view, "_et"), "(absent)");

    const Pairs& visit = hits["VisitWebsiteClicked"];
    EXPECT_EQ(Value(visit, "_s"), "3");
    EXPECT_EQ(Value(visit, "sid"), Value(view, "sid"));
    EXPECT_EQ(Value(visit, "dl"), "Sorvane%2FSettings");
    EXPECT_EQ(Value(visit, "ep.page_location"), "(absent)");

    // The next run: the same identifier, the next session number, no first visit.
    std::map<std::string, Pairs> next;
    EXPECT_EQ(RunConfigure([&](HWND) { next = HitsOf(Narrow(id), 2, 2); }).exitCode, 0u);
    EXPECT_EQ(Stored(L"ClientGuid"), id);
    EXPECT_EQ(Stored(L"SessionCount"), L"2");
    ASSERT_EQ(next.count("page_view"), 1u);
    EXPECT_EQ(Value(next["page_view"], "sct"), "2");
    EXPECT_EQ(Value(next["page_view"], "_fv"), "(absent)");
    EXPECT_EQ(Value(next["page_view"], "_ss"), "1");
}

TEST_F(AnalyticsWire, RegistryDecidesWhetherASessionStarts) {
    const struct {
        const char* what;
        std::function<void()> seed;
        const wchar_t* sessionCount;
        bool newIdentifier;
    } cases[] = {
        {"DisableAnalytics as text 0",
         [] { e2e::SeedText(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics", L"0", REG_SZ, true); }, L"(missing)",
         false},
        {"DisableAnalytics as REG_DWORD",
         [] {
             e2e::SeedValue(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics", REG_DWORD, {1, 0, 0, 0});
         },
         L"(missing)", false},
        {"DisableAnalytics as text with no data",
         [] { e2e::SeedValue(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics", REG_SZ, {}); }, L"(missing)", false},
        {"DisableAnalytics in the 32-bit view only",
         [] {
             e2e::SeedValue(HKEY_LOCAL_MACHINE, e2e::View32(kMaker), L"DisableAnalytics", REG_DWORD, {0, 0, 0, 0});
         },
         L"(missing)", false},
        {"ClientGuid empty with its terminator",
         [] { e2e::SeedText(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", L"", REG_SZ, true); }, L"(missing)", false},
        {"ClientGuid with no data", [] { e2e::SeedValue(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", REG_SZ, {}); }, L"1",
         true},
        {"ClientGuid of one byte", [] { e2e::SeedValue(HKEY_LOCAL_MACHINE, kMaker, L"ClientGuid", REG_SZ, {'7'}); },
         L"1", true},
        {"SessionCount 12", [] { e2e::SeedText(HKEY_LOCAL_MACHINE, kMaker, L"SessionCount", L"12"); }, L"13", true},
        {"no product key", [] { e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProduct); }, L"(missing)", false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kMaker));
        ASSERT_TRUE(e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, e2e::View32(kMaker)));
        ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kProduct, L"SorvaneTests", L"present"));
        c.seed();
        const std::wstring guidBefore = Stored(L"ClientGuid");
        const std::size_t requestsBefore = e2e::CapturedRequests().size();
        std::size_t hits = 0;
        const ConfigureRun run = RunConfigure([&](HWND) {
            const std::wstring id = Stored(L"ClientGuid");
            const std::wstring count = Stored(L"SessionCount");
            if (IsUpperGuid(id))
                hits = HitsOf(Narrow(id), 2, static_cast<int>(std::wcstol(count.c_str(), nullptr, 10))).size();
        });
        EXPECT_EQ(run.exitCode, 0u) << c.what;
        EXPECT_EQ(Stored(L"SessionCount"), c.sessionCount) << c.what;
        if (c.newIdentifier) {
            EXPECT_TRUE(IsUpperGuid(Stored(L"ClientGuid"))) << c.what;
            EXPECT_EQ(hits, 2u) << c.what << ": page_view and ScreenView";
        } else {
            EXPECT_EQ(Stored(L"ClientGuid"), guidBefore) << c.what;
            EXPECT_EQ(e2e::CapturedRequests().size(), requestsBefore) << c.what << ": no hit";
        }
    }
}

// The same on the harness's two monitors (SORVANE_SCREENS=2): 1280x1024, the
// primary, and 1024x768 beside it.
class TwoMonitorsWire : public AnalyticsWire {
  protected:
    void SetUp() override {
        if (!e2e::TwoScreensRequested()) GTEST_SKIP() << "runs on the harness's two screens (SORVANE_SCREENS=2)";
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "the harness's display shows Wine one monitor";
        AnalyticsWire::SetUp();
    }
};

TEST_F(TwoMonitorsWire, EveryHitCountsBothMonitorsAndCarriesEachSize) {
    std::map<std::string, Pairs> hits;
    const ConfigureRun run = RunConfigure([&](HWND) { hits = HitsOf(Narrow(Stored(L"ClientGuid")), 2); });
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(hits.size(), 2u) << "page_view and ScreenView";
    for (const auto& [event, pairs] : hits) {
        EXPECT_EQ(Value(pairs, "upn.screen_count"), "2") << event;
        EXPECT_EQ(Value(pairs, "up.screen_size"), "1280x1024") << event;
        EXPECT_EQ(Value(pairs, "up.screen_size2"), "1024x768") << event;
        EXPECT_EQ(Value(pairs, "up.screen_size3"), "(absent)") << event;
        EXPECT_EQ(Value(pairs, "sr"), "1280x1024") << event << ": the primary display's resolution";
    }
}

// A certificate that the trusted root issued for another name: the program
// connects, refuses it, and sends nothing over that connection.
TEST_F(AnalyticsWire, CertificateForAnotherNameIsRefusedAndNothingIsSent) {
    std::string error;
    ASSERT_TRUE(e2e::RouteInternetThroughCapture(error, e2e::CaptureCertificate::ForAnotherName)) << error;
    const std::string collectionHost = "www.google-analytics.com:443";
    auto refusals = [&] {
        std::size_t count = 0;
        for (const auto& handshake : e2e::RefusedHandshakes())
            if (handshake.tunnel == collectionHost && handshake.certificate != "www.google-analytics.com") ++count;
        return count;
    };
    auto sentThroughTheWrongName = [] {
        std::size_t count = 0;
        for (const auto& request : e2e::CapturedRequests())
            if (!request.certificate.empty() && request.certificate != "www.google-analytics.com") ++count;
        return count;
    };
    bool refused = false;
    const ConfigureRun run = RunConfigure([&](HWND) {
        refused = e2e::WaitUntil([&] { return refusals() >= 1; }, kDeadline);
    });
    EXPECT_EQ(run.exitCode, 0u) << "the dialog ends";
    EXPECT_EQ(Stored(L"SessionCount"), L"1") << "the session started";
    EXPECT_TRUE(refused) << "no connection to the collection host was tried and refused";
    EXPECT_EQ(sentThroughTheWrongName(), 0u) << "a hit went to a server whose certificate names another host";
}

// The process ends only once its closing hit has arrived: read at the
// moment the process is gone, with no grace, the capture holds it. The
// dialog is closed once its opening hits are through, as by a user who
// looked at it: the closing hit alone is on its way, within the second the
// process gives it.
TEST_F(AnalyticsWire, ClosingHitHasArrivedWhenTheProcessEnds) {
    constexpr int kRuns = 20;
    std::vector<double> closedAfter;
    std::string id;
    for (int session = 1; session <= kRuns; ++session) {
        const bool ok = session % 2 == 0;
        const ConfigureRun run = RunConfigure(
            [&](HWND) {
                EXPECT_EQ(HitsOf(Narrow(Stored(L"ClientGuid")), 2, session).size(), 2u)
                    << "run " << session << ": the opening hits did not arrive";
            },
            ok ? IDOK : IDCANCEL);
        ASSERT_EQ(run.exitCode, 0u) << "run " << session;
        closedAfter.push_back(run.closedAfter);
        if (id.empty()) id = Narrow(Stored(L"ClientGuid"));
        ASSERT_EQ(Stored(L"SessionCount"), std::to_wstring(session)) << "run " << session;
        const std::string sct = "&sct=" + std::to_string(session) + "&";
        std::vector<std::string> events;
        for (const auto& hit : e2e::CapturedRequests())
            if (hit.target.find("&cid=" + id + "&") != std::string::npos && hit.target.find(sct) != std::string::npos)
                events.push_back(Value(e2e::QueryPairs(hit.target), "en"));
        const std::string seen =
            std::accumulate(events.begin(), events.end(), std::string(),
                            [](const std::string& a, const std::string& b) { return a + " " + b; });
        EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 1)
            << "run " << session << " (closed with " << (ok ? "OK" : "Cancel") << ") captured:" << seen;
    }
    std::sort(closedAfter.begin(), closedAfter.end());
    std::printf("[ time     ] %d runs, click on OK or Cancel to process end: fastest %.0f ms, median %.0f ms, slowest "
                "%.0f ms\n",
                kRuns, closedAfter.front(), closedAfter[kRuns / 2], closedAfter.back());
}

// A proxy that takes connections and never answers: every request hangs.
class SilentProxy {
  public:
    SilentProxy() {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof(address);
        if (socket_ != INVALID_SOCKET && bind(socket_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(socket_, 16) == 0 && getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentProxy() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        if (started_) WSACleanup();
    }
    SilentProxy(const SilentProxy&) = delete;
    SilentProxy& operator=(const SilentProxy&) = delete;
    int Port() const { return port_; }

  private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

TEST_F(AnalyticsWire, SilentNetworkNeverHoldsTheDialogNorItsEnd) {
    SilentProxy silent;
    ASSERT_NE(silent.Port(), 0);
    ASSERT_TRUE(e2e::SeedText(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer",
                              L"127.0.0.1:" + std::to_wstring(silent.Port()), REG_SZ, true));

    // A first run warms Wine up, so that the two measured runs compare alike.
    ASSERT_TRUE(e2e::SeedText(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics", L"1", REG_SZ, true));
    RunConfigure();
    const ConfigureRun disabled = RunConfigure();
    EXPECT_EQ(Stored(L"SessionCount"), L"(missing)") << "no session while disabled";
    ASSERT_TRUE(e2e::DeleteValue(HKEY_LOCAL_MACHINE, kMaker, L"DisableAnalytics"));
    const ConfigureRun enabled = RunConfigure();
    EXPECT_EQ(Stored(L"SessionCount"), L"1") << "the session started";
    EXPECT_EQ(enabled.exitCode, 0u);
    EXPECT_EQ(disabled.exitCode, 0u);
    // The process gives its hits a second after the closing click at most;
    // the bound here only needs to be far below any network time-out (the
    // figure itself is printed, for the benchmark), so a busy machine cannot
    // fail it.
    EXPECT_LE(enabled.closedAfter, 10000) << "ms from Cancel to the end of the process, hits in flight";
    std::printf("[ time     ] network that never answers: dialog shown after %.0f ms, closed %.0f ms after Cancel\n",
                enabled.shownAfter, enabled.closedAfter);
    std::printf("[ time     ] analytics disabled:         dialog shown after %.0f ms, closed %.0f ms after Cancel\n",
                disabled.shownAfter, disabled.closedAfter);
}

} // namespace
