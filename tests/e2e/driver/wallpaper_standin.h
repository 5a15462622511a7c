// A stand-in for the animated wallpaper: a window of class "Direct3D Window"
// that records every "ChangeWallpaperSettingsSorvane" message posted to it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

class WallpaperStandIn {
public:
    using Post = std::pair<WPARAM, LPARAM>; // setting code, value

    // A top-level window, or a child of a top-level window of ours.
    explicit WallpaperStandIn(bool asChild = false);
    ~WallpaperStandIn();
    WallpaperStandIn(const WallpaperStandIn&) = delete;
    WallpaperStandIn& operator=(const WallpaperStandIn&) = delete;

    HWND Window() const { return window_; }
    const std::vector<Post>& Received() const { return received_; }
    // Waits (dispatching messages) until at least `count` posts arrived.
    bool WaitForPosts(size_t count, DWORD milliseconds);
    // To show that an action posted nothing, follow it with one that posts:
    // posts arrive in the order the program made them.
    void Clear();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND parent_ = nullptr;
    HWND window_ = nullptr;
    UINT message_ = 0;
    std::vector<Post> received_;
};

std::string Describe(const std::vector<WallpaperStandIn::Post>& posts);

} // namespace e2e
