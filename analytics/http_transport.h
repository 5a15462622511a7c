// HTTP requests to one host through WinINet in asynchronous mode: a request
// is started and left to the platform, which releases it on completion.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>

// A WinINet handle, closed when it goes out of scope.
class InternetHandle {
  public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() { Close(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET Get() const { return handle_; }
    HINTERNET Release() {
        HINTERNET handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HINTERNET handle) {
        Close();
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }
    void Close() {
        if (handle_) InternetCloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    HINTERNET handle_ = nullptr;
};

// One request under way: what the completion has to release.
struct RequestContext {
    RequestContext();
    ~RequestContext();
    RequestContext(const RequestContext&) = delete;
    RequestContext& operator=(const RequestContext&) = delete;

    // Tells a request's context from the transport itself, which is the
    // connection handle's context.
    std::uint32_t tag;
    InternetHandle request;
    // Private copy of the body; null for a request without one.
    std::unique_ptr<char[]> body;
};

class HttpTransport {
  public:
    // `host` null means "localhost"; `secure` picks port 443 and TLS, else 80.
    HttpTransport(const char* host, bool secure, const std::string& userAgent);
    // Closes the connection and the session, which cancels requests still in
    // flight: a transport is meant to outlive its requests.
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // Keeps a copy of the header block, or none when null.
    void SetHeaders(const char* headers);

    // True only when the platform finished at once; false otherwise, the
    // usual asynchronous start included.
    bool Send(const char* verb, const char* objectName, const char* body, const char* referrer);
    bool Post(const char* objectName, const char* body, const char* referrer) {
        return Send("POST", objectName, body, referrer);
    }
    bool Get(const char* objectName, const char* referrer) { return Send("GET", objectName, nullptr, referrer); }
    bool Head(const char* objectName, const char* referrer) { return Send("HEAD", objectName, nullptr, referrer); }

    // Runs on WinINet's threads; touches only the request's own context and
    // standard output.
    static void CALLBACK OnInternetStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                          DWORD informationLength);

    DWORD LastError() const { return lastError; }
    // Request contexts of every transport not yet released (by their
    // completion, or by Send when a request fails at once).
    static long RequestsInFlight();

  private:
    InternetHandle session;
    InternetHandle connection;
    // The most recent request; its context owns it once it is under way.
    HINTERNET request = nullptr;
    DWORD lastError = 0;
    bool secure;
    std::unique_ptr<char[]> host;
    std::unique_ptr<char[]> headers;
    std::string userAgent;
};
