// The WinINet transport and the analytics client: requests on the wire,
// captured by the loopback capture proxy (run under
// tests/capture/with_hit_capture.sh), completion lines on standard output,
// and every request released exactly once, whichever way it ends (through a
// scripted WinINet).
#include "analytics/analytics_endpoints.h"
#include "analytics/google_analytics4.h"
#include "analytics/http_transport.h"
#include "tests/e2e/driver/hit_capture.h"
#include "tests/e2e/driver/windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

// Generous: only catches a request that never completes.
constexpr DWORD kDeadline = 20000;

// Sends what the process writes to standard output to a file until
// Finish(); test failures are reported after it, so that they are seen.
class StdoutCapture {
  public:
    StdoutCapture() {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"out", 0, path_);
        std::fflush(stdout);
        saved_ = _dup(1);
        const int file = _wopen(path_, _O_WRONLY | _O_TRUNC | _O_BINARY);
        _dup2(file, 1);
        _close(file);
    }
    ~StdoutCapture() {
        Finish();
        DeleteFileW(path_);
    }
    // Restores standard output; returns what was written until now.
    std::string Finish() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            _dup2(saved_, 1);
            _close(saved_);
            saved_ = -1;
        }
        return Text();
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string Text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::size_t Count(const std::string& line) const { return Occurrences(Text(), line); }
    static std::size_t Occurrences(const std::string& text, const std::string& line) {
        std::size_t count = 0;
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + line.size()))
            ++count;
        return count;
    }

  private:
    wchar_t path_[MAX_PATH] = {};
    int saved_ = -1;
};

// Waits until `lines` completion lines were written and no request context
// is left.
bool AllCompleted(const StdoutCapture& out, std::size_t lines) {
    return e2e::WaitUntil(
        [&] { return out.Count("Status: Request complete: ") >= lines && HttpTransport::RequestsInFlight() == 0; },
        kDeadline);
}

std::string InFlight() { return std::to_string(HttpTransport::RequestsInFlight()) + " request(s) in flight"; }

class HttpTransportCapture : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::HitCaptureAvailable()) GTEST_SKIP() << "runs under tests/capture/with_hit_capture.sh";
        std::string error;
        ASSERT_TRUE(e2e::RouteInternetThroughCapture(error)) << error;
        before_ = e2e::CapturedRequests().size();
    }
    // Requests recorded by this test, waiting for at least `count`.
    std::vector<e2e::CapturedRequest> New(std::size_t count) {
        auto all = e2e::WaitForCapturedRequests(before_ + count, kDeadline);
        EXPECT_GE(all.size(), before_ + count) << "requests captured: " << all.size() - before_;
        if (all.size() <= before_) return {};
        return std::vector<e2e::CapturedRequest>(all.begin() + before_, all.end());
    }

    std::size_t before_ = 0;
};

TEST_F(HttpTransportCapture, SecurePostReachesTheHostThroughTheTunnelWithItsHeaders) {
    StdoutCapture out;
    bool finishedAtOnce = true;
    DWORD error = 0;
    bool completed = false;
    {
        HttpTransport transport(kCollectionHost, true, "SorvaneTest/1.0");
        transport.SetHeaders("Content-Length: 0\nOrigin: https://origin.test\nsec-fetch-mode: no-cors\n");
        finishedAtOnce = transport.Post("/g/collect?v=2&p=a%2Fb", "", "Application");
        error = transport.LastError();
        completed = AllCompleted(out, 1);
    }
    const std::string printed = out.Finish();
    ASSERT_TRUE(completed) << InFlight() << ", output: " << printed;
    EXPECT_FALSE(finishedAtOnce);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_IO_PENDING));
    auto requests = New(1);
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.tunnel, std::string(kCollectionHost) + ":443");
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/g/collect?v=2&p=a%2Fb");
    EXPECT_EQ(r.Header("Host"), kCollectionHost);
    EXPECT_EQ(r.Header("User-Agent"), "SorvaneTest/1.0");
    EXPECT_EQ(r.Header("Referer"), "Application");
    EXPECT_EQ(r.Header("Origin"), "https://origin.test");
    EXPECT_EQ(r.Header("sec-fetch-mode"), "no-cors");
    EXPECT_EQ(r.Header("Content-Length"), "0");
    EXPECT_FALSE(r.HasHeader("Cookie"));
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(printed, "Status: Request complete: \n");
}

