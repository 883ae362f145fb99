// Level of detail: D2 preparation, refinement and the fan walk, checked against
// properties that any correct walk has (coverage, winding, fan size, no cracks) and a
// top-down formulation of the roughness values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "terrain/CLOD.h"
#include "zone/Normals.h"

namespace orv {
namespace {

constexpr float StartDetail = 0.2f;

// --- Terrains --------------------------------------------------------------------------

std::unique_ptr<TTerrain> Flat(int height)
{
    auto t = std::make_unique<TTerrain>();
    for (auto& column : *t)
        for (auto& v : column)
            v.Height = static_cast<uint16_t>(height);
    return t;
}

// A random height field of one of several kinds: noise, smooth hills, terraces, sparse
// spikes, or extreme values.
std::unique_ptr<TTerrain> RandomTerrain(std::mt19937& random)
{
    auto t = std::make_unique<TTerrain>();
    const int kind = static_cast<int>(random() % 5);
    const double fx = 0.01 + (random() % 1000) / 5000.0, fy = 0.01 + (random() % 1000) / 5000.0;
    const double amplitude = random() % 7000;
    const int limit = kind == 4 ? 65535 : 14280;
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y) {
            double h = 0;
            switch (kind) {
            case 0: h = random() % 14281; break;
            case 1: h = 7000 + amplitude * std::sin(fx * x) * std::cos(fy * y); break;
            case 2: h = 800.0 * std::floor((std::sin(fx * x) + std::cos(fy * y) + 2.0) * 4.0); break;
            case 3: h = random() % 50 == 0 ? random() % 14281 : 2000; break;
            default: h = random() % 2 ? 65535 : random() % 100; break;
            }
            (*t)[x][y].Height = static_cast<uint16_t>(std::clamp<int>(static_cast<int>(h), 0, limit));
        }
    return t;
}

TVec3f RandomCamera(std::mt19937& random, const TTerrain& terrain)
{
    if (random() % 4 == 0) {
        // Exactly on a vertex: a node centred there sees distance 0.
        const int x = static_cast<int>(random() % 257), y = static_cast<int>(random() % 257);
        return TVec3f{256.0f * x, 256.0f * y, static_cast<float>(terrain[x][y].Height)};
    }
    std::uniform_real_distribution<float> across(-10000.0f, 75000.0f), up(0.0f, 30000.0f);
    return TVec3f{across(random), across(random), up(random)};
}

float RandomDetail(std::mt19937& random)
{
    switch (random() % 4) {
    case 0: return StartDetail;
    case 1: return 1.0f;
    default: return static_cast<float>((random() % 255 + 1) / 255.0);
    }
}

// --- A sink that checks every fan ------------------------------------------------------

struct TGridPoint {
    int x, y;
    auto operator<=>(const TGridPoint&) const = default;
};

class TCheckingSink : public IFanSink {
public:
    TCheckingSink(const TTerrain& terrain, const TTerrainNormals& normals, bool lighting, bool dds, bool keepEdges)
        : m_Terrain(terrain), m_Normals(normals), m_Lighting(lighting), m_DDS(dds), m_KeepEdges(keepEdges),
          m_Quarters(static_cast<size_t>(256 * 256 * 4), 0), m_Used(257 * 257, false)
    {
    }

    void BindTile(int tile) override
    {
        EXPECT_GE(tile, 0);
        EXPECT_LT(tile, TileCount);
        m_Tile = tile;
        ++Binds;
    }

