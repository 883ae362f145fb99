// CLOD: the continuous level of detail of the default terrain renderer, without OpenGL.
//
// A quadtree over the 256 x 256 cells keeps its data in the grid records: D2 (roughness)
// and Subdivided (0 or 255) at each node's centre vertex.
//
//   ComputeD2Values(terrain);                          // once per zone
//   UpdateCLOD(terrain, camera.Pos, detail);           // after moves and slider changes
//   int triangles = DrawCLODFanWalk(terrain, normals, lighting, tilesAreDDS, sink);
//
// The walk hands every fan to a sink: OpenGL draws it, a test checks it, a benchmark
// counts it.
#pragma once

#include <array>
#include <cstdint>

#include "zone/Zone.h"

namespace orv {

// The texture coordinate of the vertex k = 0..32 cells from a patch's low corner.
extern const std::array<float, 33> PatchTexCoords;

// Distance from the camera to a point, each difference rounded to single.
float CameraDistance(const TVec3f& camera, float x, float y, float z);

int MidpointError(int a, int b, int m);
int ChildParity(int x, int y, int s);

// The quadtree: the root is centred on (128, 128) with edge 256; nodes below 32 cells
// decide by DecisionValue, larger ones are always subdivided.
constexpr int CLODRootCentre = 128;
constexpr int CLODRootSize = 256;
constexpr int CLODAlwaysSubdividedSize = 32;
constexpr uint8_t CLODSubdivided = 255;
constexpr int CLODMaxD2 = 65535;
constexpr int CLODFanCapacity = 10;

// Bounded accessors: indices outside 0..256 read the default and write nothing.
int32_t GetD2(const TTerrain& terrain, int x, int y, int32_t fallback);
void SetD2(TTerrain& terrain, int x, int y, int32_t value);
uint8_t GetSubdivided(const TTerrain& terrain, int x, int y, uint8_t fallback);
void SetSubdivided(TTerrain& terrain, int x, int y, uint8_t value);

void ComputeD2Values(TTerrain& terrain);
// Camera distance of node centre (x, y) over 256 D2 detail; +infinity for D2 0 at any
// positive distance, not a number at distance 0 (both count: < 1 subdivides, NaN too).
float DecisionValue(const TTerrain& terrain, const TVec3f& camera, float detail, int x, int y);
void UpdateCLOD(TTerrain& terrain, const TVec3f& camera, float detail);

// The fan buffers, shared by every level of the walk.
struct TFanBuffers {
    std::array<TVec3f, CLODFanCapacity> Vertices{};
    std::array<TVec3f, CLODFanCapacity> Normals{};   // filled only when lit
    std::array<std::array<float, 2>, CLODFanCapacity> TexCoords{};
};

class IFanSink {
public:
    virtual ~IFanSink() = default;
    // Before the fans of a 32 x 32 block: tile index (x div 32) + 8 (y div 32).
    virtual void BindTile(int tile) = 0;
    // One triangle fan of count vertices (entries 0..count-1 of the buffers).
    virtual void DrawFan(const TFanBuffers& fan, int count) = 0;
};

// Walks the subdivided nodes from the root and returns the triangles emitted. The fans
// are built in buffers (nullptr: the walk's own), which a caller may have set up
// beforehand, as OpenGL's client arrays are.
int DrawCLODFanWalk(const TTerrain& terrain, const TTerrainNormals& normals, bool lighting, bool tilesAreDDS,
                    IFanSink& sink, TFanBuffers* buffers = nullptr);

}  // namespace orv
