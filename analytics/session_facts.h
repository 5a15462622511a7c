// Whether analytics runs, the client identifier and session counter kept in
// the maker's key, the machine facts every hit carries, and the session start.
#pragma once

#include "analytics/google_analytics4.h"
#include "platform/win_types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// True when a value named `DisableAnalytics` exists in the maker's key, of any
// type and content, in either registry view.
bool IsAnalyticsDisabled();

struct ClientGuid {
    std::string id; // empty when there is none and none could be stored
    bool newlyCreated = false;
};

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
};

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper-case hexadecimal.
std::string FormatClientGuid(const Guid& guid);

// The stored `ClientGuid` as UTF-8, or a new one from `createGuid` stored now.
// `createGuid` returns false when no GUID can be made.
using GuidSource = bool (*)(Guid& guid);
ClientGuid ReadOrCreateClientGuid(GuidSource createGuid);
// With the system's GUIDs (Windows only).
ClientGuid ReadOrCreateClientGuid();

// The stored `SessionCount` plus one, written back. A stored text that is not
// all digits, or whose successor would not fit 32 bits, starts again at 1.
std::int32_t NextSessionCount();

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

// Windows only: the version RtlGetVersion reports; false when ntdll lacks it.
bool QueryOsVersion(OsVersion& version);

// What the session start reports about the machine; an absent fact is not sent.
struct MachineFacts {
    unsigned primaryWidth = 0;
    unsigned primaryHeight = 0;
    std::optional<OsVersion> osVersion;
    std::optional<std::string> country;    // two-letter ISO code
    std::optional<std::string> osLanguage; // two-letter ISO 639 name
};

// Starts a session and reports the settings page: a client unless analytics
// is disabled or no client identifier exists. `uiLanguage` is the settings
// dialog's language code; `monitors` are the whole areas of its monitor
// records, in record order.
std::shared_ptr<GoogleAnalytics4> StartAnalyticsSession(AnalyticsEnvironment& environment, GuidSource createGuid,
                                                        const MachineFacts& facts, const std::vector<RECT>& monitors,
                                                        const std::wstring& uiLanguage);

#ifdef _WIN32
// The facts of this machine: primary display size, OS version, the user's
// country and UI language.
MachineFacts QueryMachineFacts();
// The session start on this machine, for the settings dialog.
std::shared_ptr<GoogleAnalytics4> StartAnalyticsSession(const std::vector<RECT>& monitors,
                                                        const std::wstring& uiLanguage);
#endif
