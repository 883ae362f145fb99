// GLTFExport: a zone as a glTF 2.0 asset, for other programs (modelling tools, engines,
// web pages).
//
//   TZoneSource zone{viewer.Terrain, viewer.TerrainNormals, viewer.WaterRegions, gameDir, 111};
//   TExportOptions options;                  // the whole grid, water, textures, scale 0.01
//   ExportZone(zone, options, "zone111.glb");   // or "zone111.gltf"
//
// The asset: a node named after the zone holding the terrain mesh, one primitive per
// tile, and the water mesh, one flat primitive per region. Positions are world units
// times the scale, turned from the zone's z-up frame into glTF's y-up frame with the
// same handedness: (x, y, z) -> (x, z, -y), so north (+y) is -z. Normals are the zone's.
//
// The terrain: with TExportLOD::Full every tile's 33 x 33 vertices (neighbouring tiles
// repeat their shared edge, whose texture coordinates differ), two triangles per cell
// split along the diagonal through the centre of its 2 x 2 block, as the fully refined
// level of detail splits them; with TExportLOD::View exactly the triangles of the fan
// walk over the terrain's current subdivision flags (refine first). Each tile has its
// own material with the tile's image as PNG, upright as the renderer lays it, with the
// renderer's texture coordinates (0.002 to 0.998 across the tile).
// The water: base colour from the region's packed colour with alpha 0.7, blended, and
// the water texture repeating once per cell, fixed to the world.
//
// A ".glb" holds everything; a ".gltf" is written with its buffer ("NAME.bin") and its
// images ("NAME-tex00-07.png", ..., "NAME-water.png") beside it. The files appear only
// when all are complete. Failures raise exceptions naming the file (and member).
#pragma once

#include <string>

#include "export/ZoneSource.h"

namespace orv {

enum class TExportLOD { Full, View };

struct TExportOptions {
    TExportLOD LOD = TExportLOD::Full;
    float Scale = 0.01f;   // a cell of 256 units becomes 2.56
    bool Water = true;
    bool Textures = true;  // without: one plain material, no images, no texture coordinates
};

// The terrain's triangles and vertices as exported (for the caller's report).
struct TExportCounts {
    int TerrainVertices = 0;
    int TerrainTriangles = 0;
    int WaterPrimitives = 0;
};

// path ends in ".glb" or ".gltf" (letter case ignored); anything else raises
// std::invalid_argument.
TExportCounts ExportZone(const TZoneSource& zone, const TExportOptions& options, const std::string& path);

}  // namespace orv
