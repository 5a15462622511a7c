// The system's WinINet, loaded by name from the system folder.
#include "analytics/internet_api.h"

#include "platform/library_win.h"

const InternetApi& SystemInternetApi() {
    static const InternetApi api = [] {
        // Deliberately never freed, not even at exit: a completion may still
        // be running on one of wininet's threads while the process ends.
        const auto* wininet = new platform::Library(L"wininet.dll");
        InternetApi table;
        table.InternetOpenA = wininet->Function<decltype(&::InternetOpenA)>("InternetOpenA");
        table.InternetSetStatusCallbackW =
            wininet->Function<decltype(&::InternetSetStatusCallbackW)>("InternetSetStatusCallbackW");
        table.InternetConnectA = wininet->Function<decltype(&::InternetConnectA)>("InternetConnectA");
        table.HttpOpenRequestA = wininet->Function<decltype(&::HttpOpenRequestA)>("HttpOpenRequestA");
        table.HttpSendRequestA = wininet->Function<decltype(&::HttpSendRequestA)>("HttpSendRequestA");
        table.InternetCloseHandle = wininet->Function<decltype(&::InternetCloseHandle)>("InternetCloseHandle");
        return table;
    }();
    return api;
}
