// FrameMath: the arithmetic of the frame and of what is drawn in it, without OpenGL:
// the projection's numbers, the eye's place above the ground, the sun's direction, the
// corners and colour of a water region and the compass window. The drawing (Frame.h and the
// element units) calls these; the core's tests check them without a context.
//
//   const TPerspective p = FramePerspective(camera.Pitch, 640, 480);
//   ClampCameraToGround(camera, terrain, gravity, frameTime);
//   std::array<float, 4> sun = SunDirection(TickCountMs());
#pragma once

#include <array>
#include <cstdint>

#include "zone/Zone.h"

namespace orv {

constexpr float FieldOfView = 90.0f;        // degrees, vertical
constexpr float FarPlane = 76800.0f;
constexpr int EyeAboveGround = 90;          // above the nearest vertex
constexpr uint32_t SunPeriodMs = 10000;

// The arguments of the frame's perspective projection.
struct TPerspective {
    double FieldOfView = 0.0;   // degrees
    double Aspect = 0.0;        // width / height
    double Near = 0.0;
    double Far = 0.0;
};

// 100 at a pitch of 45 degrees and more, 50 below.
float NearPlane(float pitch);
// The view's own aspect (a size below 1 counts as 1), the near plane by the pitch and
// the far plane.
TPerspective FramePerspective(float pitch, int viewWidth, int viewHeight);

// The nearest the near plane comes to the eye (see GroundNearPlane).
constexpr float LeastNearPlane = 4.0f;
// The near plane that cuts no ground away next to the eye: NearPlane(pitch), brought
// closer where the surface around the eye is nearer than that, never below
// LeastNearPlane. A point in the view lies at a depth of at least the cosine of the
// view's widest angle (its corners') times its distance; so ground farther than
// NearPlane / that cosine is never cut, and ground within that reach lies no nearer
// than the eye's height above the highest grid vertex of the cells there.
float GroundNearPlane(const TCamera& camera, const TTerrain& terrain, double aspect);
// FramePerspective with GroundNearPlane for the camera over the terrain.
TPerspective GroundPerspective(const TCamera& camera, const TTerrain& terrain, int viewWidth, int viewHeight);

// Gravity (z sinks by frameTime) and the clamp to 90 above the nearest vertex, only
// over the grid.
void ClampCameraToGround(TCamera& camera, const TTerrain& terrain, bool gravity, float frameTime);

// The sun's direction at a tick: along x from the horizon at +x to the one at -x every
// ten seconds; w = 0.
std::array<float, 4> SunDirection(uint32_t tick);

// The four corners of a region in world space, counter-clockwise seen from above. The
// products are 32-bit integer arithmetic that wraps (whatever the bounds hold), then
// converted to single.
std::array<TVec3f, 4> WaterCorners(const TWaterRegion& region);

// The water's opacity.
constexpr float WaterAlpha = 0.7f;
// A packed colour 0x00BBGGRR as red, green and blue, each byte divided by 255.
std::array<float, 3> PackedColorRGB(uint32_t color);

constexpr float CompassWindow = 0.25f;     // of the texture: 90 degrees
constexpr float CompassLead = 22.5f;       // degrees before the compass angle

// 360 - heading.
float CompassHeading(float cameraHeading);
// The s coordinate where the compass strip starts, in 0..1.
float CompassStart(float cameraHeading);

}  // namespace orv
