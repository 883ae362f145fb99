#include "zone/Heightfield.h"

#include "formats/MPKFile.h"
#include "formats/PCXStream.h"

namespace orv {

THeightRange ReadTerrainHeights(TMPKFile& archive, TTerrain& terrain)
{
    TPCXByteStream terrainPixels(archive.ExtractToMemory(TerrainMember));
    TPCXByteStream offsetPixels(archive.ExtractToMemory(OffsetMember));

    THeightRange range;
    for (int r = 0; r < GridCells; ++r) {
        const int y = GridCells - r;
        for (int c = 0; c < GridCells; ++c) {
            const int o = offsetPixels.ReadByte();   // the offset byte first
            const int t = terrainPixels.ReadByte();
            const int v = o * OffsetScale + t * TerrainScale;
            if (range.MinZ == -1 || v < range.MinZ)
                range.MinZ = v;
            if (range.MaxZ == -1 || v > range.MaxZ)
                range.MaxZ = v;
            terrain[c][y].Height = static_cast<uint16_t>(v);
        }
        terrain[GridCells][y].Height = terrain[GridCells - 1][y].Height;
    }
    for (int x = 0; x <= GridCells; ++x)
        terrain[x][0].Height = terrain[x][1].Height;
    return range;
}

}  // namespace orv
