// The application module and the message loop.
#include "platform/app_module_win.h"

namespace platform {

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): the module runs the loop object it was given
int MessageLoop::Run() {
    MSG message;
    for (;;) {
        const BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == -1) continue;
        if (result == 0) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool AppModule::AddMessageLoop(MessageLoop* loop) {
    if (loop_) return false;
    loop_ = loop;
    return true;
}

AppModule& Module() {
    static AppModule module;
    return module;
}

} // namespace platform
