// Compass: the heading strip in the lower left corner of the view.
//
// The compass image spans 360 degrees; a window of a quarter of it, starting 22.5
// degrees before the compass angle, is drawn on a 48 x 16 rectangle at the overlay
// origin, under the orthographic overlay projection.
//
//   DrawCompass(camera.Heading, compassTexture);
#pragma once

#include <cstdint>

namespace orv {

constexpr float CompassWidth = 48.0f;
constexpr float CompassHeight = 16.0f;
constexpr float CompassWindow = 0.25f;     // of the texture: 90 degrees
constexpr float CompassLead = 22.5f;       // degrees before the compass angle

// 360 - heading.
float CompassHeading(float cameraHeading);
// The s coordinate where the strip starts, in 0..1.
float CompassStart(float cameraHeading);
// Leaves the depth test and lighting off, texturing on.
void DrawCompass(float cameraHeading, uint32_t compassTexture);

}  // namespace orv
