// The renderers' OpenGL calls, recorded and compared with the call lists they are
// specified by: a V1 patch (near and far strips, detail on and off, the 8192 boundary),
// a Pointer patch, a Fan patch at each level (and the 16000 / 8000 switch) and the
// fans of one CLOD block. The expected lists are written from the calls' description,
// not from the renderers' code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "gl/GLCalls.h"
#include "gl/GLRecorder.h"
#include "terrain/Renderers.h"

namespace orvtest {
namespace {

using namespace orv;

constexpr uint32_t DetailName = 101, CheckerName = 102, SkyName = 103;
constexpr uint32_t FirstTileName = 200;

// The texture coordinate of the vertex k cells from a patch's low corner.
float TexCoord(int k) { return k == 0 ? 0.002f : k == 32 ? 0.998f : static_cast<float>(k) / 32.0f; }

class RendererCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Heights and normals that differ from vertex to vertex, so that a vertex taken
        // from the wrong place shows.
        for (int x = 0; x < GridVertices; ++x) {
            for (int y = 0; y < GridVertices; ++y) {
                (*m_Terrain)[x][y].Height = static_cast<uint16_t>((x * 37 + y * 101 + x * y) % 997);
                (*m_Normals)[x][y] = {static_cast<float>(x) / 1024.0f, static_cast<float>(y) / 512.0f,
                                      1.0f + static_cast<float>(x + y) / 4096.0f};
            }
        }
        State.Terrain = m_Terrain.get();
        State.Normals = m_Normals.get();
        State.DetailTexture = DetailName;
        State.CheckerTexture = CheckerName;
        State.SkyTexture = SkyName;
        for (int tile = 0; tile < TileCount; ++tile)
            State.TileTextures[tile] = FirstTileName + tile;
    }

    double Height(int x, int y) const { return (*m_Terrain)[x][y].Height; }
    const TVec3f& Normal(int x, int y) const { return (*m_Normals)[x][y]; }
    // Vertex-array values of grid vertex (x, y): position, and the normal when lit.
    std::vector<double> Element(int x, int y, bool lit) const
    {
        std::vector<double> e{256.0 * x, 256.0 * y, Height(x, y)};
        if (lit)
            e.insert(e.end(), {Normal(x, y).x, Normal(x, y).y, Normal(x, y).z});
        return e;
    }
    // The camera straight above grid vertex (x, y) at the given distance.
    void CameraAbove(int x, int y, float distance)
    {
        State.CameraPos = {256.0f * x, 256.0f * y, static_cast<float>(Height(x, y)) + distance};
    }
    float Distance(int x, int y) const
    {
        return CameraDistance(State.CameraPos, 256.0f * x, 256.0f * y, static_cast<float>(Height(x, y)));
    }

    // DrawPatchV1(px, py): detail decided per strip j by detailStrip(j).
    std::vector<TGLCall> ExpectedV1(int px, int py, const std::function<bool(int j)>& detailStrip) const
    {
        const bool detail = State.Switches.DetailTexEnabled;
        std::vector<TGLCall> c;
        c.push_back(Call(State.Switches.Lighting ? "glEnable" : "glDisable", GL_LIGHTING));
        if (detail)
            c.push_back(Call("glActiveTextureARB", GL_TEXTURE0_ARB));
        c.push_back(Call("glEnable", GL_TEXTURE_2D));
        c.push_back(Call("glBindTexture", GL_TEXTURE_2D, FirstTileName + px + 8 * py));
        if (detail) {
            c.push_back(Call("glActiveTextureARB", GL_TEXTURE1_ARB));
            c.push_back(Call("glEnable", GL_TEXTURE_2D));
            c.push_back(Call("glBindTexture", GL_TEXTURE_2D, DetailName));
            c.push_back(Call("glTexEnvi", GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB));
            c.push_back(Call("glTexEnvi", GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 2));
            c.push_back(Call("glMatrixMode", GL_TEXTURE));
            c.push_back(Call("glLoadIdentity"));
            c.push_back(Call("glScalef", State.Switches.DetailTexScale, State.Switches.DetailTexScale, 1.0f));
            c.push_back(Call("glMatrixMode", GL_MODELVIEW));
        }
        c.push_back(Call("glActiveTextureARB", GL_TEXTURE1_ARB));
        c.push_back(Call("glDisable", GL_TEXTURE_2D));
        for (int j = 0; j < 32; ++j) {
            const bool detailHere = detailStrip(j);
            c.push_back(Call(detailHere ? "glEnable" : "glDisable", GL_TEXTURE_2D));
            c.push_back(Call("glBegin", GL_TRIANGLE_STRIP));
            for (int a = 0; a <= 32; ++a) {
                for (int row = 0; row < 2; ++row) {
                    const int x = 32 * px + a, y = 32 * py + j + row;
                    if (State.Switches.Lighting)
                        c.push_back(Call("glNormal3fv", Normal(x, y).x, Normal(x, y).y, Normal(x, y).z));
                    const float s = TexCoord(a), t = TexCoord(j + row);
                    if (detailHere) {
                        c.push_back(Call("glMultiTexCoord2fARB", GL_TEXTURE0_ARB, s, t));
                        c.push_back(Call("glMultiTexCoord2fARB", GL_TEXTURE1_ARB, s, t));
                    } else {
                        c.push_back(Call("glTexCoord2f", s, t));
                    }
                    c.push_back(Call("glVertex3i", 256 * x, 256 * y, Height(x, y)));
                }
            }
            c.push_back(Call("glEnd"));
        }
        c.push_back(Call("glActiveTextureARB", GL_TEXTURE1_ARB));
        c.push_back(Call("glDisable", GL_TEXTURE_2D));
        c.push_back(Call("glActiveTextureARB", GL_TEXTURE0_ARB));
        c.push_back(Call("glDisable", GL_TEXTURE_2D));
        return c;
    }

