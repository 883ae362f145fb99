// Painter: the 64 terrain tiles of a sample zone, painted from its heights.
//
//   TTilePainter painter(land, seed);
//   orv::TImage tile = painter.Paint(px, py);     // 256 x 256 RGB, top row first
//
// The colour of a texel depends only on its place in the zone (height, slope, nearness of
// water and river beds, and noise of the world position), so neighbouring tiles join
// without a seam. Tile (px, py) covers grid x 32 px .. 32 px + 32 and y 32 py .. 32 py + 32;
// its top row is the patch's far y edge and its bottom row the near one. That is where
// both kinds of tile end up: a DDS tile (top row first in the file) is drawn with its t
// flipped, a BMP tile (bottom row first in the file) without.
#pragma once

#include <cstdint>
#include <vector>

#include "Landscape.h"
#include "writers/ImageWriters.h"

namespace orvgame {

constexpr int TileSize = 256;           // texels per tile side
constexpr int TexelsPerCell = TileSize / 32;

class TTilePainter {
public:
    TTilePainter(const TLandscape& land, uint64_t seed);
    orv::TImage Paint(int px, int py) const;

private:
    // A noise field sampled ahead on a grid finer than the cells, read back bilinearly.
    struct TNoiseGrid {
        int PerCell = 1;
        int Side = 0;
        std::vector<float> Values;
        double Sample(double gx, double gy) const;
    };
    static TNoiseGrid SampleNoise(int perCell, double scale, uint64_t seed, int octaves);

    struct TColor {
        double r = 0.0, g = 0.0, b = 0.0;
    };
    // What the painting needs of one vertex.
    struct TVertex {
        float Height = 0.0f;
        float NormalX = 0.0f, NormalY = 0.0f, NormalZ = 1.0f;
        float Riverbed = 0.0f;
    };
    TColor Texel(double gx, double gy) const;
    TVertex SampleVertex(double gx, double gy) const;

    const TLandscape& m_Land;
    uint64_t m_Seed;
    std::vector<TVertex> m_Vertices;  // [x * GridSize + y]
    std::vector<int> m_CellWater;    // per cell: the highest water surface over it, or -1
    std::vector<uint8_t> m_CellSea;  // per cell: that surface is the sea's
    TNoiseGrid m_Patches;            // meadows and rock bands, a few cells across
    TNoiseGrid m_Woods;              // woods, some ten cells across
};

}  // namespace orvgame
