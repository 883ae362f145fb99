#include "terrain/CLOD.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orv {
namespace {

constexpr int TileCells = PatchCells;   // a tile texture spans one patch

constexpr std::array<float, PatchCells + 1> MakePatchTexCoords()
{
    std::array<float, PatchCells + 1> table{};
    table[0] = 0.002f;
    for (int k = 1; k < PatchCells; ++k)
        table[k] = static_cast<float>(k) / static_cast<float>(PatchCells);
    table[PatchCells] = 0.998f;
    return table;
}

bool InGrid(int x, int y) { return x >= 0 && x <= GridCells && y >= 0 && y <= GridCells; }

// --- Refinement ------------------------------------------------------------------

class TRefiner {
public:
    TRefiner(TTerrain& terrain, const TVec3f& camera, float detail)
        : m_Terrain(terrain), m_Camera(camera), m_Detail(detail) {}

    void RefineNode(int x, int y, int s);

private:
    TTerrain& m_Terrain;
    const TVec3f m_Camera;
    const float m_Detail;
};

void TRefiner::RefineNode(int x, int y, int s)
{
    const int half = s / 2;
    const int q = s / 4;
    const float f = s < CLODAlwaysSubdividedSize ? DecisionValue(m_Terrain, m_Camera, m_Detail, x, y) : 0.0f;
    if (f >= 1.0f) {
        // Not subdivided: the children's area belongs to this node's fans. Its own flag
        // stays as it is (a neighbour may have forced it).
        if (q > 0) {
            SetSubdivided(m_Terrain, x + q, y + q, 0);
            SetSubdivided(m_Terrain, x - q, y + q, 0);
            SetSubdivided(m_Terrain, x - q, y - q, 0);
            SetSubdivided(m_Terrain, x + q, y - q, 0);
        }
        return;
    }
    // Subdivided (also when f is not a number).
    m_Terrain[x][y].Subdivided = CLODSubdivided;

    // Force the two nodes of the parent's size that adjoin this node across the parent's
    // boundary, so that no neighbour is more than one level coarser.
    switch (ChildParity(x, y, s)) {
    case 0:
        SetSubdivided(m_Terrain, x - half - s, y + half, CLODSubdivided);
        SetSubdivided(m_Terrain, x + half, y - half - s, CLODSubdivided);
        break;
    case 1:
        SetSubdivided(m_Terrain, x - half, y - half - s, CLODSubdivided);
        SetSubdivided(m_Terrain, x + half + s, y + half, CLODSubdivided);
        break;
    case 2:
        SetSubdivided(m_Terrain, x - half - s, y - half, CLODSubdivided);
        SetSubdivided(m_Terrain, x + half, y + half + s, CLODSubdivided);
        break;
    default:
        SetSubdivided(m_Terrain, x - half, y + half + s, CLODSubdivided);
        SetSubdivided(m_Terrain, x + half + s, y - half, CLODSubdivided);
        break;
    }

    if (q > 0) {
        RefineNode(x + q, y + q, half);
        RefineNode(x - q, y + q, half);
        RefineNode(x - q, y - q, half);
        RefineNode(x + q, y - q, half);
    }
}

// --- Fan walk --------------------------------------------------------------------

class TFanWalker {
public:
    TFanWalker(const TTerrain& terrain, const TTerrainNormals& normals, bool lighting, bool tilesAreDDS,
               IFanSink& sink, TFanBuffers& buffers)
        : m_Terrain(terrain), m_Normals(normals), m_Lighting(lighting), m_TilesAreDDS(tilesAreDDS), m_Sink(sink),
          m_Buffers(buffers) {}

    void DrawNode(int x, int y, int s);
    int Triangles() const { return m_Triangles; }

private:
    // The counters of one DrawNode call: its centre, its vertex count n and its
    // triangle count t.
    struct TFan {
        int CentreX, CentreY;
        int n = 0;
        int t = 0;
    };
    void AddFanVertex(TFan& fan, int vx, int vy);
    void FlushFan(TFan& fan);
    bool Subdivided(int x, int y) const { return GetSubdivided(m_Terrain, x, y, 0) != 0; }

