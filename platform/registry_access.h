// Plain REG_SZ values: the only way single text values are read and written,
// the 64-bit view rule, and the keys the program uses.
#pragma once

#include "platform/win_types.h"

#include <string>

constexpr const wchar_t* kProductKey = L"Software\\Quenvale\\Sorvane 3D Screensaver";
constexpr const wchar_t* kMakerKey = L"Software\\Quenvale";
constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver_is1";
constexpr const wchar_t* kCombinedUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sorvane 3D Screensaver and Animated Wallpaper_is1";
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// True only for a 32-bit process on 64-bit Windows; asked anew at every call.
bool IsRunningUnderWow64();

// The access rights for a read or a write, with KEY_WOW64_64KEY added when the
// 64-bit view is asked for and the process runs under WOW64.
REGSAM ReadAccess(bool use64BitView);
REGSAM WriteAccess(bool use64BitView);

// S_OK with `text` set, or E_FAIL with `text` unchanged (missing key or value,
// a type other than REG_SZ, or a value without one whole character). Reads up
// to the first NUL.
HRESULT ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text,
                           bool use64BitView);

// The read rights for the 32-bit view, where a 32-bit installer writes: for
// the 32-bit program simply its own view (what use64BitView false reads); the
// 64-bit program asks for it (KEY_WOW64_32KEY), so that both programs find the
// product in the same place.
REGSAM ReadAccess32BitView();
// ReadRegistryString in the 32-bit view.
HRESULT ReadRegistryString32BitView(HKEY root, const wchar_t* subKey, const wchar_t* valueName, std::wstring& text);

// True when a value of this name exists, of any type and content, in the
// 64-bit view or in the 32-bit view (one and the same on 32-bit Windows).
bool RegistryValueExistsInEitherView(HKEY root, const wchar_t* subKey, const wchar_t* valueName);

// Writes `text` as REG_SZ without a terminating NUL, creating missing keys.
HRESULT WriteRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const std::wstring& text,
                            bool use64BitView);
