// Renderers: V1, Pointer, Fan and the OpenGL side of the CLOD fans.
#include "terrain/Renderers.h"

#include "gl/GLCalls.h"
#include "gl/GLext.h"
#include "terrain/RendererTable.h"

namespace orv {
namespace {

static_assert(sizeof(TVec3f) == 3 * sizeof(float), "vertex arrays take TVec3f as three packed floats");

constexpr int PatchMiddle = PatchCells / 2;
constexpr int PointerBufferVertices = 4096;
constexpr int PointerPatchVertices = 2112;
constexpr int NearFanVertices = 10;
constexpr int MediumFanVertices = 6;
constexpr int FarStripVertices = 4;
constexpr GLint DetailRGBScale = 2;
constexpr GLint PositionComponents = 3;   // x, y, z of a vertex-array position
constexpr GLint TexCoordComponents = 2;   // s, t
constexpr int BlockCells = 2;             // a Fan block is 2 x 2 cells
constexpr int StripRows = 2;              // a V1 strip joins two grid rows
constexpr int PointerRowsPerTurn = 2;     // the Pointer strip goes down one row and up the next

// The triangles of a strip or a fan of n vertices.
constexpr int StripTriangles(int vertices) { return vertices - 2; }

uint16_t HeightAt(const TTerrainDrawState& state, int x, int y) { return (*state.Terrain)[x][y].Height; }

TVec3f WorldVertex(const TTerrainDrawState& state, int x, int y)
{
    return {static_cast<float>(CellSize * x), static_cast<float>(CellSize * y),
            static_cast<float>(HeightAt(state, x, y))};
}

std::array<float, 3> PointerVertex(const TTerrainDrawState& state, int x, int y)
{
    const TVec3f v = WorldVertex(state, x, y);
    return {v.x, v.y, v.z};
}

const TVec3f& NormalAt(const TTerrainDrawState& state, int x, int y) { return (*state.Normals)[x][y]; }

void ApplyLighting(bool lighting)
{
    if (lighting)
        gl::glEnable(GL_LIGHTING);
    else
        gl::glDisable(GL_LIGHTING);
}

// Distance from the camera to grid vertex (x, y).
float VertexDistance(const TTerrainDrawState& state, int x, int y)
{
    return CameraDistance(state.CameraPos, static_cast<float>(CellSize * x), static_cast<float>(CellSize * y),
                          static_cast<float>(HeightAt(state, x, y)));
}

// Arrays of the Fan renderer's levels: positions, and normals with lighting.
template <size_t N>
struct TFanArrays {
    std::array<TVec3f, N> Vertices{};
    std::array<TVec3f, N> Normals{};

    void Enable(bool lighting)
    {
        gl::glVertexPointer(PositionComponents, GL_FLOAT, 0, Vertices.data());
        gl::glEnableClientState(GL_VERTEX_ARRAY);
        if (lighting) {
            gl::glNormalPointer(GL_FLOAT, 0, Normals.data());
            gl::glEnableClientState(GL_NORMAL_ARRAY);
        }
    }
    static void Disable(bool lighting)
    {
        gl::glDisableClientState(GL_VERTEX_ARRAY);
        if (lighting)
            gl::glDisableClientState(GL_NORMAL_ARRAY);
    }
};

// The grid points of one block of a Fan level around (cx, cy), as offsets.
struct TOffset {
    int dx, dy;
};
constexpr std::array<TOffset, NearFanVertices> NearFan{
    {{0, 0}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}}};
constexpr std::array<TOffset, MediumFanVertices> MediumFan{{{0, 0}, {-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}}};
constexpr std::array<TOffset, FarStripVertices> FarStrip{{{-1, 1}, {-1, -1}, {1, 1}, {1, -1}}};

// Pairs (to, from) of vertices copied from the previous block of the same column.
struct TCopy {
    int To, From;
};
constexpr std::array<TCopy, 3> NearCopies{{{1, 7}, {2, 6}, {3, 5}}};
constexpr std::array<TCopy, 2> MediumCopies{{{1, 4}, {2, 3}}};
constexpr std::array<TCopy, 2> FarCopies{{{0, 2}, {1, 3}}};

// Runs one Fan level over a patch: blocks of 2 x 2 cells, each drawn as one primitive.
template <size_t N, size_t C>
int DrawFanLevel(const TTerrainDrawState& state, int px, int py, const std::array<TOffset, N>& shape,
                 const std::array<TCopy, C>& copies, GLenum mode, int trianglesPerBlock)
{
    TFanArrays<N> arrays;
    arrays.Enable(state.Switches.Lighting);
    int triangles = 0;
    for (int jj = 0; jj < PatchCells; jj += BlockCells) {
        const int cy = PatchCells * py + jj + 1;
        for (int ii = 0; ii < PatchCells; ii += BlockCells) {
            const int cx = PatchCells * px + ii + 1;
            const bool first = ii == 0;
            for (size_t k = 0; k < N; ++k) {
                bool copied = false;
                if (!first) {
                    for (const TCopy& copy : copies) {
                        if (copy.To == static_cast<int>(k)) {
                            arrays.Vertices[k] = arrays.Vertices[copy.From];
                            copied = true;
                        }
                    }
                }
                if (!copied)
                    arrays.Vertices[k] = WorldVertex(state, cx + shape[k].dx, cy + shape[k].dy);
                if (state.Switches.Lighting)
                    arrays.Normals[k] = NormalAt(state, cx + shape[k].dx, cy + shape[k].dy);
            }
            gl::glDrawArrays(mode, 0, static_cast<GLsizei>(N));
            triangles += trianglesPerBlock;
        }
    }
    TFanArrays<N>::Disable(state.Switches.Lighting);
    return triangles;
}

// The OpenGL sink of the level-of-detail walk: the client arrays point at the walk's
// buffers already.
class TGLFanSink final : public IFanSink {
public:
    explicit TGLFanSink(const TTerrainDrawState& state) : m_State(state) {}