    enum class TFanLevel { Near, Medium, Far };

    // DrawPatchFans(px, py) at one level (the distance test makes no call).
    std::vector<TGLCall> ExpectedFans(int px, int py, TFanLevel level) const
    {
        struct TOffset {
            int dx, dy;
        };
        const std::vector<TOffset> nearFan{{0, 0},  {-1, 1}, {-1, 0}, {-1, -1}, {0, -1},
                                        {1, -1}, {1, 0},  {1, 1},  {0, 1},   {-1, 1}};
        const std::vector<TOffset> medium{{0, 0}, {-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        const std::vector<TOffset> farFan{{-1, 1}, {-1, -1}, {1, 1}, {1, -1}};
        const std::vector<TOffset>& shape = level == TFanLevel::Near ? nearFan : level == TFanLevel::Medium ? medium : farFan;
        const GLenum mode = level == TFanLevel::Far ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN;
        const bool lit = State.Switches.Lighting;
        std::vector<TGLCall> c;
        c.push_back(Call(lit ? "glEnable" : "glDisable", GL_LIGHTING));
        c.push_back(Call("glVertexPointer", 3, GL_FLOAT, 0));
        c.push_back(Call("glEnableClientState", GL_VERTEX_ARRAY));
        if (lit) {
            c.push_back(Call("glNormalPointer", GL_FLOAT, 0));
            c.push_back(Call("glEnableClientState", GL_NORMAL_ARRAY));
        }
        for (int jj = 0; jj < 32; jj += 2) {
            for (int ii = 0; ii < 32; ii += 2) {
                const int cx = 32 * px + ii + 1, cy = 32 * py + jj + 1;
                std::vector<std::vector<double>> elements;
                for (const TOffset& o : shape)
                    elements.push_back(Element(cx + o.dx, cy + o.dy, lit));
                c.push_back(DrawArrays(mode, 0, static_cast<int>(shape.size()), elements));
            }
        }
        c.push_back(Call("glDisableClientState", GL_VERTEX_ARRAY));
        if (lit)
            c.push_back(Call("glDisableClientState", GL_NORMAL_ARRAY));
        return c;
    }

    // The level DrawPatchFans drew, from its recorded calls.
    static TFanLevel RecordedLevel(const std::vector<TGLCall>& calls)
    {
        const std::vector<TGLCall> draws = OnlyCalls(calls, {"glDrawArrays"});
        EXPECT_EQ(draws.size(), 256u);
        if (draws.empty())
            return TFanLevel::Near;
        if (draws[0].Args[0] == GL_TRIANGLE_STRIP)
            return TFanLevel::Far;
        return draws[0].Args[2] == 10 ? TFanLevel::Near : TFanLevel::Medium;
    }

    TTerrainDrawState State;
    std::unique_ptr<TTerrain> m_Terrain = std::make_unique<TTerrain>();
    std::unique_ptr<TTerrainNormals> m_Normals = std::make_unique<TTerrainNormals>();
};

TEST_F(RendererCalls, V1PatchWithNearAndFarStrips)
{
    // From 4096 units before the patch's low edge, the first strips are nearer than
    // 8192 and the last ones farther.
    const int px = 3, py = 5;
    State.CameraPos = {256.0f * (32 * px + 16), 256.0f * (32 * py) - 4096.0f, 500.0f};
    auto detail = [&](int j) { return Distance(32 * px + 16, 32 * py + j) < 8192.0f; };
    ASSERT_TRUE(detail(0));
    ASSERT_FALSE(detail(31));
    TGLRecorder recorder;
    EXPECT_EQ(DrawPatchV1(State, px, py), 2048);
    EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedV1(px, py, detail)));
}

