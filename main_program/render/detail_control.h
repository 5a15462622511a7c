// The scene's detail: the high tier when the settings ask for it, else chosen
// from the measured frame time, starting from what the hardware rules give.
#pragma once

#include "main_program/scene/scene.h"

namespace render {

// Where automatic detail starts: the high tier where the front end's rules
// would switch the high-quality setting on, else the middle one.
scene::DetailChoice StartingDetail(bool graphicsRule, bool texturesRule);

class DetailControl {
  public:
    // `highGeometry`/`highTextures`: fixed at the high tier; otherwise
    // automatic from `start`.
    DetailControl(bool highGeometry, bool highTextures, scene::DetailChoice start);

    // One frame took `workSeconds` of rendering and presenting, against a
    // frame period of `periodSeconds`, at `nowSeconds`. True when the choice
    // changed.
    bool FrameRendered(double workSeconds, double periodSeconds, double nowSeconds);
    scene::DetailChoice Choice() const { return choice_; }

  private:
    bool Step(bool up, double now);

    bool fixedGeometry_;
    bool fixedTextures_;
    scene::DetailChoice start_;
    scene::DetailChoice choice_;
    double windowStart_ = -1;
    double windowWork_ = 0;
    double windowPeriods_ = 0;
    int windowFrames_ = 0;
    double lastChange_ = -1e9;
    // A tier that proved too slow is not tried again until this time.
    int ceiling_ = 2;
    double ceilingUntil_ = -1;
};

} // namespace render
