// What the test driver and the main program's stand-in agree on: the
// environment variables that steer the stand-in and the fields it records.
#pragma once

namespace e2e::stand_in {

// The file the stand-in writes its record to; without it the stand-in only exits.
constexpr const wchar_t* kRecordVariable = L"SORVANE_STAND_IN_RECORD";
// The name of an event the stand-in waits for before it exits.
constexpr const wchar_t* kHoldVariable = L"SORVANE_STAND_IN_HOLD";
// The exit code, in decimal.
constexpr const wchar_t* kExitCodeVariable = L"SORVANE_STAND_IN_EXIT_CODE";

// One "name=value" line each, in UTF-16.
constexpr const wchar_t* kCommandLineField = L"command_line";
constexpr const wchar_t* kWorkingFolderField = L"working_folder";
constexpr const wchar_t* kProcessIdField = L"process_id";
// QueryPerformanceCounter as the stand-in's code begins.
constexpr const wchar_t* kStartedField = L"started";

} // namespace e2e::stand_in
