// ZoneMap: the zone seen from straight above as one picture, north (world +y) up. No
// OpenGL: it runs wherever the tools run.
//
//   TMapOptions options;                            // 2048 pixels, grid every 8192 units
//   SaveZoneMap(zone, options, "zone111.png");      // reads the tiles and the water texture
//   TImage map = DrawZoneMap(zone, tiles, &water, options);   // the same, from pixels
//
// Pixel (c, r) of an N x N map shows the world square from x = 65536 c / N and
// y = 65536 (N - r - 1) / N, 65536 / N units on a side. In it:
// - the tile images upright as the renderer lays them (at N = 2048, the tiles' own 8 x
//   256 texels, one per pixel; smaller maps average the texels they cover);
// - shading by the terrain's normals under a light from the north-west, 45 degrees up,
//   interpolated across each triangle as the renderer interpolates its lighting; flat
//   ground keeps the tile's colour;
// - each water region, in list order, where its surface lies above the ground (and
//   above the water drawn before it), in its colour times the water texture, which
//   repeats once per cell, at alpha 0.7;
// - a grid of Loc coordinates every GridStep units, X = x and Y = 65535 - y as "Go to
//   loc..." takes them: the X line passes through pixel column floor(X N / 65536), the
//   Y line through the row holding y = 65535 - Y; X is labelled along the top and bottom
//   edges, Y along the left and right ones;
// - unless Plain: the title ("Zone 111 - isles": the zone and the game directory's name)
//   at the top left, an arrow pointing north at the top right, a scale bar in Loc units at
//   the bottom left and a legend of the water colours at the bottom right, each on a
//   darkened panel inside the bands of the grid's labels.
// The PNG also tells the title, the zone, the grid step and the Loc bounds in text chunks.
// The same input gives the same bytes.
#pragma once

#include <string>

#include "export/ZoneSource.h"
#include "formats/Image.h"
#include "zone/TextureImages.h"

namespace orv {

constexpr int MinMapSize = 256;
constexpr int MaxMapSize = 8192;
constexpr int DefaultMapSize = 2048;
constexpr int DefaultMapGridStep = 8192;

struct TMapOptions {
    int Size = DefaultMapSize;           // MinMapSize..MaxMapSize
    int GridStep = DefaultMapGridStep;   // Loc units between grid lines; 0: no grid
    bool Water = true;
    bool Shade = true;
    bool Plain = false;   // no title, north arrow, scale bar or water legend
};

// Raises std::invalid_argument for a size or step out of range.
void CheckMapOptions(const TMapOptions& options);

// RGB. water may be null when options.Water is off or there are no regions.
TImage DrawZoneMap(const TZoneSource& zone, const TTileImages& tiles, const TImage* water, const TMapOptions& options);

// Reads the zone's tiles (and, with water, the water texture), draws the map and writes
// it as a PNG that appears only when it is complete. Errors name the file (and member).
void SaveZoneMap(const TZoneSource& zone, const TMapOptions& options, const std::string& path);

}  // namespace orv