    const TTerrain& m_Terrain;
    const TTerrainNormals& m_Normals;
    const bool m_Lighting;
    const bool m_TilesAreDDS;
    IFanSink& m_Sink;
    TFanBuffers& m_Buffers;   // shared by every level: a fan is flushed before recursing
    int m_Triangles = 0;
};

void TFanWalker::AddFanVertex(TFan& fan, int vx, int vy)
{
    int tx = vx % TileCells;
    int ty = vy % TileCells;
    if (tx == 0 && vx > fan.CentreX)
        tx = TileCells;
    if (ty == 0 && vy > fan.CentreY)
        ty = TileCells;
    if (m_TilesAreDDS)
        ty = TileCells - ty;
    m_Buffers.TexCoords[fan.n] = {PatchTexCoords[tx], PatchTexCoords[ty]};
    if (m_Lighting)
        m_Buffers.Normals[fan.n] = m_Normals[vx][vy];
    m_Buffers.Vertices[fan.n] = TVec3f{static_cast<float>(CellSize * vx), static_cast<float>(CellSize * vy),
                                       static_cast<float>(m_Terrain[vx][vy].Height)};
    ++fan.n;
}

void TFanWalker::FlushFan(TFan& fan)
{
    if (fan.n > 0) {
        m_Sink.DrawFan(m_Buffers, fan.n);
        fan.t += fan.n - 2;
        fan.n = 0;
    }
}

void TFanWalker::DrawNode(int x, int y, int s)
{
    const int half = s / 2;
    const int q = s / 4;
    TFan fan{x, y};
    bool m = false;   // the fan opened with the +x midpoint

    bool k1 = false, k2 = false, k3 = false, k4 = false;
    if (q > 0) {
        k1 = m_Terrain[x + q][y + q].Subdivided != 0;
        k2 = m_Terrain[x - q][y + q].Subdivided != 0;
        k3 = m_Terrain[x - q][y - q].Subdivided != 0;
        k4 = m_Terrain[x + q][y - q].Subdivided != 0;
    }
    if (s == TileCells)
        m_Sink.BindTile(x / TileCells + PatchesPerSide * (y / TileCells));

    // Q1 (+x, +y)
    if (k1) {
        DrawNode(x + q, y + q, half);
    } else {
        AddFanVertex(fan, x, y);
        if (k4 || Subdivided(x + s, y)) {
            AddFanVertex(fan, x + half, y);
            m = true;
        }
        AddFanVertex(fan, x + half, y + half);
    }
    // Q2 (-x, +y)
    if (k2) {
        if (!k1) {
            AddFanVertex(fan, x, y + half);
            FlushFan(fan);
        }
        DrawNode(x - q, y + q, half);
    } else {
        if (k1) {
            AddFanVertex(fan, x, y);
            AddFanVertex(fan, x, y + half);
        } else if (Subdivided(x, y + s)) {
            AddFanVertex(fan, x, y + half);
        }
        AddFanVertex(fan, x - half, y + half);
    }
    // Q3 (-x, -y)
    if (k3) {
        if (!k2) {
            AddFanVertex(fan, x - half, y);
            FlushFan(fan);
        }
        DrawNode(x - q, y - q, half);
    } else {
        if (k2) {
            AddFanVertex(fan, x, y);
            AddFanVertex(fan, x - half, y);
        } else if (Subdivided(x - s, y)) {
            AddFanVertex(fan, x - half, y);
        }
        AddFanVertex(fan, x - half, y - half);
    }
    // Q4 (+x, -y)
    if (k4) {
        if (!k3) {
            AddFanVertex(fan, x, y - half);
            FlushFan(fan);
        }
        DrawNode(x + q, y - q, half);
    } else {
        if (k3) {
            AddFanVertex(fan, x, y);
            AddFanVertex(fan, x, y - half);
        } else if (Subdivided(x, y - s)) {
            AddFanVertex(fan, x, y - half);
        }
        AddFanVertex(fan, x + half, y - half);
        // Close the fan where it opened.
        if (!k1 && !m)
            AddFanVertex(fan, x + half, y + half);
        else
            AddFanVertex(fan, x + half, y);
        FlushFan(fan);
    }
    m_Triangles += fan.t;
}

}  // namespace

const std::array<float, 33> PatchTexCoords = MakePatchTexCoords();

float CameraDistance(const TVec3f& camera, float x, float y, float z)
{
    // Each difference is rounded to single; the root is taken at extended precision.
    const float dx = x - camera.x;
    const float dy = y - camera.y;
    const float dz = z - camera.z;
    const long double sum = static_cast<long double>(dx) * dx + static_cast<long double>(dy) * dy +
                            static_cast<long double>(dz) * dz;
    return static_cast<float>(std::sqrt(sum));
}

