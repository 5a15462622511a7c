// The WinINet transport: lazy session and connection, one context per
// request, released by the status callback.
#include "analytics/http_transport.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint32_t kRequestTag = 0x52514358;
constexpr DWORD kSecureFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                               INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD kPlainFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES;
constexpr const char* kInitialHeaders = "Accept-Encoding:gzip, deflate\nContent-Type: text/plain; charset=UTF-8";

std::atomic<long> contextsAlive{0};

std::unique_ptr<char[]> CopyText(const char* text) {
    if (!text) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new char[size]);
    std::memcpy(copy.get(), text, size);
    return copy;
}

} // namespace

RequestContext::RequestContext() : tag(kRequestTag) { ++contextsAlive; }

RequestContext::~RequestContext() {
    tag = 0;
    --contextsAlive;
}

long HttpTransport::RequestsInFlight() { return contextsAlive.load(); }

HttpTransport::HttpTransport(const char* host, bool secure, const std::string& userAgent)
    : secure(secure), host(CopyText(host)), headers(CopyText(kInitialHeaders)), userAgent(userAgent) {}

HttpTransport::~HttpTransport() {
    connection.Close();
    session.Close();
}

void HttpTransport::SetHeaders(const char* headers) { this->headers = CopyText(headers); }

bool HttpTransport::Send(const char* verb, const char* objectName, const char* body, const char* referrer) {
    if (!session)
        session.Reset(
            InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (session) InternetSetStatusCallbackW(session.Get(), &HttpTransport::OnInternetStatus);
    if (!session) {
        lastError = GetLastError();
        return false;
    }

    if (!connection) {
        connection.Reset(InternetConnectA(session.Get(), host ? host.get() : "localhost",
                                          secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                          nullptr, INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(this)));
        if (!connection) {
            lastError = GetLastError();
            return false;
        }
    }

    auto context = std::make_unique<RequestContext>();
    context->body = CopyText(body);
    const char* acceptTypes[] = {nullptr};
    request = HttpOpenRequestA(connection.Get(), verb, objectName, nullptr, referrer, acceptTypes,
                               secure ? kSecureFlags : kPlainFlags, reinterpret_cast<DWORD_PTR>(context.get()));
    if (!request) {
        lastError = GetLastError();
        return false; // the context and its body copy go with `context`
    }
    context->request.Reset(request);

    const DWORD bodyLength = body ? static_cast<DWORD>(std::strlen(body)) : 0;
    char* bodyCopy = context->body.get();
    // From here the completion owns the context and may free it at any time,
    // on another thread.
    RequestContext* released = context.release();
    if (HttpSendRequestA(request, headers.get(), headers ? static_cast<DWORD>(-1) : 0, bodyCopy, bodyLength))
        return true;

    lastError = GetLastError();
    if (lastError == ERROR_IO_PENDING) return false;

    // Failed at once: no completion will come for this request.
    delete released;
    request = nullptr;
    return false;
}

void CALLBACK HttpTransport::OnInternetStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                              DWORD informationLength) {
    switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE: {
        auto* record = reinterpret_cast<RequestContext*>(context);
        if (!record || record->tag != kRequestTag) return;
        std::unique_ptr<RequestContext> owned(record);
        owned->request.Close();
        std::printf("Status: Request complete: %s\n", owned->body ? owned->body.get() : "");
        std::fflush(stdout);
        break;
    }
    case INTERNET_STATUS_COOKIE_HISTORY: {
        if (!information || informationLength < 4 * sizeof(BOOL)) return;
        const auto* decision = static_cast<const BOOL*>(information);
        static const char* const kLines[] = {"Cookie Accepted\n", "Cookie Leashed\n", "Cookie Downgraded\n",
                                             "Cookie Rejected\n"};
        for (int i = 0; i < 4; ++i)
            if (decision[i]) std::fputs(kLines[i], stdout);
        std::fflush(stdout);
        break;
    }
    default:
        break;
    }
}
