// OpenGL state: the base state of start-up, what the handlers set, and what a frame leaves.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <set>

#include "gl/GLTestSupport.h"
#include "scene/Frame.h"
#include "gl/GLext.h"
#include "terrain/Renderers.h"

namespace orvtest {
namespace {

using namespace orv;

std::array<float, 4> LightPosition()
{
    std::array<float, 4> p{};
    glGetLightfv(GL_LIGHT0, GL_POSITION, p.data());
    return p;
}

class StateTest : public TSmallGameTest {};

TEST_F(StateTest, BaseStateOfStartUp)
{
    EXPECT_TRUE(GLEnabled(GL_CULL_FACE));
    EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(GLInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(GLInteger(GL_SHADE_MODEL), GL_SMOOTH);
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_NORMALIZE})
        EXPECT_TRUE(GLEnabled(cap)) << cap;
    EXPECT_FALSE(GLEnabled(GL_BLEND));
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(GLEnabled(GL_FOG));
    EXPECT_EQ(GLInteger(GL_COLOR_MATERIAL_FACE), GL_FRONT);
    EXPECT_EQ(GLInteger(GL_COLOR_MATERIAL_PARAMETER), GL_AMBIENT_AND_DIFFUSE);
    std::array<float, 4> diffuse{}, ambient{};
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse.data());
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient.data());
    ExpectNear4(diffuse, {0.6f, 0.6f, 0.6f, 1.0f});
    ExpectNear4(ambient, {0.2f, 0.2f, 0.2f, 1.0f});
    // The light keeps OpenGL's default direction until "Track Sun" is used.
    ExpectNear4(LightPosition(), {0.0f, 0.0f, 1.0f, 0.0f});
    // Five shared names and 256 tile names, all different.
    std::set<uint32_t> names(Viewer().TileTextures.begin(), Viewer().TileTextures.end());
    names.insert({Viewer().DetailTexture, Viewer().SkyTexture, Viewer().WaterTexture, Viewer().CompassTexture,
                  Viewer().CheckerTexture});
    EXPECT_EQ(names.size(), 261u);
    EXPECT_EQ(names.count(0), 0u);
}

TEST_F(StateTest, CullingFollowsTheRendererChoice)
{
    Viewer().SetRenderer(rvPointer);
    EXPECT_FALSE(GLEnabled(GL_CULL_FACE));
    Viewer().DrawFrame(m_Rig->Frame());
    EXPECT_FALSE(GLEnabled(GL_CULL_FACE));   // stays off while Pointer draws
    Viewer().SetRenderer(rvFan);
    EXPECT_TRUE(GLEnabled(GL_CULL_FACE));
    Viewer().SetRenderer(rvPointer);
    Viewer().RenderVersion = rvCLOD;   // without the handler: the CLOD fans switch it on
    Viewer().DrawFrame(m_Rig->Frame());
    EXPECT_TRUE(GLEnabled(GL_CULL_FACE));
    Viewer().SetRenderer(0x100 + rvPointer);   // the tag's low byte counts
    EXPECT_EQ(Viewer().RenderVersion, rvPointer);
    EXPECT_FALSE(GLEnabled(GL_CULL_FACE));
}

TEST_F(StateTest, FogParameters)
{
    Viewer().SetFog(true);
    EXPECT_TRUE(GLEnabled(GL_FOG));
    EXPECT_EQ(GLInteger(GL_FOG_MODE), GL_EXP);
    float density = 0, start = 0, end = 0;
    std::array<float, 4> color{};
    glGetFloatv(GL_FOG_DENSITY, &density);
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_COLOR, color.data());
    EXPECT_FLOAT_EQ(density, 0.00015f);
    EXPECT_FLOAT_EQ(start, 16000.0f);
    EXPECT_FLOAT_EQ(end, 20000.0f);
    ExpectNear4(color, {0.75f, 0.75f, 0.8f, 1.0f});
    Viewer().DrawFrame(m_Rig->Frame());
    EXPECT_TRUE(GLEnabled(GL_FOG));   // no element switches it off
    Viewer().SetFog(false);
    EXPECT_FALSE(GLEnabled(GL_FOG));
}

TEST_F(StateTest, WireframeTogglesThePolygonMode)
{
    std::array<GLint, 2> mode{};
    Viewer().ToggleWireframe();
    EXPECT_TRUE(Viewer().atnWireframeChecked);
    glGetIntegerv(GL_POLYGON_MODE, mode.data());
    EXPECT_EQ(mode, (std::array<GLint, 2>{GL_LINE, GL_LINE}));
    Viewer().ToggleWireframe();
    EXPECT_FALSE(Viewer().atnWireframeChecked);
    glGetIntegerv(GL_POLYGON_MODE, mode.data());
    EXPECT_EQ(mode, (std::array<GLint, 2>{GL_FILL, GL_FILL}));
}

