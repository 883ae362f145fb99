// TextureImages: the zone's textures as pixels, without OpenGL: the 64 terrain tiles of
// its texture archive and the shared water texture.
//
//   TMPKFile archive(ZoneArchivePath(gameDir, 111, TZoneArchive::Texture));
//   TImage tile = LoadTileImage(archive, 0, 7);      // tile (px, py) = (0, 7)
//   TTileImages tiles = LoadTileImages(archive);     // all 64, index px + 8 py
//   TImage water = LoadWaterTextureImage(gameDir);
//
// A tile image is RGB and stands upright as the continuous-level-of-detail renderer lays
// it on the terrain: seen from above with +y up, row 0 runs along the tile's far edge
// (y = 32 py + 32) and column 0 along its low-x edge (x = 32 px), for DDS and BMP tiles
// alike. Alpha is dropped: the terrain is drawn without blending.
//
// Errors name the archive (or file) and the member: "PATH: MEMBER: what went wrong".
// Members are read as they inflate, and the 64 tiles together take at most
// TileTextureBudget of decoded pixels: the tile that would pass it is refused on its
// header (EImageTooLarge).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/Image.h"
#include "formats/ImageLimits.h"
#include "zone/Zone.h"

namespace orv {

class TMPKFile;

// The shared-texture files (paths under the game directory; the checker texture is
// looked for in the working directory first, then in the game directory).
inline constexpr std::string_view DetailTextureFile = "zones/d00.bmp";
inline constexpr std::string_view SkyTextureFile = "zones/sky/wisps.tga";
inline constexpr std::string_view WaterTextureFile = "zones/textures/watery.tga";
inline constexpr std::string_view CompassTextureFile = "data/compass_bar.bmp";
inline constexpr std::string_view CheckerTextureFile = "checker.bmp";

// The decoded bytes the tiles of one zone may take: 8 bytes per byte of the texture
// archive, and never less than MinTileTextureBudget, which holds 64 tiles of 512 x 512
// pixels as 24-bit bitmaps four times over (the game's tiles are 256 x 256).
constexpr uint64_t MinTileTextureBudget = uint64_t{128} << 20;
uint64_t TileTextureBudget(int64_t archiveBytes);
inline constexpr std::string_view TileBudgetName = "left of the zone's texture budget";

// The archive member of tile (px, py): "tex%2.2d-%2.2d.dds" of (px, 7 - py), and its
// BMP alternative with the extension ".bmp".
std::string TileMemberName(int px, int py);
std::string TileBitmapMemberName(int px, int py);

// The DDS member of tile (px, py) when the archive has it (letter case ignored), else
// its BMP alternative; a tile missing in both forms raises the archive's "Source stream
// [%s] not found in archive" for the BMP name. The limits bound the decoded tile.
TImage LoadTileImage(TMPKFile& archive, int px, int py, const TImageLimits& limits = {});

using TTileImages = std::array<TImage, TileCount>;
// Row py outer, column px inner, as the viewer loads them; the first failure raises.
TTileImages LoadTileImages(TMPKFile& archive);
// The same from the zone's texture archive under the game directory.
TTileImages LoadZoneTileImages(const std::string& gameDir, int zoneId);

// The water texture "zones/textures/watery.tga" under the game directory (found
// ignoring letter case), top row first: the row the water's texture coordinate t = 0
// samples. RGB, or RGBA when the file has alpha.
TImage LoadWaterTextureImage(const std::string& gameDir);

}  // namespace orv