TEST_F(HttpTransportCapture, InitialHeaderBlockIsSentUntilReplacedAndNullRemovesIt) {
    StdoutCapture out;
    bool completed = false;
    {
        HttpTransport transport(kCollectionHost, true, "SorvaneTest/1.0");
        transport.Post("/first", "", "Application");
        completed = AllCompleted(out, 1);
        transport.SetHeaders(nullptr);
        transport.Post("/second", "", "Application");
        completed = AllCompleted(out, 2) && completed;
    }
    const std::string printed = out.Finish();
    ASSERT_TRUE(completed) << InFlight() << ", output: " << printed;
    auto requests = New(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/first");
    EXPECT_EQ(requests[0].Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(requests[0].Header("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(requests[1].target, "/second");
    EXPECT_FALSE(requests[1].HasHeader("Accept-Encoding"));
    EXPECT_FALSE(requests[1].HasHeader("Content-Type"));
}

TEST_F(HttpTransportCapture, PlainRequestsGoToLocalhostOnPort80WithTheirVerbAndBody) {
    StdoutCapture out;
    bool atOnce[3] = {};
    bool completed = false;
    {
        HttpTransport transport(nullptr, false, "SorvaneTest/plain");
        atOnce[0] = transport.Post("/post", "a=1&b=%", nullptr);
        atOnce[1] = transport.Get("/get", "Application");
        atOnce[2] = transport.Head("/head", nullptr);
        completed = AllCompleted(out, 3);
    }
    const std::string printed = out.Finish();
    ASSERT_TRUE(completed) << InFlight() << ", output: " << printed;
    EXPECT_FALSE(atOnce[0] || atOnce[1] || atOnce[2]);
    auto requests = New(3);
    ASSERT_EQ(requests.size(), 3u);
    std::sort(requests.begin(), requests.end(), [](const auto& a, const auto& b) { return a.target < b.target; });
    const struct {
        const char* method;
        const char* target;
        const char* body;
    } expected[] = {
        {"GET", "http://localhost:80/get", ""},
        {"HEAD", "http://localhost:80/head", ""},
        {"POST", "http://localhost:80/post", "a=1&b=%"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].tunnel, "") << i; // plain HTTP: no tunnel, the port shows in the target
        EXPECT_EQ(requests[i].method, expected[i].method) << i;
        EXPECT_EQ(requests[i].target, expected[i].target) << i;
        EXPECT_EQ(requests[i].body, expected[i].body) << i;
        EXPECT_EQ(requests[i].Header("User-Agent"), "SorvaneTest/plain") << i;
    }
    EXPECT_EQ(requests[1].Header("Referer"), "") << "HEAD was sent without a referrer";
    // A request without a body completes with an empty text after the colon.
    EXPECT_EQ(StdoutCapture::Occurrences(printed, "Status: Request complete: \n"), 2u) << printed;
    EXPECT_EQ(StdoutCapture::Occurrences(printed, "Status: Request complete: a=1&b=%\n"), 1u) << printed;
}

TEST_F(HttpTransportCapture, ClientHitsArriveAsTheCollectionHostReceivesThem) {
    StdoutCapture out;
    {
        GoogleAnalytics4 analytics("CAPTURE-CLIENT", 9, true);
        analytics.SetAppName("Sorvane");
        analytics.SetAppVersion("1.0.5");
        analytics.SetScreenResolution("1280x1024");
        analytics.SetUserLanguage("en");
        analytics.SetUserProperty("screen_count", "1");
        analytics.SendScreenView("Sorvane/Settings");
        analytics.SendEvent("VisitWebsiteClicked");
    }
    const bool completed = AllCompleted(out, 4);
    const std::string printed = out.Finish();
    ASSERT_TRUE(completed) << InFlight() << ", output: " << printed;
    auto requests = New(4);
    ASSERT_EQ(requests.size(), 4u);
    std::vector<std::string> events;
    for (const auto& r : requests) {
        EXPECT_EQ(r.tunnel, std::string(kCollectionHost) + ":443");
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.target.rfind("/g/collect?v=2&tid=G-K3TQ7ZV5PW&cid=CAPTURE-CLIENT&seg=1&sr=1280x1024&ul=en&", 0), 0u)
            << r.target;
        EXPECT_EQ(r.Header("Origin"), kMakerWebOrigin);
        EXPECT_EQ(r.Header("Referer"), "Application");
        EXPECT_EQ(r.Header("Content-Type"), "text/plain; charset=utf-8");
        EXPECT_EQ(r.Header("sec-fetch-site"), "cross-site");
        EXPECT_EQ(r.Header("sec-fetch-dest"), "empty");
        EXPECT_FALSE(r.Header("User-Agent").empty());
        for (const auto& [key, value] : e2e::QueryPairs(r.target))
            if (key == "en") events.push_back(value);
    }
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{"ScreenView", "VisitWebsiteClicked", "end", "page_view"}));
}

