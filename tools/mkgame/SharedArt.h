// SharedArt: the textures every zone shares: the detail texture, the clouds, the water,
// the compass strip and the checker test texture. All are tileable where the viewer
// repeats them, and all are pictures top row first.
//
//   WriteWholeFile(dir + "zones/d00.bmp", EncodeBMP24(DetailTexture()));
#pragma once

#include "writers/ImageWriters.h"

namespace orvgame {

constexpr int DetailSize = 256;
constexpr int CloudSize = 256;
constexpr int WaterSize = 256;
constexpr int CompassWidth = 512;      // 360 degrees: s = angle / 360, north at s = 0
constexpr int CompassHeight = 32;
constexpr int CompassTickDegrees = 15;
constexpr int CheckerSize = 256;
constexpr int CheckerSquare = 32;

// Grey noise around mid grey, so that doubling tile x detail keeps the tile's brightness.
orv::TImage DetailTexture();
// White wisps of cloud whose alpha is their thickness (RGBA).
orv::TImage CloudTexture();
// Light ripples; the viewer tints them with each region's colour.
orv::TImage WaterTexture();
// A dark strip with a tick every 15 degrees and the letters N, E, S and W at 0, 90,
// 180 and 270 degrees (north in red), wrapping round at its ends.
orv::TImage CompassTexture();
// Two colours in 32-pixel squares.
orv::TImage CheckerTexture();

}  // namespace orvgame
