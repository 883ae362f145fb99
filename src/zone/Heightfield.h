// Heightfield: the zone's 257 x 257 heights from the two 8-bit heightmaps of its data
// archive.
//
//   THeightRange range = ReadTerrainHeights(archive, terrain);
//   StoreTerrainHeights(offsetPixels, terrainPixels, terrain);   // pixels already decoded
//
// Pixel (c, r) of both images (column c, scanline r, first scanline first) gives the
// height offset * 48 + terrain * 8 of vertex (c, 256 - r); row y = 0 repeats y = 1 and
// column x = 256 repeats x = 255. Only the first 256 x 256 decoded bytes are used.
// Only Height is written; the level-of-detail fields are left to their own step.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "zone/Zone.h"

namespace orv {

class TMPKFile;

constexpr std::string_view TerrainMember = "terrain.pcx";
constexpr std::string_view OffsetMember = "offset.pcx";
constexpr int OffsetScale = 48;
constexpr int TerrainScale = 8;
// What the loader can read of one heightmap: the 128-byte PCX header, then at most two
// bytes (a run marker and its value) for each of the 256 x 256 pixels it takes. A member
// is inflated no further, however long it is: the result is the same as with all of it.
constexpr int64_t PCXHeaderBytes = 128;
constexpr int64_t HeightmapBytesRead = PCXHeaderBytes + 2 * int64_t{GridCells} * GridCells;

struct THeightRange {
    int MinZ = -1;   // -1: nothing read
    int MaxZ = -1;
};

// Extracts both members (terrain first) before reading a pixel, so a missing member
// leaves the grid untouched. Decoding streams are released on return and on failure.
THeightRange ReadTerrainHeights(TMPKFile& archive, TTerrain& terrain);

// The heights of 256 x 256 decoded pixels of each heightmap (first scanline first;
// fewer raise std::invalid_argument), stored as above; returns their range.
THeightRange StoreTerrainHeights(std::span<const uint8_t> offsetPixels, std::span<const uint8_t> terrainPixels,
                                 TTerrain& terrain);

}  // namespace orv
