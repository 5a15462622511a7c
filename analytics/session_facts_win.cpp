// The session facts Windows supplies: GUIDs, the OS version, the primary
// display, the user's country and UI language.
#include "analytics/session_facts.h"

#include "platform/library_win.h"

#include <objbase.h>

#include <vector>

namespace {

bool CreateSystemGuid(Guid& guid) {
    GUID created{};
    if (FAILED(CoCreateGuid(&created))) return false;
    guid.data1 = created.Data1;
    guid.data2 = created.Data2;
    guid.data3 = created.Data3;
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = created.Data4[i];
    return true;
}

// Each UTF-16 unit reduced to its low byte: the ISO codes are plain ASCII.
std::string LowBytes(const wchar_t* text, int length) {
    std::string bytes;
    for (int i = 0; i < length; ++i)
        bytes += static_cast<char>(text[i] & 0xFF);
    return bytes;
}

std::optional<std::string> UserCountry() {
    const GEOID location = GetUserGeoID(GEOCLASS_NATION);
    const int size = GetGeoInfoW(location, GEO_ISO2, nullptr, 0, 0);
    if (size <= 0) return std::nullopt;
    std::vector<wchar_t> buffer(size);
    const int written = GetGeoInfoW(location, GEO_ISO2, buffer.data(), size, 0);
    if (written <= 0 || written > size) return std::nullopt;
    return LowBytes(buffer.data(), written - 1);
}

std::optional<std::string> UserInterfaceLanguage() {
    const LANGID language = GetUserDefaultUILanguage();
    if (language == LOCALE_CUSTOM_UI_DEFAULT) return std::nullopt;
    const int size = GetLocaleInfoW(language, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::vector<wchar_t> buffer(size);
    const int written = GetLocaleInfoW(language, LOCALE_SISO639LANGNAME, buffer.data(), size);
    if (written <= 0 || written > size) return std::nullopt;
    return LowBytes(buffer.data(), written - 1);
}

} // namespace

ClientGuid ReadOrCreateClientGuid() { return ReadOrCreateClientGuid(&CreateSystemGuid); }

bool QueryOsVersion(OsVersion& version) {
    // Declared only for drivers; NTAPI is the Windows calling convention.
    using RtlGetVersionFn = platform::WinApiFunction<LONG, OSVERSIONINFOEXW*>;
    platform::Library ntdll(L"ntdll.dll");
    auto rtlGetVersion = ntdll.Function<RtlGetVersionFn>("RtlGetVersion");
    if (!rtlGetVersion) return false;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    rtlGetVersion(&info);
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    return true;
}

MachineFacts QueryMachineFacts() {
    MachineFacts facts;
    facts.primaryWidth = static_cast<unsigned>(GetSystemMetrics(SM_CXSCREEN));
    facts.primaryHeight = static_cast<unsigned>(GetSystemMetrics(SM_CYSCREEN));
    OsVersion version;
    if (QueryOsVersion(version)) facts.osVersion = version;
    facts.country = UserCountry();
    facts.osLanguage = UserInterfaceLanguage();
    return facts;
}

std::shared_ptr<GoogleAnalytics4> StartAnalyticsSession(const std::vector<RECT>& monitors,
                                                        const std::wstring& uiLanguage) {
    if (IsAnalyticsDisabled()) return nullptr;
    return StartAnalyticsSession(SystemAnalyticsEnvironment(), &CreateSystemGuid, QueryMachineFacts(), monitors,
                                 uiLanguage);
}
