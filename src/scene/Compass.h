// Compass: the heading strip in the lower left corner of the view.
//
// The compass image spans 360 degrees; a window of a quarter of it, starting 22.5
// degrees before the compass angle, is drawn on a 48 x 16 rectangle at the overlay
// origin, under the orthographic overlay projection; on a screen that scales its
// pixels (a device pixel ratio above 1) the rectangle grows by that factor.
//
//   DrawCompass(camera.Heading, compassTexture);
#pragma once

#include <cstdint>

namespace orv {

constexpr float CompassWidth = 48.0f;
constexpr float CompassHeight = 16.0f;

// The window of the strip is CompassStart (FrameMath.h). Leaves the depth test and lighting off, texturing on.
void DrawCompass(float cameraHeading, uint32_t compassTexture, float scale = 1.0f);

}  // namespace orv
