// What happens in the scene that can be heard: the scene reports these events
// as it advances, and the audio plays a synthesised effect for each.
#pragma once

namespace scene {

enum class SceneEventKind {
    LightRises,   // a drifting light lifts off the ground or the water
    LightPasses,  // a light passes close to the camera
    ShootingStar, // a streak crosses the sky
    WaterRipple,  // something touches the water near the camera
};

struct SceneEvent {
    SceneEventKind kind = SceneEventKind::LightRises;
    float pan = 0.0f;      // -1 left .. 1 right, as seen from the camera
    float strength = 1.0f; // 0 .. 1: distance and size folded into one
};

} // namespace scene
