// How the window starts: the command line's options, the game folder it opens (the
// argument, the one remembered, the default), the folder choice and the checker texture.
#include <GL/gl.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include "AppTestSupport.h"
#include "GLWindow.h"
#include "shell/GLViewer.h"

using orvtest::TWindowTest;

namespace {

class StartOptionsTest : public TWindowTest {
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        if (!IsSkipped() && orvtest::SampleGame().empty())
            GTEST_SKIP() << "orvandel-mkgame is not built";
    }
};

}  // namespace

TEST_F(StartOptionsTest, ZoneLocationAndRendererOfTheCommandLine)
{
    orv::TViewerOptions options = orvtest::GameOptions(orvtest::SampleGame());
    options.Zone = 5;
    options.Location = "1000,2000,3000,90,60";
    options.RenderVersion = orv::rvPointer;
    OpenWith(options);
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.ZoneID, 5);
    EXPECT_EQ(v.Camera.Pos, (orv::TVec3f{1000.0f, 63535.0f, 3000.0f}));
    EXPECT_FLOAT_EQ(v.Camera.Heading, 270.0f);
    EXPECT_FLOAT_EQ(v.Camera.Pitch, 60.0f);
    EXPECT_EQ(v.RenderVersion, orv::rvPointer);
    EXPECT_TRUE(form->rbnPointerRender->isChecked());
    EXPECT_FALSE(form->rbnCLODFans->isChecked());
    form->glMap->makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << "the radio button's handler ran";
    EXPECT_TRUE(messages.Messages.empty());
    // The location survives the window's first frames and sizes.
    Pump(200);
    EXPECT_EQ(form->Viewer().Camera.Pos.x, 1000.0f);
}

TEST_F(StartOptionsTest, WithoutOptionsZone111AtTheStartCameraWithCLODFans)
{
    Open(orvtest::SampleGame());
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.ZoneID, 111);
    EXPECT_EQ(v.Camera.Pos, (orv::TVec3f{32768.0f, 256.0f, v.Camera.Pos.z}));
    EXPECT_FLOAT_EQ(v.Camera.Pitch, 80.0f);
    EXPECT_EQ(v.RenderVersion, orv::rvCLOD);
    EXPECT_TRUE(form->rbnCLODFans->isChecked());
}
