// Frame: the composition of one picture of the 3D view.
//
// Projection, ground clamp and gravity, clear, sky box (in eye space or, after the view
// transform and the sun, in world space), terrain, water, the orthographic overlay with
// the compass, and the error check, always in this order:
//
//   TSceneState scene{...};          // what the frame reads (the camera is written)
//   int triangles = ComposeFrame(scene, {.ViewWidth = 640, .ViewHeight = 480});
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "terrain/Renderers.h"
#include "zone/Zone.h"

namespace orv {

// What one frame needs to know about the view it draws into.
struct TFrameGeometry {
    int ViewWidth = 640;     // the OpenGL view's pixels
    int ViewHeight = 480;
    bool Visible = true;     // false while the main window is not shown: nothing is drawn
    // The millisecond tick the moving sun is placed by; empty: the system's tick now.
    std::optional<uint32_t> SunTick;
};

struct TSceneState {
    TCamera* Camera = nullptr;                     // the ground clamp writes its z
    const TWaterRegionList* WaterRegions = nullptr;
    TTerrainDrawState TerrainDraw;                 // CameraPos is taken from Camera
    bool BoundingSkybox = true;
    bool TrackSun = false;
    bool Gravity = false;
    float FrameTime = 0.0f;                        // milliseconds of the last frame
    uint32_t SkyTexture = 0, WaterTexture = 0, CompassTexture = 0;
};

constexpr float FieldOfView = 90.0f;
constexpr float FarPlane = 76800.0f;
constexpr float EyeAboveGround = 90.0f;
constexpr std::array<float, 4> FogColor{0.75f, 0.75f, 0.8f, 1.0f};
constexpr float FogDensity = 0.00015f;
constexpr float FogStart = 16000.0f;
constexpr float FogEnd = 20000.0f;
constexpr uint32_t SunPeriodMs = 10000;

// Draws one frame and returns the terrain triangles; nothing while not visible.
int ComposeFrame(TSceneState& scene, const TFrameGeometry& frame);

// 100 at a pitch of 45 degrees and more, 50 below.
float NearPlane(float pitch);
// Gravity (z sinks by frameTime) and the clamp to 90 above the nearest vertex, only
// over the grid.
void ClampCameraToGround(TCamera& camera, const TTerrain& terrain, bool gravity, float frameTime);
// Pitch about x, heading about z, then the translation to the eye.
void ApplyCameraTransform(const TCamera& camera);
// The sun's direction at a tick: along x from the horizon at +x to the one at -x every
// ten seconds; w = 0.
std::array<float, 4> SunDirection(uint32_t tick);
// Light 0's position from the sun's direction, under the current modelview matrix.
void UpdateSunLight(uint32_t tick);
// Fog on with its parameters, or off.
void ApplyFog(bool on);

}  // namespace orv
