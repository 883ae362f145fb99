// Texture names: one glGenTextures call in, one glDeleteTextures call out, whatever the
// moves in between; recorded, without a context.
#include <gtest/gtest.h>

#include <utility>

#include "gl/GLRecorder.h"
#include "gl/TextureNames.h"

namespace orvtest {
namespace {

using orv::TTextureNames;

TEST(TextureNames, GeneratedOnceAndDeletedOnce)
{
    TGLRecorder recorder;
    {
        TTextureNames sky(1);
        TTextureNames tiles(3);
        EXPECT_EQ(sky[0], 1u);
        EXPECT_EQ(tiles.Names().size(), 3u);
        EXPECT_EQ(tiles[2], 4u);
        TTextureNames moved = std::move(tiles);
        EXPECT_TRUE(tiles.Empty());
        sky = std::move(moved);   // the sky's own name goes first
        EXPECT_EQ(sky[0], 2u);
        sky.Reset();
        sky.Reset();
        EXPECT_TRUE(sky.Empty());
        TTextureNames none(0);
        EXPECT_TRUE(none.Empty());
    }
    EXPECT_TRUE(SameCalls(recorder.Calls(), {Call("glGenTextures", 1), Call("glGenTextures", 3),
                                             Call("glDeleteTextures", 1, 1), Call("glDeleteTextures", 3, 2, 3, 4)}));
}

}  // namespace
}  // namespace orvtest
