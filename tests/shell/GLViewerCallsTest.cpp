// The OpenGL viewer's texture names, recorded: generated one by one in their order at
// start-up, deleted in the same order by ReleaseTextures, and only once.
#include <gtest/gtest.h>

#include <vector>

#include "gl/GLCalls.h"
#include "gl/GLRecorder.h"
#include "shell/GLViewer.h"

namespace orvtest {
namespace {

TEST(GLViewerCalls, TextureNamesInTheirOrder)
{
    TGLRecorder recorder;
    orv::TGLViewer viewer;
    viewer.InitBaseState();
    viewer.InitBaseState();   // a second start makes no new names
    EXPECT_EQ(viewer.DetailTexture, 1u);
    EXPECT_EQ(viewer.SkyTexture, 2u);
    EXPECT_EQ(viewer.WaterTexture, 3u);
    EXPECT_EQ(viewer.CompassTexture, 4u);
    EXPECT_EQ(viewer.CheckerTexture, 5u);
    EXPECT_EQ(viewer.TileTextures.front(), 6u);
    EXPECT_EQ(viewer.TileTextures.back(), 261u);
    viewer.ReleaseTextures();
    viewer.ReleaseTextures();
    EXPECT_EQ(viewer.SkyTexture, 0u);
    EXPECT_EQ(viewer.TileTextures.back(), 0u);

    std::vector<TGLCall> expected;
    for (int i = 0; i < 5; ++i)
        expected.push_back(Call("glGenTextures", 1));
    expected.push_back(Call("glGenTextures", 256));
    for (int name = 1; name <= 5; ++name)
        expected.push_back(Call("glDeleteTextures", 1, name));
    TGLCall tiles = Call("glDeleteTextures", 256);
    for (int name = 6; name <= 261; ++name)
        tiles.Args.push_back(name);
    expected.push_back(tiles);
    EXPECT_TRUE(SameCalls(OnlyCalls(recorder.Calls(), {"glGenTextures", "glDeleteTextures"}), expected));
}

}  // namespace
}  // namespace orvtest