// WinINet as the transport sees it, scripted: HttpSendRequestA pends,
// finishes at once (with or without a completion delivered during the call),
// or fails at once; the test delivers further completions when it likes.
namespace scripted {

enum class Outcome { Pends, FinishesAtOnce, FinishesAtOnceAfterACompletion, FailsAtOnce };

HINTERNET Handle(std::uintptr_t n) { return reinterpret_cast<HINTERNET>(n); }
// Request n (from 0) gets the handle Request(n).
HINTERNET Request(std::size_t n) { return Handle(0x1000 + n); }

Outcome outcome = Outcome::Pends;
INTERNET_STATUS_CALLBACK callback = nullptr;
std::vector<DWORD_PTR> contexts; // of each request opened, in order
std::mutex closedLock;
std::map<HINTERNET, int> closed;

void Reset(Outcome next) {
    outcome = next;
    callback = nullptr;
    contexts.clear();
    const std::lock_guard<std::mutex> hold(closedLock);
    closed.clear();
}

int TimesClosed(HINTERNET handle) {
    const std::lock_guard<std::mutex> hold(closedLock);
    return closed[handle];
}

// A completion of request n, as WinINet's threads deliver it.
void Complete(std::size_t n) {
    INTERNET_ASYNC_RESULT result{1, ERROR_SUCCESS};
    callback(Request(n), contexts.at(n), INTERNET_STATUS_REQUEST_COMPLETE, &result, sizeof(result));
}

HINTERNET WINAPI Open(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) { return Handle(0x100); }
INTERNET_STATUS_CALLBACK WINAPI SetStatusCallback(HINTERNET, INTERNET_STATUS_CALLBACK function) {
    callback = function;
    return nullptr;
}
HINTERNET WINAPI Connect(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR) {
    return Handle(0x200);
}
HINTERNET WINAPI OpenRequest(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR context) {
    contexts.push_back(context);
    return Request(contexts.size() - 1);
}
BOOL WINAPI SendRequest(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) {
    switch (outcome) {
    case Outcome::Pends:
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    case Outcome::FinishesAtOnceAfterACompletion:
        Complete(contexts.size() - 1);
        return TRUE;
    case Outcome::FinishesAtOnce:
        return TRUE;
    case Outcome::FailsAtOnce:
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return FALSE;
    }
    return FALSE;
}
BOOL WINAPI CloseInternetHandle(HINTERNET handle) {
    const std::lock_guard<std::mutex> hold(closedLock);
    ++closed[handle];
    return TRUE;
}

InternetApi Api() {
    InternetApi api;
    api.InternetOpenA = &Open;
    api.InternetSetStatusCallbackW = &SetStatusCallback;
    api.InternetConnectA = &Connect;
    api.HttpOpenRequestA = &OpenRequest;
    api.HttpSendRequestA = &SendRequest;
    api.InternetCloseHandle = &CloseInternetHandle;
    return api;
}

} // namespace scripted

class HttpTransportScripted : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(HttpTransport::RequestsInFlight(), 0) << "left over by an earlier test"; }
    const InternetApi api_ = scripted::Api();
};

TEST_F(HttpTransportScripted, EveryRequestIsReleasedOnceWhicheverWayItEnds) {
    using scripted::Outcome;
    const struct {
        const char* what;
        Outcome outcome;
        bool laterCompletion; // one more completion, delivered after Send returned
        bool finishedAtOnce;
        DWORD error;
        long inFlightAfterSend;
        std::size_t completionLines;
    } cases[] = {
        {"a pending request is released by its completion", Outcome::Pends, true, false, ERROR_IO_PENDING, 1, 1},
        {"a request that finishes at once is released by Send", Outcome::FinishesAtOnce, false, true, 0, 0, 1},
        {"a completion after a finish at once finds nothing left to free", Outcome::FinishesAtOnce, true, true, 0, 0,
         1},
        {"a completion during a call that finishes at once is the only release",
         Outcome::FinishesAtOnceAfterACompletion, false, true, 0, 0, 1},
        {"a request that fails at once is released without a completion line", Outcome::FailsAtOnce, true, false,
         ERROR_INTERNET_CANNOT_CONNECT, 0, 0},
    };
    for (const auto& c : cases) {
        scripted::Reset(c.outcome);
        StdoutCapture out;
        HttpTransport transport("scripted.test", true, "SorvaneTest/1.0", api_);
        const bool finishedAtOnce = transport.Post("/g/collect?v=2", c.what, "Application");
        const long inFlight = HttpTransport::RequestsInFlight();
        if (c.laterCompletion) scripted::Complete(0);
        const std::string printed = out.Finish();
        EXPECT_EQ(finishedAtOnce, c.finishedAtOnce) << c.what;
        EXPECT_EQ(transport.LastError(), c.error) << c.what;
        EXPECT_EQ(inFlight, c.inFlightAfterSend) << c.what;
        EXPECT_EQ(HttpTransport::RequestsInFlight(), 0) << c.what;
        EXPECT_EQ(scripted::TimesClosed(scripted::Request(0)), 1) << c.what << ": times the request was closed";
        EXPECT_EQ(StdoutCapture::Occurrences(printed, std::string("Status: Request complete: ") + c.what + "\n"),
                  c.completionLines)
            << c.what << ", output: " << printed;
    }
}

