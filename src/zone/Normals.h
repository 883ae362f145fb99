// Normals: one unit normal per grid vertex, for lit terrain.
//
//   CreateTerrainNormals(terrain, normals);
//
// Border vertices get (0, 0, 1). An interior vertex sums, in single precision, the four
// cross products of the edge vectors towards its neighbours (-x, -y, +x, +y, in turn)
// and normalises the sum.
#pragma once

#include "zone/Zone.h"

namespace orv {

void CreateTerrainNormals(const TTerrain& terrain, TTerrainNormals& normals);

}  // namespace orv
