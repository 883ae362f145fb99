// The four terrain renderers: triangles submitted, culling, the state they leave.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl/GLTestSupport.h"

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
    rig.Viewer.rbnRenderVersionClick(rvCLOD);
    EXPECT_EQ(rig.Viewer.glMapDraw(rig.Frame()), 480);
    rig.Viewer.rbnRenderVersionClick(rvV1);
    EXPECT_EQ(rig.Viewer.glMapDraw(rig.Frame()), 64 * V1PatchTriangles);
    rig.Viewer.rbnRenderVersionClick(rvPointer);
    EXPECT_EQ(rig.Viewer.glMapDraw(rig.Frame()), 64 * PointerPatchTriangles);
    EXPECT_EQ(rig.Viewer.TriCount, 480 + 131072 + 135040);
}

}  // namespace
}  // namespace orvtest
