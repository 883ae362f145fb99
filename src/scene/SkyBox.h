// SkyBox: the sky around the zone, in two forms.
//
// Bounding form: an open box in world space around the zone (walls at y = 65280, x = 0
// and x = 65280, a ceiling at z = 32000; no face towards y = 0 and no floor), drawn
// after the view transform. Camera-attached form: three panels in eye space, drawn
// before it. Each is drawn twice: plainly in the sky colour, then with the clouds
// blended over it on the same depth.
//
//   DrawSkyBox(/*bounding*/ true, skyTexture);
#pragma once

#include <cstdint>

namespace orv {

constexpr float SkyColorR = 0.5f, SkyColorG = 0.6f, SkyColorB = 0.9f;
constexpr float SkyTextureScale = 128.0f;
constexpr float SkyBoxExtent = 65280.0f;     // x and y
constexpr float SkyBoxHeight = 32000.0f;     // z
constexpr float SkyPanelDistance = 25600.0f;
constexpr float SkyPanelHalfWidth = 32640.0f;
constexpr float SkyPanelHalfHeight = 32000.0f;

// Leaves texturing on with the sky texture bound, blending off, the depth test on with
// GL_LESS, texture coordinate generation and lighting off.
void DrawSkyBox(bool bounding, uint32_t skyTexture);

}  // namespace orv