    void DrawFan(const TFanBuffers& fan, int count) override
    {
        ++Fans;
        MaxVertices = std::max(MaxVertices, count);
        ASSERT_GE(count, 3);
        ASSERT_LE(count, CLODFanCapacity);
        std::vector<TGridPoint> points;
        for (int i = 0; i < count; ++i) {
            const TVec3f v = fan.Vertices[i];
            const int gx = static_cast<int>(v.x) / 256, gy = static_cast<int>(v.y) / 256;
            ASSERT_EQ(v.x, 256.0f * gx);
            ASSERT_EQ(v.y, 256.0f * gy);
            ASSERT_TRUE(gx >= 0 && gx <= 256 && gy >= 0 && gy <= 256);
            ASSERT_EQ(v.z, static_cast<float>(m_Terrain[gx][gy].Height));
            if (m_Lighting) {
                ASSERT_EQ(fan.Normals[i], m_Normals[gx][gy]);
            }
            points.push_back({gx, gy});
            m_Used[static_cast<size_t>(gx * 257 + gy)] = true;
        }
        // Every fan lies in one 32 x 32 block, whose tile was bound before it; each vertex
        // takes its texture coordinate from its offset in that block.
        const int px = points[0].x / PatchCells, py = points[0].y / PatchCells;
        ASSERT_NE(points[0].x % PatchCells, 0);
        ASSERT_NE(points[0].y % PatchCells, 0);
        ASSERT_EQ(m_Tile, px + PatchesPerSide * py);
        for (int i = 0; i < count; ++i) {
            const int ox = points[i].x - PatchCells * px, oy = points[i].y - PatchCells * py;
            ASSERT_TRUE(ox >= 0 && ox <= PatchCells && oy >= 0 && oy <= PatchCells);
            ASSERT_EQ(fan.TexCoords[i][0], PatchTexCoords[ox]);
            ASSERT_EQ(fan.TexCoords[i][1], PatchTexCoords[m_DDS ? PatchCells - oy : oy]);
        }
        for (int i = 1; i + 1 < count; ++i)
            AddTriangle(points[0], points[i], points[i + 1]);
        Triangles += count - 2;
    }

    // Every quarter cell (each cell cut by its diagonals) covered exactly once.
    void ExpectExactCover() const
    {
        const auto wrong = std::count_if(m_Quarters.begin(), m_Quarters.end(), [](int c) { return c != 1; });
        EXPECT_EQ(wrong, 0) << "quarter cells not covered exactly once";
    }

    // No vertex of any fan lies inside an edge of another triangle (no cracks). The
    // refinement does not promise this in general: a node forced by a neighbour that its
    // own test leaves undivided forces nothing further, and its parent's fan may then
    // take in a midpoint that the coarser neighbour's fan passes by. It holds for
    // uniform refinements.
    void ExpectNoTJunctions() const
    {
        int found = 0;
        for (const auto& [a, b] : m_Edges) {
            const int dx = (b.x > a.x) - (b.x < a.x), dy = (b.y > a.y) - (b.y < a.y);
            for (TGridPoint p{a.x + dx, a.y + dy}; p != b; p = {p.x + dx, p.y + dy})
                if (m_Used[static_cast<size_t>(p.x * 257 + p.y)])
                    ++found;
        }
        EXPECT_EQ(found, 0) << "vertices inside triangle edges";
    }

    int Fans = 0, Triangles = 0, MaxVertices = 0, Binds = 0;

private:
    void AddTriangle(TGridPoint a, TGridPoint b, TGridPoint c)
    {
        const long area2 = static_cast<long>(b.x - a.x) * (c.y - a.y) - static_cast<long>(b.y - a.y) * (c.x - a.x);
        ASSERT_GT(area2, 0) << "triangle not counter-clockwise seen from above";
        if (m_KeepEdges)
            for (auto [p, q] : {std::pair{a, b}, {b, c}, {c, a}})
                m_Edges.insert({std::min(p, q), std::max(p, q)});
        // Edges are along grid lines or diagonals, so no quarter centroid lies on one.
        // Work in sixths of a cell to stay in integers.
        const int x0 = std::min({a.x, b.x, c.x}), x1 = std::max({a.x, b.x, c.x});
        const int y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
        auto edge = [](TGridPoint p, TGridPoint q, long sx, long sy) {
            return (6L * q.x - 6L * p.x) * (sy - 6L * p.y) - (6L * q.y - 6L * p.y) * (sx - 6L * p.x);
        };
        static constexpr int Centroid[4][2] = {{3, 1}, {5, 3}, {3, 5}, {1, 3}};
        for (int cx = x0; cx < x1; ++cx)
            for (int cy = y0; cy < y1; ++cy)
                for (int k = 0; k < 4; ++k) {
                    const long sx = 6L * cx + Centroid[k][0], sy = 6L * cy + Centroid[k][1];
                    if (edge(a, b, sx, sy) > 0 && edge(b, c, sx, sy) > 0 && edge(c, a, sx, sy) > 0)
                        ++m_Quarters[static_cast<size_t>((cx * 256 + cy) * 4 + k)];
                }
    }

