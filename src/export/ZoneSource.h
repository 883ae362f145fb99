// ZoneSource: what the export and the map are made from: the zone as the viewer holds it,
// and where its textures are found.
//
//   TZoneSource zone{viewer.Terrain, viewer.TerrainNormals, viewer.WaterRegions, viewer.GameDir, viewer.ZoneID};
#pragma once

#include <string>

#include "zone/Zone.h"

namespace orv {

struct TZoneSource {
    const TTerrain& Terrain;
    const TTerrainNormals& Normals;
    const TWaterRegionList& WaterRegions;
    std::string GameDir;   // ends in a delimiter
    int ZoneID = 0;
};

}  // namespace orv
