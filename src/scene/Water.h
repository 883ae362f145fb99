// Water: the zone's rivers and lakes as flat translucent rectangles, and two helpers
// the sky box uses too.
//
//   DrawWater(regions, waterTexture);          // after the terrain, in world space
//   SetTexGenPlanes(0, 1, 1.0f);               // s = x / 256, t = y / 256
//   SetGLColor(0x0000FF, 0.7f);                // red, alpha 0.7
#pragma once

#include <array>
#include <cstdint>

#include "scene/FrameMath.h"
#include "zone/Zone.h"

namespace orv {

// Object-linear generation of s and t from object coordinates sAxis and tAxis
// (0 x, 1 y, 2 z, 3 w), divided by 256 x scale; enables both.
void SetTexGenPlanes(uint8_t sAxis, uint8_t tAxis, float scale);
// The current colour from a packed 0x00BBGGRR value and an alpha.
void SetGLColor(uint32_t color, float alpha);
// Leaves blending on and texture coordinate generation off.
void DrawWater(const TWaterRegionList& regions, uint32_t waterTexture);

}  // namespace orv