    const TTerrain& m_Terrain;
    const TTerrainNormals& m_Normals;
    const bool m_Lighting, m_DDS, m_KeepEdges;
    std::vector<int> m_Quarters;
    std::vector<bool> m_Used;   // grid vertices used by any fan
    std::set<std::pair<TGridPoint, TGridPoint>> m_Edges;
    int m_Tile = -1;
};

struct TWalkResult {
    int Reported, Triangles, Fans, MaxVertices;
};

TWalkResult CheckedWalk(const TTerrain& terrain, bool lighting, bool dds, bool expectNoCracks)
{
    auto normals = std::make_unique<TTerrainNormals>();
    CreateTerrainNormals(terrain, *normals);
    TCheckingSink sink(terrain, *normals, lighting, dds, expectNoCracks);
    const int reported = DrawCLODFanWalk(terrain, *normals, lighting, dds, sink);
    EXPECT_EQ(reported, sink.Triangles);
    EXPECT_EQ(sink.Binds, TileCount);
    sink.ExpectExactCover();
    if (expectNoCracks)
        sink.ExpectNoTJunctions();
    return {reported, sink.Triangles, sink.Fans, sink.MaxVertices};
}

// --- Small operations ---------------------------------------------------------------------

TEST(CLODBasics, MidpointErrorParityAndTexCoords)
{
    EXPECT_EQ(MidpointError(0, 8, 0), 4);
    EXPECT_EQ(MidpointError(1, 2, 1), 1);   // the mean 1.5 rounds up
    EXPECT_EQ(MidpointError(10, 10, 30), 20);
    EXPECT_EQ(MidpointError(0, 65535, 0), 32768);
    EXPECT_EQ(ChildParity(1, 1, 2), 0);     // (1, 1, 2) lies towards -x -y of (2, 2)
    EXPECT_EQ(ChildParity(3, 1, 2), 1);
    EXPECT_EQ(ChildParity(1, 3, 2), 2);
    EXPECT_EQ(ChildParity(3, 3, 2), 3);
    EXPECT_EQ(ChildParity(128, 128, 256), 0);
    EXPECT_EQ(ChildParity(192, 64, 128), 1);
    EXPECT_EQ(PatchTexCoords[0], 0.002f);
    EXPECT_EQ(PatchTexCoords[32], 0.998f);
    for (int k = 1; k < 32; ++k)
        EXPECT_EQ(PatchTexCoords[k], k / 32.0f);
}

TEST(CLODBasics, BoundedAccessors)
{
    auto t = Flat(0);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {257, 0}, {0, 257}, {-300, 600}}) {
        EXPECT_EQ(GetD2(*t, x, y, 42), 42);
        EXPECT_EQ(GetSubdivided(*t, x, y, 7), 7);
        SetD2(*t, x, y, 5);
        SetSubdivided(*t, x, y, 255);
    }
    SetD2(*t, 256, 0, 9);
    SetSubdivided(*t, 0, 256, 255);
    EXPECT_EQ(GetD2(*t, 256, 0, 0), 9);
    EXPECT_EQ(GetSubdivided(*t, 0, 256, 0), 255);
    int changed = 0;
    for (const auto& column : *t)
        for (const auto& v : column)
            changed += v.D2 != 0 || v.Subdivided != 0;
    EXPECT_EQ(changed, 2);
}

TEST(CLODBasics, CameraDistance)
{
    EXPECT_EQ(CameraDistance(TVec3f{1, 2, 3}, 4, 6, 15), 13.0f);
    EXPECT_EQ(CameraDistance(TVec3f{0, 0, 0}, 0, 0, 0), 0.0f);
    EXPECT_EQ(CameraDistance(TVec3f{65536, 0, 0}, 0, 65536, 0), static_cast<float>(65536.0 * std::sqrt(2.0)));
}

TEST(CLODBasics, DecisionValueInfinityAndNotANumber)
{
    auto t = Flat(100);
    (*t)[10][10].D2 = 16;
    const TVec3f above{2560, 2560, 100 + 819};
    EXPECT_LT(DecisionValue(*t, above, StartDetail, 10, 10), 1.0f);
    EXPECT_GE(DecisionValue(*t, TVec3f{2560, 2560, 100 + 820}, StartDetail, 10, 10), 1.0f);
    EXPECT_FLOAT_EQ(DecisionValue(*t, above, StartDetail, 10, 10), 819.0f / (256 * 16 * StartDetail));
    EXPECT_EQ(DecisionValue(*t, TVec3f{2560, 2560, 100}, StartDetail, 10, 10), 0.0f);
    // D2 0: any positive distance gives +infinity, distance 0 gives not a number.
    EXPECT_EQ(DecisionValue(*t, above, StartDetail, 11, 11), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(DecisionValue(*t, TVec3f{2816, 2816, 100}, StartDetail, 11, 11)));
}

