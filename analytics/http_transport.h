// HTTP requests to one host through WinINet in asynchronous mode: a request
// is started and left to the platform, which releases it on completion.
#pragma once

#include "analytics/internet_api.h"

#include <memory>
#include <string>

// A WinINet handle, closed through its table when it goes out of scope.
class InternetHandle {
  public:
    explicit InternetHandle(const InternetApi& api) : api_(&api) {}
    ~InternetHandle() { Close(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET Get() const { return handle_; }
    void Reset(HINTERNET handle) {
        Close();
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }
    void Close() {
        if (handle_) api_->InternetCloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    const InternetApi* api_;
    HINTERNET handle_ = nullptr;
};

class HttpTransport {
  public:
    // `host` null means "localhost"; `secure` picks port 443 and TLS, else 80.
    // `api` must outlive every request the transport starts.
    HttpTransport(const char* host, bool secure, const std::string& userAgent,
                  const InternetApi& api = SystemInternetApi());
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

    // Runs on WinINet's threads; touches only the list of requests in flight,
    // the request's own record and standard output.
    static void CALLBACK OnInternetStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                          DWORD informationLength);

    DWORD LastError() const { return lastError; }
    // Requests of every transport not yet released (by their completion, or
    // by Send when a request finishes or fails at once).
    static long RequestsInFlight();
    // Waits until no request is in flight, at most `milliseconds`; true when
    // none is left.
    static bool WaitForRequests(DWORD milliseconds);

  private:
    const InternetApi& api;
    InternetHandle session;
    InternetHandle connection;
    // The most recent request while it is under way; its record owns it.
    HINTERNET request = nullptr;
    DWORD lastError = 0;
    bool secure;
    std::unique_ptr<char[]> host;
    std::unique_ptr<char[]> headers;
    std::string userAgent;
};
