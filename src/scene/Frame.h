// Frame: the composition of one picture of the 3D view.
//
// Ground clamp and gravity, projection (its near plane clear of the ground around the
// eye), clear, sky box (in eye space or, after the view transform and the sun, in world
// space), terrain, water, the orthographic overlay with the compass, and the error
// check, always in this order:
//
//   TSceneState scene{...};          // what the frame reads (the camera is written)
//   int triangles = ComposeFrame(scene, {.ViewWidth = 640, .ViewHeight = 480});
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "scene/FrameMath.h"
#include "terrain/Renderers.h"
#include "zone/Zone.h"

namespace orv {

// What one frame needs to know about the view it draws into.
struct TFrameGeometry {
    int ViewWidth = 640;     // the OpenGL view's pixels
    int ViewHeight = 480;
    bool Visible = true;     // false while the main window is not shown: nothing is drawn
    float PixelRatio = 1.0f; // device pixels per logical pixel: the compass grows with it
    // The millisecond tick the moving sun is placed by; empty: the system's tick now.
    std::optional<uint32_t> SunTick;
};

struct TSceneState {
    TCamera* Camera = nullptr;                     // the ground clamp writes its z
    const TWaterRegionList* WaterRegions = nullptr;
    // The terrain's state, with the switches of the whole frame and the sky texture;
    // CameraPos is taken from Camera.
    TTerrainDrawState TerrainDraw;
    float FrameTime = 0.0f;                        // milliseconds of the last frame
    uint32_t WaterTexture = 0, CompassTexture = 0;
};

constexpr std::array<float, 4> FogColor{0.75f, 0.75f, 0.8f, 1.0f};
constexpr float FogDensity = 0.00015f;
constexpr float FogStart = 16000.0f;
constexpr float FogEnd = 20000.0f;

// Draws one frame and returns the terrain triangles; nothing while not visible.
int ComposeFrame(TSceneState& scene, const TFrameGeometry& frame);

// Pitch about x, heading about z, then the translation to the eye.
void ApplyCameraTransform(const TCamera& camera);
// Light 0's position from the sun's direction, under the current modelview matrix.
void UpdateSunLight(uint32_t tick);
// Fog on with its parameters, or off.
void ApplyFog(bool on);

}  // namespace orv