// --- D2 --------------------------------------------------------------------------------------

// The roughness of node (x, y, s) stated top-down: twice its own largest midpoint error,
// raised to the values of its children and of the neighbours' children that share its
// edge midpoints, capped at 65535.
class TReferenceD2 {
public:
    explicit TReferenceD2(const TTerrain& t) : m_T(t) {}

    int Node(int x, int y, int s)
    {
        const auto key = std::tuple{x, y, s};
        if (const auto it = m_Memo.find(key); it != m_Memo.end())
            return it->second;
        const int h = s / 2;
        auto H = [&](int i, int j) { return static_cast<int>(m_T[i][j].Height); };
        int v = 2 * std::max({MidpointError(H(x - h, y + h), H(x + h, y + h), H(x, y + h)),
                              MidpointError(H(x - h, y - h), H(x + h, y - h), H(x, y - h)),
                              MidpointError(H(x - h, y - h), H(x - h, y + h), H(x - h, y)),
                              MidpointError(H(x + h, y - h), H(x + h, y + h), H(x + h, y)),
                              MidpointError(H(x - h, y - h), H(x + h, y + h), H(x, y)),
                              MidpointError(H(x + h, y - h), H(x - h, y + h), H(x, y))});
        if (s >= 4) {
            v = std::max(v, Around(x, y, s / 2));   // the children share the centre
            // Each edge midpoint is a corner of two children and of two of the
            // neighbour's children.
            for (auto [mx, my] : {std::pair{x + h, y}, {x - h, y}, {x, y + h}, {x, y - h}})
                v = std::max(v, Around(mx, my, s / 2));
        }
        v = std::min(v, CLODMaxD2);
        m_Memo[key] = v;
        return v;
    }

    // The largest value of the nodes of size s that have (cx, cy) as a corner.
    int Around(int cx, int cy, int s)
    {
        const int h = s / 2;
        int v = 0;
        for (auto [dx, dy] : {std::pair{h, h}, {-h, h}, {-h, -h}, {h, -h}}) {
            const int x = cx + dx, y = cy + dy;
            if (x - h >= 0 && x + h <= 256 && y - h >= 0 && y + h <= 256)
                v = std::max(v, Node(x, y, s));
        }
        return v;
    }

private:
    const TTerrain& m_T;
    std::map<std::tuple<int, int, int>, int> m_Memo;
};

TEST(CLODD2, MatchesTheTopDownStatementOnRandomFields)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 12; ++round) {
        auto t = RandomTerrain(random);
        for (auto& column : *t)
            for (auto& v : column)
                v.D2 = -5;   // stale values must not survive
        ComputeD2Values(*t);
        TReferenceD2 reference(*t);
        for (int s = 2; s <= 128; s *= 2)
            for (int x = s / 2; x < 256; x += s)
                for (int y = s / 2; y < 256; y += s)
                    ASSERT_EQ((*t)[x][y].D2, reference.Node(x, y, s)) << x << "," << y << " size " << s;
        EXPECT_EQ((*t)[128][128].D2, reference.Around(128, 128, 128));
    }
}

TEST(CLODD2, RangeAndParentsAtLeastTheirChildren)
{
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        auto t = RandomTerrain(random);
        ComputeD2Values(*t);
        for (const auto& column : *t)
            for (const auto& v : column)
                ASSERT_TRUE(v.D2 >= 0 && v.D2 <= CLODMaxD2);
        for (int s = 4; s <= 256; s *= 2) {
            const int q = s / 4;
            for (int x = s / 2; x < 256; x += s)
                for (int y = s / 2; y < 256; y += s)
                    for (auto [cx, cy] : {std::pair{x + q, y + q}, {x - q, y + q}, {x - q, y - q}, {x + q, y - q}})
                        ASSERT_GE((*t)[x][y].D2, (*t)[cx][cy].D2) << x << "," << y << " size " << s;
        }
    }
}

