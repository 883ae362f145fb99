// Renderers: the four terrain renderers, in OpenGL.
//
// DrawTerrain draws with the renderer of RenderVersion, a row of RendererTable.h: the
// fixed-grid ones (immediate-mode strips with the tile texture on unit 0 and the detail
// texture on unit 1 near the camera; one vertex-array strip per patch; 2 x 2-cell fans at
// three distances) and the level-of-detail fans of CLOD.h. Each returns the triangles it
// submitted.
//
//   TTerrainDrawState state{.Terrain = &terrain, .Normals = &normals, .CameraPos = pos};
//   state.TileTextures = tileNames;    // per tile the name to draw with
//   int triangles = DrawTerrain(state);
#pragma once

#include <array>
#include <cstdint>

#include "terrain/CLOD.h"
#include "terrain/DrawSwitches.h"
#include "zone/Zone.h"

namespace orv {

// Everything the renderers read.
struct TTerrainDrawState {
    const TTerrain* Terrain = nullptr;
    const TTerrainNormals* Normals = nullptr;
    TVec3f CameraPos;
    TDrawSwitches Switches;
    bool TilesAreDDS = false;
    // The GL_ARB_multitexture entry points are there; without them V1 draws on unit 0
    // alone, without the detail texture.
    bool Multitexture = true;
    uint32_t DetailTexture = 0, CheckerTexture = 0, SkyTexture = 0;
    // Per tile px + 8 py the texture name to draw with (0: none).
    std::array<uint32_t, TileCount> TileTextures{};
};

// Distances of the detail texture (V1) and of the Fan renderer's levels.
constexpr float V1DetailDistance = 8192.0f;
constexpr float FanMediumDistance = 8000.0f;
constexpr float FanFarDistance = 16000.0f;

// Triangles a renderer submits for one patch.
constexpr int V1PatchTriangles = 2048;
constexpr int PointerPatchTriangles = 2110;
constexpr int FanNearPatchTriangles = 2048;
constexpr int FanMediumPatchTriangles = 1024;
constexpr int FanFarPatchTriangles = 512;

int DrawTerrain(const TTerrainDrawState& state);
int DrawPatchV1(const TTerrainDrawState& state, int px, int py);
int DrawPatchPointer(const TTerrainDrawState& state, int px, int py);
int DrawPatchFans(const TTerrainDrawState& state, int px, int py);
int DrawFansMedium(const TTerrainDrawState& state, int px, int py);
int DrawFansFar(const TTerrainDrawState& state, int px, int py);
int DrawCLODFans(const TTerrainDrawState& state);

// Switches texture coordinate generation of s and t off.
void DisableTexGen();

}  // namespace orv
