// The WinINet transport: lazy session and connection, one record per request,
// released exactly once, by its completion or by Send when it ends at once.
#include "analytics/http_transport.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

// The server's certificate is checked in full, its name included: hits carry
// the machine's identifier and facts, for the collection host alone.
constexpr DWORD kSecureFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES;
constexpr DWORD kPlainFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES;
constexpr const char* kInitialHeaders = "Accept-Encoding:gzip, deflate\nContent-Type: text/plain; charset=UTF-8";

std::unique_ptr<char[]> CopyText(const char* text) {
    if (!text) return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new char[size]);
    std::memcpy(copy.get(), text, size);
    return copy;
}

// One request under way: what has to be released when it ends.
struct RequestContext {
    explicit RequestContext(const InternetApi& api) : request(api) {}
    InternetHandle request;
    // Private copy of the body, kept until the request ends; null for none.
    std::unique_ptr<char[]> body;
};

class Exclusive {
  public:
    explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

  private:
    SRWLOCK& lock_;
};

// The records of every request not yet released, by the number that its
// callbacks carry as their context. A number rather than the record's
// address: a completion that comes after the request was released (one that
// finished at once and got a completion all the same) finds nothing, and
// never a newer record at the same address.
class LiveRequests {
  public:
    DWORD_PTR NewId() {
        Exclusive hold(lock_);
        if (++lastId_ == 0) ++lastId_;
        return lastId_;
    }

    void Add(DWORD_PTR id, std::unique_ptr<RequestContext> record) {
        Exclusive hold(lock_);
        records_[id] = std::move(record);
        ++count_;
    }

    // Releases record `id` unless that was done already: closes its request,
    // writes the completion line when asked and frees the record.
    void Release(DWORD_PTR id, bool writeCompletionLine) {
        std::unique_ptr<RequestContext> record;
        {
            Exclusive hold(lock_);
            auto found = records_.find(id);
            if (found == records_.end()) return;
            record = std::move(found->second);
            records_.erase(found);
        }
        record->request.Close();
        if (writeCompletionLine) {
            std::printf("Status: Request complete: %s\n", record->body ? record->body.get() : "");
            std::fflush(stdout);
        }
        record.reset();
        Exclusive hold(lock_);
        if (--count_ == 0) WakeAllConditionVariable(&none_);
    }

    long Count() {
        Exclusive hold(lock_);
        return count_;
    }

    bool WaitUntilNone(DWORD milliseconds) {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        Exclusive hold(lock_);
        for (ULONGLONG now = GetTickCount64(); count_ != 0 && now < deadline; now = GetTickCount64())
            SleepConditionVariableSRW(&none_, &lock_, static_cast<DWORD>(deadline - now), 0);
        return count_ == 0;
    }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE none_ = CONDITION_VARIABLE_INIT;
    std::map<DWORD_PTR, std::unique_ptr<RequestContext>> records_;
    DWORD_PTR lastId_ = 0;
    // Records in the map and records being released.
    long count_ = 0;
};

LiveRequests& Live() {
    // Never destroyed: a completion may still run on one of WinINet's
    // threads while the process ends.
    static auto* live = new LiveRequests();
    return *live;
}

} // namespace

long HttpTransport::RequestsInFlight() { return Live().Count(); }

bool HttpTransport::WaitForRequests(DWORD milliseconds) { return Live().WaitUntilNone(milliseconds); }

HttpTransport::HttpTransport(const char* host, bool secure, const std::string& userAgent, const InternetApi& api)
    : api(api), session(api), connection(api), secure(secure), host(CopyText(host)), headers(CopyText(kInitialHeaders)),
      userAgent(userAgent) {}

HttpTransport::~HttpTransport() {
    connection.Close();
    session.Close();
}

void HttpTransport::SetHeaders(const char* headers) { this->headers = CopyText(headers); }

bool HttpTransport::Send(const char* verb, const char* objectName, const char* body, const char* referrer) {
    if (!api.Complete()) {
        lastError = ERROR_PROC_NOT_FOUND;
        return false;
    }
    if (!session)
        session.Reset(
            api.InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (session) api.InternetSetStatusCallbackW(session.Get(), &HttpTransport::OnInternetStatus);
    if (!session) {
        lastError = GetLastError();
        return false;
    }

    if (!connection) {
        connection.Reset(api.InternetConnectA(session.Get(), host ? host.get() : "localhost",
                                              secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT,
                                              nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                              reinterpret_cast<DWORD_PTR>(this)));
        if (!connection) {
            lastError = GetLastError();
            return false;
        }
    }

    auto record = std::make_unique<RequestContext>(api);
    record->body = CopyText(body);
    const DWORD_PTR id = Live().NewId();
    const char* acceptTypes[] = {nullptr};
    request = api.HttpOpenRequestA(connection.Get(), verb, objectName, nullptr, referrer, acceptTypes,
                                   secure ? kSecureFlags : kPlainFlags, id);
    if (!request) {
        lastError = GetLastError();
        return false; // the record and its body copy go with `record`
    }
    record->request.Reset(request);

    const DWORD bodyLength = body ? static_cast<DWORD>(std::strlen(body)) : 0;
    char* bodyCopy = record->body.get();
    // From here the request may end at any time, on another thread.
    Live().Add(id, std::move(record));
    const BOOL finished =
        api.HttpSendRequestA(request, headers.get(), headers ? static_cast<DWORD>(-1) : 0, bodyCopy, bodyLength);
    if (!finished) lastError = GetLastError();
    if (finished || lastError != ERROR_IO_PENDING) {
        // Finished or failed at once: no completion is due for this request.
        Live().Release(id, finished != FALSE);
        request = nullptr;
    }
    return finished != FALSE;
}

void CALLBACK HttpTransport::OnInternetStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                              DWORD informationLength) {
    switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE:
        Live().Release(context, true);
        break;
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