TEST(CLODD2, FlatSpikeAndCap)
{
    auto flat = Flat(3000);
    ComputeD2Values(*flat);
    for (const auto& column : *flat)
        for (const auto& v : column)
            ASSERT_EQ(v.D2, 0);

    auto spike = Flat(1000);
    (*spike)[101][101].Height = 1008;   // a size-2 node centre, 8 above its neighbours
    ComputeD2Values(*spike);
    EXPECT_EQ((*spike)[101][101].D2, 16);
    EXPECT_EQ((*spike)[103][101].D2, 0);   // a neighbouring node of the same size
    EXPECT_EQ((*spike)[128][128].D2, 16);  // passed up to the root

    auto extreme = Flat(0);
    (*extreme)[11][10].Height = 65535;     // an edge midpoint of node (11, 11, 2)
    ComputeD2Values(*extreme);
    EXPECT_EQ((*extreme)[11][11].D2, CLODMaxD2);
    EXPECT_EQ((*extreme)[11][9].D2, CLODMaxD2);
}

// --- Refinement and the walk -----------------------------------------------------------------

TEST(CLODWalk, FlatZoneDrawsOneFanPerBlock)
{
    auto t = Flat(500);
    ComputeD2Values(*t);
    UpdateCLOD(*t, TVec3f{32768.5f, 256.5f, 256.0f}, StartDetail);
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y) {
            // Exactly the nodes of size 32 and more are subdivided.
            bool isNode32Plus = false;
            for (int s = 32; s <= 256; s *= 2)
                isNode32Plus |= x % s == s / 2 && y % s == s / 2;
            ASSERT_EQ((*t)[x][y].Subdivided, isNode32Plus ? 255 : 0) << x << "," << y;
        }
    const TWalkResult r = CheckedWalk(*t, true, false, true);
    EXPECT_EQ(r.Reported, 480);
    EXPECT_EQ(r.Fans, 64);
}

TEST(CLODWalk, FullyRefinedGrid)
{
    auto t = Flat(0);
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y)
            (*t)[x][y].Height = static_cast<uint16_t>((x + y) % 2 * 1000);
    ComputeD2Values(*t);
    UpdateCLOD(*t, TVec3f{32768.5f, 32768.5f, 3000.0f}, StartDetail);
    for (int x = 1; x < 256; x += 2)
        for (int y = 1; y < 256; y += 2)
            ASSERT_EQ((*t)[x][y].Subdivided, 255);
    const TWalkResult r = CheckedWalk(*t, false, true, true);
    EXPECT_EQ(r.Reported, 130560);
    EXPECT_EQ(r.MaxVertices, CLODFanCapacity);
}

TEST(CLODWalk, SpikeIsRefinedOnlyNearTheCamera)
{
    // Spike at (25, 27): its ancestors below size 32 are centred at (26, 26), (28, 28)
    // and (24, 24), at most sqrt(10) cells (809.5 units) away, so that all of them are
    // subdivided while the camera is just above the spike (D2 16 at factor 0.2: 819.2).
    auto t = Flat(1000);
    (*t)[25][27].Height = 1008;
    ComputeD2Values(*t);
    ASSERT_EQ((*t)[25][27].D2, 16);
    const float x = 25 * 256.0f, y = 27 * 256.0f;
    UpdateCLOD(*t, TVec3f{x, y, 1008 + 40.0f}, StartDetail);
    for (auto [cx, cy] : {std::pair{24, 24}, {28, 28}, {26, 26}, {25, 27}})
        EXPECT_EQ((*t)[cx][cy].Subdivided, 255) << cx << "," << cy;
    const int near = CheckedWalk(*t, true, false, false).Reported;
    EXPECT_GT(near, 480);
    UpdateCLOD(*t, TVec3f{x, y, 1008 + 5000.0f}, StartDetail);
    EXPECT_EQ((*t)[25][27].Subdivided, 0);
    EXPECT_EQ((*t)[24][24].Subdivided, 0);
    EXPECT_EQ(CheckedWalk(*t, true, false, true).Reported, 480);
    // A larger factor reaches further: 256 * 16 * 1.0 = 4096 units.
    UpdateCLOD(*t, TVec3f{x, y, 1008 + 3000.0f}, 255 / 255.0f);
    EXPECT_EQ((*t)[25][27].Subdivided, 255);
    UpdateCLOD(*t, TVec3f{x, y, 1008 + 4200.0f}, 255 / 255.0f);
    EXPECT_EQ((*t)[25][27].Subdivided, 0);
}

