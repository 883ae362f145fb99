// Zone: the data of one zone as it lives in memory, and the camera that flies over it.
//
// The grid holds 257 x 257 vertices 256 world units apart, first index x, second y
// (x-major: Terrain[x][y]); vertex (x, y) stands at world (256 x, 256 y, Height).
// It is drawn as 8 x 8 patches of 32 x 32 cells; patch (px, py) uses tile px + 8 py.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/CgGeometry.h"

namespace orv {

constexpr int GridVertices = 257;    // per side
constexpr int GridCells = 256;       // per side
constexpr int CellSize = 256;        // world units per cell
constexpr int PatchCells = 32;       // cells per patch side
constexpr int PatchesPerSide = 8;
constexpr int TileCount = PatchesPerSide * PatchesPerSide;

struct TTerrainVertex {
    uint16_t Height = 0;
    int32_t D2 = 0;            // roughness of the level-of-detail node centred here
    uint8_t Subdivided = 0;    // 0 or 255
};

using TTerrain = std::array<std::array<TTerrainVertex, GridVertices>, GridVertices>;
using TTerrainNormals = std::array<std::array<TVec3f, GridVertices>, GridVertices>;

struct TGridIndex {
    int x = 0, y = 0;
    friend bool operator==(const TGridIndex&, const TGridIndex&) = default;
};

// The vertex nearest to a world position (halves round to even), or nothing outside the grid.
std::optional<TGridIndex> NearestVertex(float worldX, float worldY);

struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

// One river or lake: the bounding rectangle of its bank points (heightmap cells, y
// growing opposite to world y), its surface height and its colour 0x00BBGGRR.
struct TWaterRegion {
    int32_t Height = 0;
    TRect Bounds;
    uint32_t Color = 0;
};

using TWaterRegionList = std::vector<std::unique_ptr<TWaterRegion>>;

// The camera: pitch 0 looks straight down, 90 level; heading 0 looks towards +y and
// grows counter-clockwise seen from above.
struct TCamera {
    TVec3f Pos;
    float Pitch = 0.0f;
    float Heading = 0.0f;
};

}  // namespace orv
