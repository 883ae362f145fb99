// What the sky box, the water and the compass leave behind, read back from a context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl/GLTestSupport.h"
#include "scene/Compass.h"
#include "scene/SkyBox.h"
#include "scene/Water.h"

namespace orvtest {
namespace {

using namespace orv;

class ElementStateTest : public TSmallGameTest {};

TEST_F(ElementStateTest, WhatTheSkyBoxLeaves)
{
    for (bool bounding : {true, false}) {
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glEnable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glFrontFace(GL_CW);
        DrawSkyBox(bounding, Viewer().SkyTexture);
        EXPECT_TRUE(GLEnabled(GL_TEXTURE_2D));
        EXPECT_EQ(static_cast<uint32_t>(GLInteger(GL_TEXTURE_BINDING_2D)), Viewer().SkyTexture);
        EXPECT_FALSE(GLEnabled(GL_BLEND));
        EXPECT_TRUE(GLEnabled(GL_DEPTH_TEST));
        EXPECT_EQ(GLInteger(GL_DEPTH_FUNC), GL_LESS);
        EXPECT_FALSE(GLEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(GLEnabled(GL_TEXTURE_GEN_T));
        EXPECT_FALSE(GLEnabled(GL_LIGHTING));
        EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CCW);
        std::array<float, 4> color{};
        glGetFloatv(GL_CURRENT_COLOR, color.data());
        ExpectNear4(color, {0.5f, 0.6f, 0.9f, 1.0f});
    }
}

TEST_F(ElementStateTest, WhatWaterAndCompassLeave)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glFrontFace(GL_CW);
    DrawWater(Viewer().WaterRegions, Viewer().WaterTexture);
    EXPECT_TRUE(GLEnabled(GL_BLEND));
    EXPECT_EQ(GLInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GLInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(GLEnabled(GL_TEXTURE_GEN_T));
    EXPECT_TRUE(GLEnabled(GL_LIGHTING));
    EXPECT_TRUE(GLEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(GLInteger(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(static_cast<uint32_t>(GLInteger(GL_TEXTURE_BINDING_2D)), Viewer().WaterTexture);
    std::array<float, 4> color{};
    glGetFloatv(GL_CURRENT_COLOR, color.data());
    ExpectNear4(color, {0.0f, 0.0f, 1.0f, 0.7f});   // 0xFF0000 is blue

    DrawCompass(0.0f, Viewer().CompassTexture);
    EXPECT_FALSE(GLEnabled(GL_LIGHTING));
    EXPECT_FALSE(GLEnabled(GL_BLEND));
    EXPECT_FALSE(GLEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(GLEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<uint32_t>(GLInteger(GL_TEXTURE_BINDING_2D)), Viewer().CompassTexture);
}

}  // namespace
}  // namespace orvtest
