// The analytics switch, client identifier, session counter and session start,
// over the registry seam.
#include "analytics/session_facts.h"

#include "platform/registry_access.h"
#include "platform/utf8.h"

#include <cstdio>

namespace {

constexpr const char* kAppName = "Sorvane";
constexpr const wchar_t* kAppVersion = L"1.0.5";

std::string ReplaceSpaces(std::string text) {
    for (char& c : text)
        if (c == ' ') c = '_';
    return text;
}

// The decimal value of an all-digit text, or nothing when it is not one or
// exceeds `limit`.
std::optional<std::int64_t> ParseCount(const std::wstring& text, std::int64_t limit) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > limit) return std::nullopt;
    }
    return value;
}

} // namespace

bool IsAnalyticsDisabled() {
    // An opt-out must hold however it was made: a REG_DWORD, an empty value,
    // or one written by a 32-bit tool into the 32-bit view.
    return RegistryValueExistsInEitherView(HKEY_LOCAL_MACHINE, kMakerKey, L"DisableAnalytics");
}

std::string FormatClientGuid(const Guid& guid) {
    char text[40];
    std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid.data1), static_cast<unsigned>(guid.data2),
                  static_cast<unsigned>(guid.data3), guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                  guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return text;
}

ClientGuid ReadOrCreateClientGuid(GuidSource createGuid) {
    std::wstring stored;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", stored, true) == S_OK)
        return {WideToUtf8(stored), false};

    Guid guid;
    if (!createGuid || !createGuid(guid)) return {};
    const std::string text = FormatClientGuid(guid);
    const std::wstring wide(text.begin(), text.end());
    if (WriteRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"ClientGuid", wide, true) != S_OK) return {};
    return {text, true};
}

std::int32_t NextSessionCount() {
    std::int32_t count = 1;
    std::wstring stored;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", stored, true) == S_OK) {
        // A count whose successor would not fit is no count this program
        // wrote; it is treated like any other unreadable text.
        if (auto value = ParseCount(stored, INT32_MAX - 1)) count = static_cast<std::int32_t>(*value + 1);
    }
    WriteRegistryString(HKEY_LOCAL_MACHINE, kMakerKey, L"SessionCount", std::to_wstring(count), true);
    return count;
}

std::shared_ptr<GoogleAnalytics4> StartAnalyticsSession(AnalyticsEnvironment& environment, GuidSource createGuid,
                                                        const MachineFacts& facts, const std::vector<RECT>& monitors,
                                                        const std::wstring& uiLanguage) {
    if (IsAnalyticsDisabled()) return nullptr;

    const std::string appName = ReplaceSpaces(kAppName);
    const ClientGuid client = ReadOrCreateClientGuid(createGuid);
    if (client.id.empty()) return nullptr;
    const std::int32_t count = NextSessionCount();

    // The client puts the identifier into the query as it stands. Ours are
    // hexadecimal and dashes, which encoding leaves alone; a stored text with
    // '&', spaces or line breaks must not add parameters or break the request.
    auto analytics =
        std::make_shared<GoogleAnalytics4>(environment, PercentEncode(client.id), count, client.newlyCreated);
    analytics->SetAppName(appName);
    analytics->SetAppVersion(WideToUtf8(kAppVersion));
    analytics->SetScreenResolution(std::to_string(facts.primaryWidth) + "x" + std::to_string(facts.primaryHeight));
    const std::string language = WideToUtf8(uiLanguage);
    analytics->SetUserLanguage(language);
    analytics->SetUserProperty("language", language);
    if (facts.osVersion)
        analytics->SetUserProperty("os_version", std::to_string(facts.osVersion->major) + "." +
                                                     std::to_string(facts.osVersion->minor) + "." +
                                                     std::to_string(facts.osVersion->build));
    analytics->SetUserProperty("screen_count", std::to_string(monitors.size()));
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const RECT& r = monitors[i];
        const std::string key = i == 0 ? "screen_size" : "screen_size" + std::to_string(i + 1);
        analytics->SetUserProperty(key, std::to_string(static_cast<long long>(r.right) - r.left) + "x" +
                                            std::to_string(static_cast<long long>(r.bottom) - r.top));
    }
    if (facts.country) analytics->SetUserProperty("country", *facts.country);
    if (facts.osLanguage) analytics->SetUserProperty("os_language", *facts.osLanguage);
    analytics->SendScreenView(appName + "/Settings");
    return analytics;
}