    void BindTile(int tile) override
    {
        if (m_State.Switches.TexturesEnabled)
            gl::glBindTexture(GL_TEXTURE_2D, m_State.TileTextures[tile]);
    }

    void DrawFan(const TFanBuffers&, int count) override { gl::glDrawArrays(GL_TRIANGLE_FAN, 0, count); }

private:
    const TTerrainDrawState& m_State;
};

}  // namespace

void DisableTexGen()
{
    gl::glDisable(GL_TEXTURE_GEN_S);
    gl::glDisable(GL_TEXTURE_GEN_T);
}

int DrawTerrain(const TTerrainDrawState& state)
{
    gl::glDisable(GL_BLEND);
    gl::glEnable(GL_DEPTH_TEST);
    DisableTexGen();
    gl::glBindTexture(GL_TEXTURE_2D, state.SkyTexture);
    gl::glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const TRendererEntry* renderer = FindRenderer(state.Switches.RenderVersion);
    if (renderer == nullptr)
        return 0;
    if (renderer->FrontFace != TFrontFace::Unchanged)
        gl::glFrontFace(renderer->FrontFace == TFrontFace::Clockwise ? GL_CW : GL_CCW);
    // The draw entry of each row of the renderer table.
    int (*drawPatch)(const TTerrainDrawState&, int, int) = nullptr;
    switch (renderer->Tag) {
    case rvV1: drawPatch = DrawPatchV1; break;
    case rvPointer: drawPatch = DrawPatchPointer; break;
    case rvFan: drawPatch = DrawPatchFans; break;
    case rvCLOD: return DrawCLODFans(state);
    }
    int triangles = 0;
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px)
            triangles += drawPatch(state, px, py);
    return triangles;
}

int DrawPatchV1(const TTerrainDrawState& state, int px, int py)
{
    const bool multitexture = state.Multitexture && glext::glActiveTextureARB && glext::glMultiTexCoord2fARB;
    const bool detail = state.Switches.DetailTexEnabled && multitexture && state.Switches.TexturesEnabled;
    ApplyLighting(state.Switches.Lighting);
    if (detail)
        glext::glActiveTextureARB(GL_TEXTURE0_ARB);
    const uint32_t tileName = state.TileTextures[px + PatchesPerSide * py];
    const bool checker = state.Switches.Checkerboard || tileName == 0 || tileName == state.CheckerTexture;
    if (state.Switches.TexturesEnabled) {
        gl::glEnable(GL_TEXTURE_2D);
        gl::glBindTexture(GL_TEXTURE_2D, checker ? state.CheckerTexture : tileName);
    }
    if (detail) {
        glext::glActiveTextureARB(GL_TEXTURE1_ARB);
        gl::glEnable(GL_TEXTURE_2D);
        gl::glBindTexture(GL_TEXTURE_2D, state.DetailTexture);
        gl::glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
        gl::glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, DetailRGBScale);
        gl::glMatrixMode(GL_TEXTURE);
        gl::glLoadIdentity();
        gl::glScalef(static_cast<float>(state.Switches.DetailTexScale), static_cast<float>(state.Switches.DetailTexScale), 1.0f);
        gl::glMatrixMode(GL_MODELVIEW);
    }
    if (multitexture) {
        glext::glActiveTextureARB(GL_TEXTURE1_ARB);
        gl::glDisable(GL_TEXTURE_2D);
    }
    // DDS tiles hold their top image row at t = 0: flip t for them, as the CLOD fans do.
    const bool flipT = state.TilesAreDDS && !checker;
    const int x0 = PatchCells * px;
    int triangles = 0;
    for (int j = 0; j < PatchCells; ++j) {
        const int y = PatchCells * py + j;
        const bool detailStrip = detail && VertexDistance(state, x0 + PatchMiddle, y) < V1DetailDistance;
        if (multitexture) {
            if (detailStrip)
                gl::glEnable(GL_TEXTURE_2D);
            else
                gl::glDisable(GL_TEXTURE_2D);
        }
        gl::glBegin(GL_TRIANGLE_STRIP);
        for (int a = 0; a <= PatchCells; ++a) {
            const int x = x0 + a;
            const float s = PatchTexCoords[a];
            for (int row = 0; row < StripRows; ++row) {
                const int k = j + row;
                const float t = PatchTexCoords[k];
                const float tileT = flipT ? PatchTexCoords[PatchCells - k] : t;
                if (state.Switches.Lighting) {
                    gl::glNormal3fv(&NormalAt(state, x, y + row).x);
                }
                if (detailStrip) {
                    glext::glMultiTexCoord2fARB(GL_TEXTURE0_ARB, s, tileT);
                    glext::glMultiTexCoord2fARB(GL_TEXTURE1_ARB, s, t);
                } else {
                    gl::glTexCoord2f(s, tileT);
                }
                gl::glVertex3i(CellSize * x, CellSize * (y + row), HeightAt(state, x, y + row));
            }
        }
        gl::glEnd();
        triangles += StripTriangles(StripRows * (PatchCells + 1));
    }
    if (multitexture) {
        glext::glActiveTextureARB(GL_TEXTURE1_ARB);
        gl::glDisable(GL_TEXTURE_2D);
        glext::glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    gl::glDisable(GL_TEXTURE_2D);
    return triangles;
}