TEST_F(HttpTransportScripted, LateCompletionOfAnEarlierRequestLeavesALaterOneInFlight) {
    scripted::Reset(scripted::Outcome::FinishesAtOnce);
    StdoutCapture out;
    HttpTransport transport("scripted.test", true, "SorvaneTest/1.0", api_);
    EXPECT_TRUE(transport.Post("/first", "first", "Application"));
    scripted::outcome = scripted::Outcome::Pends;
    EXPECT_FALSE(transport.Post("/second", "second", "Application"));
    scripted::Complete(0);
    const long inFlight = HttpTransport::RequestsInFlight();
    scripted::Complete(1);
    const std::string printed = out.Finish();
    EXPECT_EQ(inFlight, 1) << "the second request was released by the first one's completion";
    EXPECT_EQ(HttpTransport::RequestsInFlight(), 0);
    EXPECT_EQ(scripted::TimesClosed(scripted::Request(0)), 1);
    EXPECT_EQ(scripted::TimesClosed(scripted::Request(1)), 1);
    EXPECT_EQ(printed, "Status: Request complete: first\nStatus: Request complete: second\n");
}

TEST_F(HttpTransportScripted, WithoutWinInetNothingIsSent) {
    const InternetApi none;
    HttpTransport transport("scripted.test", true, "SorvaneTest/1.0", none);
    EXPECT_FALSE(transport.Post("/g/collect?v=2", "", "Application"));
    EXPECT_EQ(transport.LastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(HttpTransport::RequestsInFlight(), 0);
}

TEST_F(HttpTransportScripted, WaitForRequestsEndsAtTheLastCompletionOrAtItsBound) {
    scripted::Reset(scripted::Outcome::Pends);
    StdoutCapture out;
    HttpTransport transport("scripted.test", true, "SorvaneTest/1.0", api_);
    transport.Post("/g/collect?v=2", "", "Application");
    ASSERT_EQ(HttpTransport::RequestsInFlight(), 1);
    EXPECT_FALSE(HttpTransport::WaitForRequests(0));
    EXPECT_FALSE(HttpTransport::WaitForRequests(50)) << "no completion came";
    // The completion comes on another thread, as WinINet's do, and a little
    // later, so that the wait is under way when it comes.
    std::thread completion([] {
        Sleep(50);
        scripted::Complete(0);
    });
    const bool none = HttpTransport::WaitForRequests(kDeadline);
    completion.join();
    EXPECT_TRUE(none) << InFlight();
    EXPECT_TRUE(HttpTransport::WaitForRequests(0)) << "nothing in flight: no wait";
}

// Without the capture: a request that cannot reach its host (nothing serves
// HTTPS on loopback here; no name to resolve, so no resolver time-outs)
// still completes and is released like any other.
TEST(HttpTransport, RequestThatFailsLaterIsReleasedByItsCompletion) {
    StdoutCapture out;
    HttpTransport transport("127.0.0.1", true, "SorvaneTest/1.0");
    const bool atOnce = transport.Post("/a", "", "Application") || transport.Post("/b", "body", "Application");
    const bool completed = AllCompleted(out, 2);
    const std::string printed = out.Finish();
    ASSERT_TRUE(completed) << InFlight() << ", output: " << printed;
    EXPECT_FALSE(atOnce);
    EXPECT_EQ(StdoutCapture::Occurrences(printed, "Status: Request complete: \n"), 1u) << printed;
    EXPECT_EQ(StdoutCapture::Occurrences(printed, "Status: Request complete: body\n"), 1u) << printed;
}

} // namespace