TEST(CLODWalk, DecisionValueOfExactlyOneIsNotSubdivided)
{
    // Every node rough enough to be subdivided from anywhere near, except the size-2
    // node (33, 33) with D2 4: at factor 1 its test is distance / 1024.
    auto t = Flat(500);
    for (auto& column : *t)
        for (auto& v : column)
            v.D2 = CLODMaxD2;
    (*t)[33][33].D2 = 4;
    const float x = 33 * 256.0f, y = 33 * 256.0f;
    TVec3f camera{x, y, 500.0f + 1024.0f};
    ASSERT_EQ(DecisionValue(*t, camera, 1.0f, 33, 33), 1.0f);
    UpdateCLOD(*t, camera, 1.0f);
    EXPECT_EQ((*t)[34][34].Subdivided, 255) << "its parent is subdivided: the refinement reaches it";
    EXPECT_EQ((*t)[33][33].Subdivided, 0) << "f = 1 is not below 1";
    camera.z = std::nextafter(camera.z, 0.0f);
    ASSERT_LT(DecisionValue(*t, camera, 1.0f, 33, 33), 1.0f);
    UpdateCLOD(*t, camera, 1.0f);
    EXPECT_EQ((*t)[33][33].Subdivided, 255);
}

TEST(CLODWalk, CameraOnAFlatNodeCentreSubdividesIt)
{
    // Distance 0 over D2 0 is not a number, which counts as subdivided.
    auto t = Flat(700);
    ComputeD2Values(*t);
    UpdateCLOD(*t, TVec3f{40 * 256.0f, 40 * 256.0f, 700.0f}, StartDetail);
    EXPECT_EQ((*t)[40][40].Subdivided, 255);   // the size-16 node at (40, 40)
    EXPECT_EQ((*t)[36][36].Subdivided, 0);     // its children: +infinity
    EXPECT_GT(CheckedWalk(*t, false, false, false).Reported, 480);
}

TEST(CLODWalk, RefinementAlwaysCoversTheZoneOnce)
{
    std::mt19937 random(31337);
    for (int round = 0; round < 30; ++round) {
        auto t = RandomTerrain(random);
        ComputeD2Values(*t);
        for (int view = 0; view < 4; ++view) {
            const TVec3f camera = RandomCamera(random, *t);
            const float detail = RandomDetail(random);
            UpdateCLOD(*t, camera, detail);
            SCOPED_TRACE(testing::Message() << "round " << round << " camera " << camera.x << "," << camera.y << ","
                                            << camera.z << " detail " << detail);
            const TWalkResult r = CheckedWalk(*t, view % 2 == 0, view % 3 == 0, false);
            ASSERT_FALSE(HasFailure());
            EXPECT_GE(r.Reported, 480);
            EXPECT_LE(r.Reported, 130560);
        }
    }
}

TEST(CLODWalk, AnyFlagsCoverTheGridOnce)
{
    // Whatever the flags say, the fans tile the zone.
    std::mt19937 random(5);
    for (int round = 0; round < 40; ++round) {
        auto t = RandomTerrain(random);
        const unsigned density = random() % 100 + 1;
        for (auto& column : *t)
            for (auto& v : column)
                v.Subdivided = random() % 100 < density ? 255 : 0;
        // Nodes of 32 and more are always subdivided, as the refinement leaves them.
        for (int s = CLODAlwaysSubdividedSize; s <= 256; s *= 2)
            for (int x = s / 2; x < 256; x += s)
                for (int y = s / 2; y < 256; y += s)
                    (*t)[x][y].Subdivided = 255;
        CheckedWalk(*t, round % 2 == 0, round % 3 == 0, false);
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
}

TEST(CLODWalk, RefinementClearsWhatTheLastOneSet)
{
    std::mt19937 random(8);
    auto t = RandomTerrain(random);
    ComputeD2Values(*t);
    UpdateCLOD(*t, TVec3f{100, 100, 20000}, 1.0f);
    auto once = std::make_unique<TTerrain>(*t);
    UpdateCLOD(*t, TVec3f{60000, 60000, 100}, 1.0f);
    UpdateCLOD(*t, TVec3f{100, 100, 20000}, 1.0f);
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y)
            ASSERT_EQ((*t)[x][y].Subdivided, (*once)[x][y].Subdivided);
}

}  // namespace
}  // namespace orv