int DrawPatchPointer(const TTerrainDrawState& state, int px, int py)
{
    ApplyLighting(state.Switches.Lighting);
    gl::glDisable(GL_TEXTURE_2D);
    std::array<std::array<float, 3>, PointerBufferVertices> buffer;   // filled below, not cleared
    gl::glVertexPointer(PositionComponents, GL_FLOAT, 0, buffer.data());
    gl::glEnableClientState(GL_VERTEX_ARRAY);
    int n = 0;
    for (int k = 0; k < PatchCells; k += PointerRowsPerTurn) {
        const int y = PatchCells * py + k;
        for (int m = PatchCells; m >= 0; --m) {
            const int x = PatchCells * px + m;
            buffer[n++] = PointerVertex(state, x, y);
            buffer[n++] = PointerVertex(state, x, y + 1);
        }
        for (int m = 0; m <= PatchCells; ++m) {
            const int x = PatchCells * px + m;
            buffer[n++] = PointerVertex(state, x, y + 1);
            buffer[n++] = PointerVertex(state, x, y + 2);
        }
    }
    gl::glDrawArrays(GL_TRIANGLE_STRIP, 0, n);
    gl::glDisableClientState(GL_VERTEX_ARRAY);
    static_assert(StripTriangles(PointerPatchVertices) == PointerPatchTriangles);
    return StripTriangles(n);
}

int DrawPatchFans(const TTerrainDrawState& state, int px, int py)
{
    ApplyLighting(state.Switches.Lighting);
    const float d = VertexDistance(state, PatchCells * px + PatchMiddle, PatchCells * py + PatchMiddle);
    if (d > FanFarDistance)
        return DrawFansFar(state, px, py);
    if (d > FanMediumDistance)
        return DrawFansMedium(state, px, py);
    return DrawFanLevel(state, px, py, NearFan, NearCopies, GL_TRIANGLE_FAN, StripTriangles(NearFanVertices));
}

int DrawFansMedium(const TTerrainDrawState& state, int px, int py)
{
    return DrawFanLevel(state, px, py, MediumFan, MediumCopies, GL_TRIANGLE_FAN, StripTriangles(MediumFanVertices));
}

int DrawFansFar(const TTerrainDrawState& state, int px, int py)
{
    return DrawFanLevel(state, px, py, FarStrip, FarCopies, GL_TRIANGLE_STRIP, StripTriangles(FarStripVertices));
}

int DrawCLODFans(const TTerrainDrawState& state)
{
    ApplyLighting(state.Switches.Lighting);
    if (state.Switches.TexturesEnabled)
        gl::glEnable(GL_TEXTURE_2D);
    gl::glEnable(GL_CULL_FACE);
    gl::glColor3f(1.0f, 1.0f, 1.0f);
    TFanBuffers buffers;
    gl::glVertexPointer(PositionComponents, GL_FLOAT, 0, buffers.Vertices.data());
    gl::glEnableClientState(GL_VERTEX_ARRAY);
    if (state.Switches.Lighting) {
        gl::glNormalPointer(GL_FLOAT, 0, buffers.Normals.data());
        gl::glEnableClientState(GL_NORMAL_ARRAY);
    }
    if (state.Switches.TexturesEnabled) {
        gl::glTexCoordPointer(TexCoordComponents, GL_FLOAT, 0, buffers.TexCoords.data());
        gl::glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    TGLFanSink sink(state);
    const int triangles =
        DrawCLODFanWalk(*state.Terrain, *state.Normals, state.Switches.Lighting, state.TilesAreDDS, sink, &buffers);
    if (state.Switches.TexturesEnabled)
        gl::glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (state.Switches.Lighting)
        gl::glDisableClientState(GL_NORMAL_ARRAY);
    gl::glDisableClientState(GL_VERTEX_ARRAY);
    return triangles;
}

}  // namespace orv