TEST_F(StateTest, TheSunIsPlacedInWorldSpaceAndFrozenRelativeToTheEye)
{
    Viewer().SetTrackSun(true);
    Viewer().Camera.Pitch = 0.0f;   // looking straight down: eye axes are world axes
    Viewer().Camera.Heading = 0.0f;
    TFrameGeometry frame = m_Rig->Frame();
    frame.SunTick = 2500;
    Viewer().DrawFrame(frame);
    ExpectNear4(LightPosition(), {0.5f, 0.0f, 0.5f, 0.0f});
    frame.SunTick = 10000 + 0;
    Viewer().DrawFrame(frame);
    ExpectNear4(LightPosition(), {1.0f, 0.0f, 0.0f, 0.0f});
    // Looking level towards +y, the overhead sun is "up" in eye space.
    Viewer().Camera.Pitch = 90.0f;
    frame.SunTick = 5000;
    Viewer().DrawFrame(frame);
    ExpectNear4(LightPosition(), {0.0f, 1.0f, 0.0f, 0.0f});
    // Off: fixed under the identity the overlay leaves.
    Viewer().SetTrackSun(false);
    EXPECT_FALSE(Viewer().TrackSun);
    ExpectNear4(LightPosition(), {-1.0f, 0.0f, 1.0f, 0.0f});
    frame.SunTick = 2500;
    Viewer().DrawFrame(frame);
    ExpectNear4(LightPosition(), {-1.0f, 0.0f, 1.0f, 0.0f});
}

TEST_F(StateTest, LightColourHandlers)
{
    Viewer().SetAmbientColor(0, 255);
    Viewer().SetDiffuseColor(2, 51);
    std::array<float, 4> diffuse{}, ambient{};
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse.data());
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient.data());
    ExpectNear4(ambient, {1.0f, 0.2f, 0.2f, 1.0f});
    ExpectNear4(diffuse, {0.6f, 0.6f, 0.2f, 1.0f});
    Viewer().SetAmbientColor(4, 0);   // no such component: nothing changes
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient.data());
    ExpectNear4(ambient, {1.0f, 0.2f, 0.2f, 1.0f});
}

TEST_F(StateTest, LightingActionAndTheRenderers)
{
    Viewer().ToggleLighting();
    EXPECT_FALSE(Viewer().atnLightingChecked);
    EXPECT_FALSE(Viewer().Lighting);
    for (int tag : {rvV1, rvPointer, rvFan, rvCLOD}) {
        Viewer().SetRenderer(tag);
        Viewer().DrawFrame(m_Rig->Frame());
        glEnable(GL_LIGHTING);
        // The overlay switched it off; draw the terrain alone to see what it leaves.
        TTerrainDrawState state;
        state.Terrain = &Viewer().Terrain;
        state.Normals = &Viewer().TerrainNormals;
        state.Switches.RenderVersion = static_cast<uint8_t>(tag);
        state.Switches.Lighting = false;
        DrawTerrain(state);
        EXPECT_FALSE(GLEnabled(GL_LIGHTING)) << tag;
        state.Switches.Lighting = true;
        DrawTerrain(state);
        EXPECT_TRUE(GLEnabled(GL_LIGHTING)) << tag;
    }
    Viewer().ToggleLighting();
    EXPECT_TRUE(Viewer().Lighting);
}

TEST_F(StateTest, ResizeSetsTheViewportAndTheStartCamera)
{
    Viewer().Camera.Pos = {1000, 2000, 3000};
    Viewer().Camera.Pitch = 10;
    Viewer().ResizeView(40, 30, false);
    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (std::array<GLint, 4>{0, 0, 40, 30}));
    EXPECT_EQ(Viewer().Camera.Pos, (TVec3f{1000, 2000, 3000}));
    Viewer().ResizeView(64, 48);
    EXPECT_EQ(Viewer().Camera.Pos, (TVec3f{32768, 256, 256}));
    EXPECT_EQ(Viewer().Camera.Pitch, 80.0f);
    EXPECT_EQ(Viewer().Camera.Heading, 0.0f);
}

TEST_F(StateTest, EveryFrameIsFreeOfOpenGLErrors)
{
    m_Rig->LogLines.clear();
    for (int tag : {rvV1, rvPointer, rvFan, rvCLOD}) {
        Viewer().SetRenderer(tag);
        for (bool bounding : {true, false}) {
            Viewer().BoundingSkybox = bounding;
            Viewer().DrawFrame(m_Rig->Frame());
        }
    }
    EXPECT_TRUE(m_Rig->LogLines.empty()) << m_Rig->LogLines.front();
}

TEST_F(StateTest, V1WithoutMultitextureUsesUnitZeroAlone)
{
    Viewer().MultitextureSupported = false;
    Viewer().SetRenderer(rvV1);
    glext::glActiveTextureARB(GL_TEXTURE1_ARB);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glext::glActiveTextureARB(GL_TEXTURE0_ARB);
    Viewer().Camera.Pos = {32768, 1000, 1000};   // the near strips would get detail
    Viewer().DrawFrame(m_Rig->Frame());
    glext::glActiveTextureARB(GL_TEXTURE1_ARB);
    std::array<float, 16> matrix{};
    glGetFloatv(GL_TEXTURE_MATRIX, matrix.data());
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_FLOAT_EQ(matrix[0], 1.0f);
    EXPECT_EQ(mode, GL_MODULATE);
    glext::glActiveTextureARB(GL_TEXTURE0_ARB);
}

}  // namespace
}  // namespace orvtest
