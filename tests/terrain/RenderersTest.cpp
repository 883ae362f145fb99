// The four terrain renderers on a context: triangles submitted and the state they leave.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

#include "gl/GLTestSupport.h"
#include "terrain/Renderers.h"

namespace orvtest {
namespace {

using namespace orv;

class RenderersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = FreshDirectory("renderers");
        TTestGame game;
        game.Write(s_Dir);
    }
    static std::string s_Dir;
};
std::string RenderersTest::s_Dir;

TEST_F(RenderersTest, FlatZoneTriangleCounts)
{
    TViewerRig rig(s_Dir);
    // A flat zone: one CLOD fan per block, 480 triangles.
    rig.Viewer.SetRenderer(rvCLOD);
    EXPECT_EQ(rig.Viewer.DrawFrame(rig.Frame()), 480);
    rig.Viewer.SetRenderer(rvV1);
    EXPECT_EQ(rig.Viewer.DrawFrame(rig.Frame()), 64 * V1PatchTriangles);
    rig.Viewer.SetRenderer(rvPointer);
    EXPECT_EQ(rig.Viewer.DrawFrame(rig.Frame()), 64 * PointerPatchTriangles);
    EXPECT_EQ(rig.Viewer.TriCount, 480 + 131072 + 135040);
}

TEST_F(RenderersTest, WhatEachRendererLeaves)
{
    TViewerRig rig(s_Dir, 64, 48);
    TGLViewer& viewer = rig.Viewer;
    TTerrainDrawState state;
    state.Terrain = &viewer.Terrain;
    state.Normals = &viewer.TerrainNormals;
    state.CameraPos = {32768, 256, 1000};
    state.SkyTexture = viewer.SkyTexture;
    state.DetailTexture = viewer.DetailTexture;
    state.CheckerTexture = viewer.CheckerTexture;
    std::copy_n(viewer.TileTextures.begin(), TileCount, state.TileTextures.begin());
    auto clientArraysOff = [] {
        return !GLEnabled(GL_VERTEX_ARRAY) && !GLEnabled(GL_NORMAL_ARRAY) && !GLEnabled(GL_TEXTURE_COORD_ARRAY);
    };

    // V1: both units off, unit 0 active, unit 1's texture matrix scaled.
    state.Switches.RenderVersion = rvV1;
    state.Switches.DetailTexScale = 8;
    EXPECT_EQ(DrawTerrain(state), 131072);
    EXPECT_EQ(GLInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CW);
    glext::glActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_2D));
    std::array<float, 16> matrix{};
    glGetFloatv(GL_TEXTURE_MATRIX, matrix.data());
    EXPECT_FLOAT_EQ(matrix[0], 8.0f);
    EXPECT_FLOAT_EQ(matrix[5], 8.0f);
    EXPECT_FLOAT_EQ(matrix[10], 1.0f);
    GLint combine = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &combine);
    EXPECT_EQ(combine, GL_COMBINE_ARB);
    glLoadIdentity();
    glext::glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_TRUE(clientArraysOff());
    EXPECT_TRUE(GLEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(GLEnabled(GL_BLEND));

    // Pointer: texturing off, front face untouched.
    glFrontFace(GL_CCW);
    state.Switches.RenderVersion = rvPointer;
    glEnable(GL_TEXTURE_2D);
    EXPECT_EQ(DrawTerrain(state), 135040);
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CCW);
    EXPECT_TRUE(clientArraysOff());

    // Fan: the texture state as it was found, the sky texture bound.
    state.Switches.RenderVersion = rvFan;
    glEnable(GL_TEXTURE_2D);
    glFrontFace(GL_CW);
    const int fans = DrawTerrain(state);
    EXPECT_GE(fans, 32768);
    EXPECT_LE(fans, 131072);
    EXPECT_TRUE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<uint32_t>(GLInteger(GL_TEXTURE_BINDING_2D)), viewer.SkyTexture);
    EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CCW);
    EXPECT_TRUE(clientArraysOff());

    // CLOD: culling on, texturing on with the last block's tile.
    glDisable(GL_CULL_FACE);
    state.Switches.RenderVersion = rvCLOD;
    EXPECT_EQ(DrawTerrain(state), 480);   // the flat zone
    EXPECT_TRUE(GLEnabled(GL_CULL_FACE));
    EXPECT_TRUE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(clientArraysOff());
    EXPECT_FALSE(GLEnabled(GL_BLEND));
}

}  // namespace
}  // namespace orvtest