int MidpointError(int a, int b, int m) { return std::abs((a + b + 1) / 2 - m); }

int ChildParity(int x, int y, int s) { return (x / s) % 2 + 2 * ((y / s) % 2); }

int32_t GetD2(const TTerrain& terrain, int x, int y, int32_t fallback)
{
    return InGrid(x, y) ? terrain[x][y].D2 : fallback;
}

void SetD2(TTerrain& terrain, int x, int y, int32_t value)
{
    if (InGrid(x, y))
        terrain[x][y].D2 = value;
}

uint8_t GetSubdivided(const TTerrain& terrain, int x, int y, uint8_t fallback)
{
    return InGrid(x, y) ? terrain[x][y].Subdivided : fallback;
}

void SetSubdivided(TTerrain& terrain, int x, int y, uint8_t value)
{
    if (InGrid(x, y))
        terrain[x][y].Subdivided = value;
}

void ComputeD2Values(TTerrain& terrain)
{
    for (auto& column : terrain)
        for (TTerrainVertex& v : column)
            v.D2 = 0;
    auto H = [&](int i, int j) { return static_cast<int>(terrain[i][j].Height); };
    // Smallest nodes first: each size collects what the sizes below left at its centre
    // and edge midpoints. The root gets no value of its own.
    for (int s = 2; s < CLODRootSize; s *= 2) {
        const int h = s / 2;
        for (int y = h; y < GridCells; y += s) {
            for (int x = h; x < GridCells; x += s) {
                const int e = std::max({
                    MidpointError(H(x - h, y + h), H(x + h, y + h), H(x, y + h)),
                    MidpointError(H(x - h, y - h), H(x + h, y - h), H(x, y - h)),
                    MidpointError(H(x - h, y - h), H(x - h, y + h), H(x - h, y)),
                    MidpointError(H(x + h, y - h), H(x + h, y + h), H(x + h, y)),
                    MidpointError(H(x - h, y - h), H(x + h, y + h), H(x, y)),
                    MidpointError(H(x + h, y - h), H(x - h, y + h), H(x, y)),
                });
                int v = std::max({2 * e, terrain[x][y].D2, terrain[x - h][y].D2, terrain[x + h][y].D2,
                                  terrain[x][y + h].D2, terrain[x][y - h].D2});
                v = std::min(v, CLODMaxD2);
                terrain[x][y].D2 = v;
                const int corners[4][2] = {{x + h, y + h}, {x - h, y + h}, {x - h, y - h}, {x + h, y - h}};
                for (const auto& c : corners)
                    SetD2(terrain, c[0], c[1], std::max(v, GetD2(terrain, c[0], c[1], 0)));
            }
        }
    }
}

float DecisionValue(const TTerrain& terrain, const TVec3f& camera, float detail, int x, int y)
{
    const TTerrainVertex& v = terrain[x][y];
    const float distance = CameraDistance(camera, static_cast<float>(CellSize * x), static_cast<float>(CellSize * y),
                                          static_cast<float>(v.Height));
    // 256 D2 as an integer, times the factor; the quotient is rounded to single.
    // IEEE division: x / 0 is an infinity, 0 / 0 not a number.
    const int scaled = CellSize * v.D2;
    const long double divisor = static_cast<long double>(scaled) * static_cast<long double>(detail);
    return static_cast<float>(static_cast<long double>(distance) / divisor);
}

void UpdateCLOD(TTerrain& terrain, const TVec3f& camera, float detail)
{
    for (auto& column : terrain)
        for (TTerrainVertex& v : column)
            v.Subdivided = 0;
    TRefiner(terrain, camera, detail).RefineNode(CLODRootCentre, CLODRootCentre, CLODRootSize);
}

int DrawCLODFanWalk(const TTerrain& terrain, const TTerrainNormals& normals, bool lighting, bool tilesAreDDS,
                    IFanSink& sink, TFanBuffers* buffers)
{
    TFanBuffers ownBuffers;
    TFanWalker walker(terrain, normals, lighting, tilesAreDDS, sink, buffers ? *buffers : ownBuffers);
    walker.DrawNode(CLODRootCentre, CLODRootCentre, CLODRootSize);
    return walker.Triangles();
}

}  // namespace orv
