// The WinINet calls the HTTP transport makes, as a table: the system's
// wininet.dll, or a stand-in that tests script.
#pragma once

#include <windows.h>
#include <wininet.h>

// Each entry typed by the system header's own declaration, so that a stand-in
// with another calling convention does not compile.
struct InternetApi {
    decltype(&::InternetOpenA) InternetOpenA = nullptr;
    decltype(&::InternetSetStatusCallbackW) InternetSetStatusCallbackW = nullptr;
    decltype(&::InternetConnectA) InternetConnectA = nullptr;
    decltype(&::HttpOpenRequestA) HttpOpenRequestA = nullptr;
    decltype(&::HttpSendRequestA) HttpSendRequestA = nullptr;
    decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;

    bool Complete() const {
        return InternetOpenA && InternetSetStatusCallbackW && InternetConnectA && HttpOpenRequestA &&
               HttpSendRequestA && InternetCloseHandle;
    }
};

// wininet.dll from the system folder, loaded at the first call and never
// unloaded: its threads call back into the program until the process ends.
// Every entry is null when it cannot be loaded.
const InternetApi& SystemInternetApi();
