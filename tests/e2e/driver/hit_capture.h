// The loopback capture proxy (tests/capture/) from the Windows side: point
// this Wine prefix's Internet settings at it, trust its test root, and read
// the requests it recorded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct CapturedRequest {
    std::string tunnel; // "host:port" of the CONNECT for HTTPS, empty for plain HTTP
    std::string certificate; // the name the capture's certificate was issued for; empty for plain HTTP
    std::string method;
    std::string target; // as on the request line
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (case-insensitive), or empty.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

// True when the test runs under tests/capture/with_hit_capture.sh.
bool HitCaptureAvailable();

// The certificate the capture presents for HTTPS: one for the host asked
// for, or one that the same trusted root issued for another name.
enum class CaptureCertificate { ForTheHost, ForAnotherName };

// Sends this prefix's WinINet traffic through the capture proxy (the
// per-user proxy settings) and adds the capture's test root to the machine's
// trusted roots. Programs started afterwards, and sessions this process opens
// afterwards, use it. False with `error` set on failure.
bool RouteInternetThroughCapture(std::string& error,
                                 CaptureCertificate certificate = CaptureCertificate::ForTheHost);

// Every complete request recorded so far, in arrival order.
std::vector<CapturedRequest> CapturedRequests();

// Declares requests that the harness's request recorder will refuse as this
// test's own, made on purpose (analytics left on without the capture), so
// that the run does not fail for them. `request` is "<method> <target>" as
// the recorder logs it, for example "CONNECT www.google-analytics.com:443".
bool ExpectRefusedRequests(const std::string& request);

// A tunnel whose client sent no request after the capture presented its
// certificate: the client refused it, or the handshake failed.
struct RefusedHandshake {
    std::string tunnel;      // "host:port" of the CONNECT
    std::string certificate; // the name the presented certificate was issued for
    std::string what;
};
std::vector<RefusedHandshake> RefusedHandshakes();

// Polls until at least `count` requests satisfying `accept` (all when null)
// were recorded or `milliseconds` pass; returns the accepted ones.
std::vector<CapturedRequest>
WaitForCapturedRequests(std::size_t count, DWORD milliseconds,
                        const std::function<bool(const CapturedRequest&)>& accept = nullptr);

// The query parameters of a target "path?k=v&k=v", in order, values left encoded.
std::vector<std::pair<std::string, std::string>> QueryPairs(const std::string& target);

} // namespace e2e
