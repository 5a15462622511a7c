// Talking to the loopback capture proxy: prefix settings, test root, log reading.
#include "tests/e2e/driver/hit_capture.h"

#include "tests/e2e/driver/windows.h"

#include <wincrypt.h>

#include <cctype>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    if (length == 0 || length >= 4096) return L"";
    return std::wstring(buffer, length);
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool SetProxy(const std::wstring& server, std::string& error) {
    HKEY key = nullptr;
    const wchar_t* path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        error = "cannot open the Internet settings key";
        return false;
    }
    const DWORD enable = 1;
    bool ok = RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                             sizeof(enable)) == ERROR_SUCCESS &&
              RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                             static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    // Nothing bypasses the proxy, loopback names included.
    RegDeleteValueW(key, L"ProxyOverride");
    RegCloseKey(key);
    if (!ok) error = "cannot write the proxy settings";
    return ok;
}

bool TrustRoot(const std::wstring& derPath, std::string& error) {
    const std::string der = ReadFileBytes(derPath);
    if (der.empty()) {
        error = "cannot read the test root certificate";
        return false;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) {
        error = "cannot open the machine's Root store, error " + std::to_string(GetLastError());
        return false;
    }
    const BOOL added =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added) error = "cannot add the test root, error " + std::to_string(GetLastError());
    CertCloseStore(store, 0);
    return added != FALSE;
}

} // namespace

std::string CapturedRequest::Header(const std::string& name) const {
    for (const auto& header : headers)
        if (SameText(header.first, name)) return header.second;
    return "";
}

bool CapturedRequest::HasHeader(const std::string& name) const {
    for (const auto& header : headers)
        if (SameText(header.first, name)) return true;
    return false;
}

bool HitCaptureAvailable() { return !Environment(L"SORVANE_CAPTURE_PORT").empty(); }

bool RouteInternetThroughCapture(std::string& error, CaptureCertificate certificate) {
    const std::wstring port = Environment(certificate == CaptureCertificate::ForTheHost
                                              ? L"SORVANE_CAPTURE_PORT"
                                              : L"SORVANE_CAPTURE_WRONG_NAME_PORT");
    const std::wstring root = Environment(L"SORVANE_CAPTURE_ROOT");
    if (port.empty() || root.empty()) {
        error = "not run under tests/capture/with_hit_capture.sh";
        return false;
    }
    return SetProxy(L"127.0.0.1:" + port, error) && TrustRoot(root, error);
}

namespace {

// Calls `line` with each tag and its rest, in order, for the records of `kind`
// ("REQUEST" or "HANDSHAKE"), and `end` at each complete record's END.
void ReadCaptureLog(const std::string& kind, const std::function<void(const std::string&, const std::string&)>& line,
                    const std::function<void()>& end) {
    const std::wstring log = Environment(L"SORVANE_CAPTURE_LOG");
    if (log.empty()) return;
    std::istringstream in(ReadFileBytes(log));
    std::string text;
    bool open = false;
    while (std::getline(in, text)) {
        const std::size_t space = text.find(' ');
        const std::string tag = text.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
        if (tag == "REQUEST" || tag == "HANDSHAKE") {
            open = tag == kind;
        } else if (open && tag == "END") {
            end();
            open = false;
        } else if (open) {
            line(tag, rest);
        }
    }
}

} // namespace

std::vector<CapturedRequest> CapturedRequests() {
    std::vector<CapturedRequest> requests;
    CapturedRequest current;
    ReadCaptureLog(
        "REQUEST",
        [&](const std::string& tag, const std::string& rest) {
            if (tag == "TUNNEL") {
                current.tunnel = rest == "-" ? "" : rest;
            } else if (tag == "CERTIFICATE") {
                current.certificate = rest == "-" ? "" : rest;
            } else if (tag == "LINE") {
                std::istringstream parts(rest);
                parts >> current.method >> current.target;
            } else if (tag == "HEADER") {
                const std::size_t colon = rest.find(": ");
                current.headers.emplace_back(rest.substr(0, colon),
                                             colon == std::string::npos ? "" : rest.substr(colon + 2));
            } else if (tag == "BODY") {
                current.body = FromHex(rest);
            }
        },
        [&] {
            requests.push_back(current);
            current = CapturedRequest();
        });
    return requests;
}

bool ExpectRefusedRequests(const std::string& request) {
    const std::wstring file = Environment(L"SORVANE_NETWORK_EXPECTED");
    if (file.empty()) return false;
    std::ofstream out(file.c_str(), std::ios::app | std::ios::binary);
    out << request << "\n";
    return static_cast<bool>(out.flush());
}

std::vector<RefusedHandshake> RefusedHandshakes() {
    std::vector<RefusedHandshake> handshakes;
    RefusedHandshake current;
    ReadCaptureLog(
        "HANDSHAKE",
        [&](const std::string& tag, const std::string& rest) {
            if (tag == "TUNNEL") current.tunnel = rest;
            if (tag == "CERTIFICATE") current.certificate = rest;
            if (tag == "REFUSED") current.what = rest;
        },
        [&] {
            handshakes.push_back(current);
            current = RefusedHandshake();
        });
    return handshakes;
}

std::vector<CapturedRequest> WaitForCapturedRequests(std::size_t count, DWORD milliseconds,
                                                     const std::function<bool(const CapturedRequest&)>& accept) {
    std::vector<CapturedRequest> accepted;
    WaitUntil(
        [&] {
            accepted.clear();
            for (auto& request : CapturedRequests())
                if (!accept || accept(request)) accepted.push_back(std::move(request));
            return accepted.size() >= count;
        },
        milliseconds);
    return accepted;
}

std::vector<std::pair<std::string, std::string>> QueryPairs(const std::string& target) {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::size_t question = target.find('?');
    if (question == std::string::npos) return pairs;
    std::istringstream in(target.substr(question + 1));
    std::string part;
    while (std::getline(in, part, '&')) {
        const std::size_t equals = part.find('=');
        pairs.emplace_back(part.substr(0, equals), equals == std::string::npos ? "" : part.substr(equals + 1));
    }
    return pairs;
}

} // namespace e2e
