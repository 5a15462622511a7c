// When the screensaver ends on input: any key, button or wheel at once; the
// pointer once it is more than about 8 pixels from where it was when the
// scene first showed, unless mouse movement is switched off; another program
// taking the foreground after we were active; a close or the end of the
// session.
#pragma once

#include <cstdint>

namespace input {

constexpr int kMoveThreshold = 8; // pixels from where the pointer was

struct Point {
    std::int32_t x = 0, y = 0;
};

bool BeyondThreshold(Point origin, Point now);

class EndingRules {
  public:
    explicit EndingRules(bool mouseMoveEnds) : mouseMoveEnds_(mouseMoveEnds) {}

    // The scene shows for the first time, the pointer being at `pointer`.
    void SceneShown(Point pointer);
    void KeyOrButton() { end_ = true; }
    // A mouse-move message at `pointer` (screen coordinates). The first one
    // is ignored: windows get one when they appear under the pointer.
    void MouseMoved(Point pointer);
    // Where the pointer is now, looked at outside any message (it may move
    // over a monitor we leave alone).
    void PointerAt(Point pointer);
    // WM_ACTIVATEAPP: only losing the foreground after having had it ends.
    void Activated(bool active);
    void Close() { end_ = true; }

    bool ShouldEnd() const { return end_; }
    bool Shown() const { return shown_; }
    Point Origin() const { return origin_; }

  private:
    bool mouseMoveEnds_;
    bool shown_ = false;
    bool firstMoveSeen_ = false;
    bool wasActive_ = false;
    bool end_ = false;
    Point origin_;
};

} // namespace input
