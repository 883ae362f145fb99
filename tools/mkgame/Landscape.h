// Landscape: the land of one sample zone: heights, the two heightmaps that store them, and
// its rivers, lakes and sea.
//
//   TLandscape land = BuildLandscape(recipe);
//   land.OffsetPixels / land.TerrainPixels   -> "offset.pcx" / "terrain.pcx" (top scanline first)
//   FormatSectorFile(land)                   -> "sector.dat"
//   land.Height(x, y)                        -> the height the viewer will load for vertex (x, y)
//
// Heightmap pixel (column c, scanline r) is vertex (c, 256 - r); the viewer's height is
// offset * 48 + terrain * 8. The offset map carries the broad shape of the land (a blurred
// copy of it) and the terrain map the local relief on top, so both images look like land.
//
// Rivers are cut as valleys along least-cost paths from high ground to the sea (or to an
// earlier river), with a bed that falls in flat stretches; each stretch is one water
// region just above its bed. Lakes are basins with a rim above their surface. Every water
// region is checked against the final heights: inside its rectangle only its own bed lies
// below its surface, so the flat water the viewer draws shows nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "zone/Heightfield.h"

namespace orvgame {

constexpr int MapSize = orv::GridCells;         // heightmap pixels per side
constexpr int GridSize = orv::GridVertices;     // grid vertices per side
constexpr int OffsetUnit = orv::OffsetScale;    // height units per offset step
constexpr int TerrainUnit = orv::TerrainScale;  // height units per terrain step
constexpr int MaxHeight = 255 * OffsetUnit + 255 * TerrainUnit;

enum class TShore { West, South, East, North };

// What makes one zone's land its own.
struct TZoneRecipe {
    int Id = 0;
    uint64_t Seed = 0;
    TShore Shore = TShore::West;
    double ShoreWidth = 30.0;     // cells of sea from the shore edge, on average
    double PeakHeight = 13000.0;  // the highest point of the zone
    double MountainCover = 0.5;   // 0: rolling hills only ... 1: mostly mountains
    double HillHeight = 1800.0;
    double PlainsCover = 0.5;     // 0: no plains ... 1: wide plains
    int Rivers = 4;
    int Lakes = 2;
    bool BmpTiles = false;        // tiles as 24-bit BMP members instead of DXT1 DDS
};

// A bank point in water-file units: x is the cell column, y counts cells from the far y
// edge (world y = 256 * (255 - y)).
struct TBankPoint {
    int x = 0;
    int y = 0;
};

enum class TWaterKind { River, Lake, Sea };

struct TWaterBody {
    TWaterKind Kind = TWaterKind::River;
    std::vector<std::pair<TBankPoint, TBankPoint>> Banks;   // (left, right) pairs
    int Height = 0;
    uint32_t Color = 0;    // 0x00BBGGRR

    // The rectangle the viewer derives from the bank points, as grid vertex indices.
    int GridX0() const;
    int GridX1() const;
    int GridY0() const;
    int GridY1() const;
};

struct TLandscape {
    int SeaLevel = 0;
    std::vector<uint8_t> OffsetPixels;    // MapSize * MapSize, top scanline first
    std::vector<uint8_t> TerrainPixels;   // likewise
    std::vector<uint16_t> Heights;        // GridSize * GridSize, [x * GridSize + y]
    std::vector<TWaterBody> Water;
    std::vector<float> Riverbed;          // GridSize * GridSize: 1 on a river bed, 0 away from it

    // The height the viewer loads for vertex (x, y), indices clamped to the grid.
    uint16_t Height(int x, int y) const;
};

TLandscape BuildLandscape(const TZoneRecipe& recipe);

// The INI text of "sector.dat" for the landscape's water.
std::string FormatSectorFile(const TLandscape& land);

// The grid heights the viewer builds from the two heightmaps (by the viewer's own
// StoreTerrainHeights), as [x * GridSize + y].
std::vector<uint16_t> GridFromHeightmaps(const std::vector<uint8_t>& offset, const std::vector<uint8_t>& terrain);

}  // namespace orvgame
