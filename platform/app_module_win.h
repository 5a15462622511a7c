// The application module and the thread's message loop of the window framework.
#pragma once

#include <windows.h>

namespace platform {

class MessageLoop {
public:
    // Pumps every message of the thread until WM_QUIT; returns its exit code.
    // A failed GetMessageW (-1) is skipped.
    int Run();
};

class AppModule {
public:
    void Init(HINSTANCE instance) { instance_ = instance; }
    void Term() {
        loop_ = nullptr;
        instance_ = nullptr;
    }
    HINSTANCE Instance() const { return instance_; }

    // The program has one user-interface thread, so one loop at a time.
    bool AddMessageLoop(MessageLoop* loop);
    void RemoveMessageLoop() { loop_ = nullptr; }
    MessageLoop* CurrentMessageLoop() const { return loop_; }

private:
    HINSTANCE instance_ = nullptr;
    MessageLoop* loop_ = nullptr;
};

// The process's one application module.
AppModule& Module();

} // namespace platform
