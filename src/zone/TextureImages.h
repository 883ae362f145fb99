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
// header (EImageTooLarge). One TTileLoader does this for the viewer's uploads, the
// export and the map.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "formats/Image.h"
#include "formats/ImageLimits.h"
#include "formats/Stream.h"
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

// What a decoder took from a file: the bytes of its decoded image, and the image's
// damage (TImage::Damage).
struct TDecoded {
    uint64_t Bytes = 0;
    std::string Damage;
};

// Logs "FILE: MEMBER: DAMAGE; shown as read" when there is damage.
void LogDamage(std::string_view file, std::string_view member, std::string_view damage);

// The tiles of one texture archive, within the zone's texture budget
// (TileTextureBudget of the archive) and the largest side the caller takes.
class TTileLoader {
public:
    explicit TTileLoader(TMPKFile& archive, uint64_t maxSide = TImageLimits{}.MaxSide);

    bool HasDDS(int px, int py) const;
    bool HasBitmap(int px, int py) const;
    // Opens the member and hands it to `decode` with what is left of the budget; what
    // it decoded counts against the budget from then on. Errors name the archive and
    // the member, and so does the warning for a damaged image.
    using TDecode = std::function<TDecoded(TStream& member, const TImageLimits& limits)>;
    void Read(const std::string& member, const TDecode& decode);
    // The tile's picture, RGB and upright: its DDS member when there is one, else its
    // BMP alternative. A tile without a pixel is refused.
    TImage Picture(int px, int py);

private:
    TMPKFile& m_Archive;
    uint64_t m_MaxSide;
    uint64_t m_Budget;
    uint64_t m_Used = 0;
};

// The archive member of tile (px, py): "tex%2.2d-%2.2d.dds" of (px, 7 - py), and its
// BMP alternative with the extension ".bmp".
std::string TileMemberName(int px, int py);
std::string TileBitmapMemberName(int px, int py);

// The DDS member of tile (px, py) when the archive has it (letter case ignored), else
// its BMP alternative; a tile missing in both forms raises the archive's "Source stream
// [%s] not found in archive" for the BMP name. The tile alone is held to the budget.
TImage LoadTileImage(TMPKFile& archive, int px, int py);

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
