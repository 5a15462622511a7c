// Automatic detail from the frame time.
#include "main_program/render/detail_control.h"

#include <algorithm>

namespace render {

namespace {

constexpr double kWindowSeconds = 2.0; // frame times are judged over this much time
constexpr int kWindowFrames = 10;      // and at least this many frames
// Share of the frame period spent rendering: above the first the detail goes
// down, below the second (for long enough) it goes up again.
constexpr double kOverloaded = 0.85;
constexpr double kRelaxed = 0.45;
constexpr double kSecondsBeforeStepUp = 4.0;
constexpr double kCeilingSeconds = 60.0;

int Tier(scene::Detail d) { return static_cast<int>(d); }
scene::Detail FromTier(int t) { return static_cast<scene::Detail>(std::clamp(t, 0, 2)); }

} // namespace

scene::DetailChoice StartingDetail(bool graphicsRule, bool texturesRule) {
    return {graphicsRule ? scene::Detail::High : scene::Detail::Medium,
            texturesRule ? scene::Detail::High : scene::Detail::Medium};
}

DetailControl::DetailControl(bool highGeometry, bool highTextures, scene::DetailChoice start)
    : fixedGeometry_(highGeometry), fixedTextures_(highTextures), start_(start), choice_(start) {
    if (fixedGeometry_) choice_.geometry = scene::Detail::High;
    if (fixedTextures_) choice_.textures = scene::Detail::High;
}

bool DetailControl::FrameRendered(double workSeconds, double periodSeconds, double nowSeconds) {
    if (fixedGeometry_ && fixedTextures_) return false;
    if (windowStart_ < 0) windowStart_ = nowSeconds;
    windowWork_ += std::max(0.0, workSeconds);
    windowPeriods_ += std::max(1e-6, periodSeconds);
    ++windowFrames_;
    if (nowSeconds - windowStart_ < kWindowSeconds || windowFrames_ < kWindowFrames) return false;
    const double load = windowWork_ / windowPeriods_;
    windowStart_ = nowSeconds;
    windowWork_ = windowPeriods_ = 0;
    windowFrames_ = 0;
    if (load > kOverloaded) return Step(false, nowSeconds);
    if (load < kRelaxed && nowSeconds - lastChange_ >= kSecondsBeforeStepUp) return Step(true, nowSeconds);
    return false;
}

bool DetailControl::Step(bool up, double now) {
    const scene::DetailChoice before = choice_;
    int geometry = Tier(choice_.geometry), textures = Tier(choice_.textures);
    if (!up) {
        // Geometry gives way first; textures only once geometry is at its lowest.
        if (!fixedGeometry_ && geometry > 0) {
            ceiling_ = geometry - 1;
            --geometry;
        } else if (!fixedTextures_ && textures > 0) {
            --textures;
        }
        ceilingUntil_ = now + kCeilingSeconds;
    } else {
        const int ceiling = now < ceilingUntil_ ? ceiling_ : 2;
        // Textures come back first (up to where they started), then geometry.
        if (!fixedTextures_ && textures < Tier(start_.textures))
            ++textures;
        else if (!fixedGeometry_ && geometry < ceiling)
            ++geometry;
    }
    choice_ = {FromTier(geometry), FromTier(textures)};
    if (choice_.geometry == before.geometry && choice_.textures == before.textures) return false;
    lastChange_ = now;
    return true;
}

} // namespace render