TEST_F(RendererCalls, V1PatchWithoutDetailOrLighting)
{
    const int px = 0, py = 7;
    State.Switches.DetailTexEnabled = false;
    State.Switches.Lighting = false;
    CameraAbove(32 * px + 16, 32 * py + 4, 10.0f);
    TGLRecorder recorder;
    EXPECT_EQ(DrawPatchV1(State, px, py), 2048);
    EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedV1(px, py, [](int) { return false; })));
}

TEST_F(RendererCalls, V1StripExactly8192AwayGetsNoDetail)
{
    const int px = 2, py = 2, j = 9;
    auto detailOfStrip = [&] {
        TGLRecorder recorder;
        DrawPatchV1(State, px, py);
        const std::vector<TGLCall>& calls = recorder.Calls();
        // The strip's texture switch is the call before its glBegin.
        int strip = 0;
        for (size_t i = 1; i < calls.size(); ++i) {
            if (calls[i].Name == "glBegin" && strip++ == j)
                return calls[i - 1] == Call("glEnable", GL_TEXTURE_2D);
        }
        ADD_FAILURE() << "strip " << j << " not drawn";
        return false;
    };
    CameraAbove(32 * px + 16, 32 * py + j, 8192.0f);
    ASSERT_EQ(Distance(32 * px + 16, 32 * py + j), 8192.0f);
    EXPECT_FALSE(detailOfStrip());
    State.CameraPos.z = std::nextafter(State.CameraPos.z, 0.0f);
    ASSERT_LT(Distance(32 * px + 16, 32 * py + j), 8192.0f);
    EXPECT_TRUE(detailOfStrip());
}

TEST_F(RendererCalls, PointerPatchIsOneStripOfTwoPassesPerRowPair)
{
    const int px = 6, py = 1;
    std::vector<std::vector<double>> strip;
    for (int k = 0; k < 32; k += 2) {
        const int y = 32 * py + k;
        for (int m = 32; m >= 0; --m) {
            strip.push_back(Element(32 * px + m, y, false));
            strip.push_back(Element(32 * px + m, y + 1, false));
        }
        for (int m = 0; m <= 32; ++m) {
            strip.push_back(Element(32 * px + m, y + 1, false));
            strip.push_back(Element(32 * px + m, y + 2, false));
        }
    }
    ASSERT_EQ(strip.size(), 2112u);
    const std::vector<TGLCall> expected{
        Call("glEnable", GL_LIGHTING),
        Call("glDisable", GL_TEXTURE_2D),
        Call("glVertexPointer", 3, GL_FLOAT, 0),
        Call("glEnableClientState", GL_VERTEX_ARRAY),
        DrawArrays(GL_TRIANGLE_STRIP, 0, 2112, strip),
        Call("glDisableClientState", GL_VERTEX_ARRAY),
    };
    TGLRecorder recorder;
    EXPECT_EQ(DrawPatchPointer(State, px, py), 2110);
    EXPECT_TRUE(SameCalls(recorder.Calls(), expected));
}

TEST_F(RendererCalls, FanPatchAtEachLevel)
{
    const int px = 4, py = 6;
    const int cx = 32 * px + 16, cy = 32 * py + 16;
    struct TCase {
        float Distance;
        bool Lighting;
        TFanLevel Level;
        int Triangles;
    };
    for (const TCase& c : {TCase{100.0f, true, TFanLevel::Near, 2048}, TCase{12000.0f, true, TFanLevel::Medium, 1024},
                           TCase{20000.0f, true, TFanLevel::Far, 512}, TCase{100.0f, false, TFanLevel::Near, 2048},
                           TCase{12000.0f, false, TFanLevel::Medium, 1024}, TCase{20000.0f, false, TFanLevel::Far, 512}}) {
        SCOPED_TRACE(testing::Message() << "distance " << c.Distance << (c.Lighting ? ", lit" : ", unlit"));
        State.Switches.Lighting = c.Lighting;
        CameraAbove(cx, cy, c.Distance);
        TGLRecorder recorder;
        EXPECT_EQ(DrawPatchFans(State, px, py), c.Triangles);
        EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedFans(px, py, c.Level)));
    }
}

