// GLTFExport: a zone as a glTF 2.0 asset, for other programs (modelling tools, engines,
// web pages).
//
//   TZoneSource zone{viewer.Terrain, viewer.TerrainNormals, viewer.WaterRegions, gameDir, 111};
//   TExportOptions options;                  // the whole grid, water, textures, scale 0.01
//   ExportZone(zone, options, "zone111.glb");   // or "zone111.gltf"
//
// The asset: a node named after the zone ("zone111") holding the terrain ("zone111-terrain",
// one primitive per tile), the water ("zone111-water", a node per region named after its
// section of "sector.dat": "zone111-river00", ...) and, for TExportLOD::View, the camera
// ("zone111-view"). Positions are world units times the scale s, turned from the zone's
// z-up frame into glTF's y-up frame with the same handedness: (x, y, z) -> (x s, z s, -y s),
// so north (+y) is -z and the Loc (X, Y) at height h lies at (X s, h s, (Y - 65535) s).
// Normals are the zone's.
//
// The terrain: with TExportLOD::Full every tile's 33 x 33 vertices (neighbouring tiles
// repeat their shared edge, whose texture coordinates differ), two triangles per cell
// split along the diagonal through the centre of its 2 x 2 block, as the fully refined
// level of detail splits them; with TExportLOD::View exactly the triangles of the fan
// walk over the terrain's current subdivision flags (refine first), and a perspective
// camera at the eye, with its heading, pitch and vertical field of view. Each tile has
// its own material and image ("zone111-tex00-07"), a PNG upright as the renderer lays it,
// sampled with mipmaps, with the renderer's texture coordinates (0.002 to 0.998 across the
// tile).
// The water: base colour from the region's packed colour (sRGB bytes, turned into the
// linear factor glTF takes) with alpha 0.7, blended, and the water texture repeating once
// per cell, fixed to the world.
//
// A ".glb" holds everything; a ".gltf" is written with its buffer ("NAME.bin") and its
// images ("NAME-tex00-07.png", ..., "NAME-water.png") beside it, NAME being the output's
// name escaped so that no two outputs share a side file ("a b.gltf": "a_20b.bin"). The
// files appear only when all are complete. Failures raise exceptions naming the file
// (and member).
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
    TCamera ViewCamera;    // with TExportLOD::View: the eye the terrain was refined for
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