TEST_F(RendererCalls, FanLevelsSwitchAbove8000AndAbove16000)
{
    const int px = 1, py = 3;
    const int cx = 32 * px + 16, cy = 32 * py + 16;
    auto levelAt = [&](float z) {
        State.CameraPos.z = z;
        TGLRecorder recorder;
        DrawPatchFans(State, px, py);
        return RecordedLevel(recorder.Calls());
    };
    CameraAbove(cx, cy, 16000.0f);
    const float at16000 = State.CameraPos.z;
    ASSERT_EQ(Distance(cx, cy), 16000.0f);
    EXPECT_EQ(levelAt(at16000), TFanLevel::Medium);
    EXPECT_EQ(levelAt(std::nextafter(at16000, 1e9f)), TFanLevel::Far);
    CameraAbove(cx, cy, 8000.0f);
    const float at8000 = State.CameraPos.z;
    ASSERT_EQ(Distance(cx, cy), 8000.0f);
    EXPECT_EQ(levelAt(at8000), TFanLevel::Near);
    EXPECT_EQ(levelAt(std::nextafter(at8000, 1e9f)), TFanLevel::Medium);
}

// The CLOD fans of the block centred on (48, 48) (tile 9) when every node of 32 cells
// and more is subdivided and, inside the block, only its child (40, 56) of 16 cells.
TEST_F(RendererCalls, CLODBlockFansAroundASubdividedChild)
{
    TTerrain& terrain = *m_Terrain;
    for (int s = 32; s <= 256; s *= 2)
        for (int y = s / 2; y < 256; y += s)
            for (int x = s / 2; x < 256; x += s)
                terrain[x][y].Subdivided = 255;
    terrain[40][56].Subdivided = 255;

    struct TFanVertex {
        int x, y, s, t;   // grid vertex and texture coordinate indices
    };
    auto fan = [&](std::vector<TFanVertex> vertices) {
        std::vector<std::vector<double>> elements;
        for (const TFanVertex& v : vertices) {
            std::vector<double> e = Element(v.x, v.y, true);
            e.push_back(TexCoord(v.s));
            e.push_back(TexCoord(v.t));
            elements.push_back(e);
        }
        return DrawArrays(GL_TRIANGLE_FAN, 0, static_cast<int>(vertices.size()), elements);
    };
    // Worked by hand from the fan rules: the +x neighbour (80, 48) and the -y neighbour
    // (48, 16) are subdivided, so the block's fans take in those midpoints; the child
    // breaks the fan at (48, 64) and (32, 48).
    const std::vector<TGLCall> block{
        Call("glBindTexture", GL_TEXTURE_2D, FirstTileName + 9),
        fan({{48, 48, 16, 16}, {64, 48, 32, 16}, {64, 64, 32, 32}, {48, 64, 16, 32}}),
        fan({{40, 56, 8, 24}, {48, 64, 16, 32}, {32, 64, 0, 32}, {32, 48, 0, 16}, {48, 48, 16, 16}, {48, 64, 16, 32}}),
        fan({{48, 48, 16, 16}, {32, 48, 0, 16}, {32, 32, 0, 0}, {48, 32, 16, 0}, {64, 32, 32, 0}, {64, 48, 32, 16}}),
    };

    TGLRecorder recorder;
    DrawCLODFans(State);
    const std::vector<TGLCall>& calls = recorder.Calls();
    const std::vector<TGLCall> opening{
        Call("glEnable", GL_LIGHTING),
        Call("glEnable", GL_TEXTURE_2D),
        Call("glEnable", GL_CULL_FACE),
        Call("glColor3f", 1.0f, 1.0f, 1.0f),
        Call("glVertexPointer", 3, GL_FLOAT, 0),
        Call("glEnableClientState", GL_VERTEX_ARRAY),
        Call("glNormalPointer", GL_FLOAT, 0),
        Call("glEnableClientState", GL_NORMAL_ARRAY),
        Call("glTexCoordPointer", 2, GL_FLOAT, 0),
        Call("glEnableClientState", GL_TEXTURE_COORD_ARRAY),
    };
    const std::vector<TGLCall> closing{
        Call("glDisableClientState", GL_TEXTURE_COORD_ARRAY),
        Call("glDisableClientState", GL_NORMAL_ARRAY),
        Call("glDisableClientState", GL_VERTEX_ARRAY),
    };
    ASSERT_GT(calls.size(), opening.size() + closing.size());
    EXPECT_TRUE(SameCalls({calls.begin(), calls.begin() + static_cast<long>(opening.size())}, opening));
    EXPECT_TRUE(SameCalls({calls.end() - static_cast<long>(closing.size()), calls.end()}, closing));

    auto bind = std::find(calls.begin(), calls.end(), block[0]);
    ASSERT_NE(bind, calls.end());
    auto next = std::find_if(bind + 1, calls.end(), [](const TGLCall& c) { return c.Name != "glDrawArrays"; });
    EXPECT_TRUE(SameCalls({bind, next}, block));
    EXPECT_EQ(OnlyCalls(calls, {"glBindTexture"}).size(), 64u) << "one binding per block";
}

}  // namespace
}  // namespace orvtest
