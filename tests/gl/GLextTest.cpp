// Extension entry points: the whole-word test and the two loaders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gl/GLTestSupport.h"
#include "gl/GLext.h"

namespace orvtest {
namespace {

using namespace orv;

TEST(ExtensionSupported, WholeWordsOnly)
{
    EXPECT_TRUE(glext::ExtensionSupported("GL_ARB_multitexture", "GL_ARB_multitexture GL_EXT_bgra"));
    EXPECT_TRUE(glext::ExtensionSupported("GL_ARB_multitexture", "GL_EXT_bgra GL_ARB_multitexture"));
    EXPECT_TRUE(glext::ExtensionSupported("GL_ARB_multitexture", "GL_ARB_multitexture"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_ARB_multitexture", "GL_ARB_multitexture_suffix"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_ARB_multitexture", "XGL_ARB_multitexture GL_EXT_bgra"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_ARB_multitexture", ""));
    // A rejected occurrence does not hide a later one.
    EXPECT_TRUE(glext::ExtensionSupported("GL_ARB_multitexture", "GL_ARB_multitexture2 GL_ARB_multitexture"));
    EXPECT_TRUE(glext::ExtensionSupported("GL_EXT_bgra", "XGL_EXT_bgra GL_EXT_bgra"));
}

TEST(ExtensionSupported, EmptyNamesAndNamesWithBlanksAreNeverFound)
{
    EXPECT_FALSE(glext::ExtensionSupported("", "GL_EXT_bgra"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_EXT_bgra GL_ARB_multitexture", "GL_EXT_bgra GL_ARB_multitexture"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_EXT_bgra ", "GL_EXT_bgra "));
}

TEST(ExtensionSupported, SearchResumesRightAfterAnOccurrence)
{
    // An occurrence that starts where the resumed search starts counts, as in the usual test.
    EXPECT_TRUE(glext::ExtensionSupported("GL_A", "GL_AGL_A"));
    EXPECT_FALSE(glext::ExtensionSupported("GL_A", "GL_AXGL_A"));
}

// A lookup that records the names asked for and hides some of them.
struct TFakeLookup {
    std::vector<std::string> Asked;
    std::vector<std::string> Hidden;
    glext::TProcLookup Function()
    {
        return [this](const char* name) -> void* {
            Asked.emplace_back(name);
            for (const std::string& h : Hidden)
                if (h == name)
                    return nullptr;
            // Never called: the tests only look at which pointers were set.
            return reinterpret_cast<void*>(&glext::ClearEntryPoints);
        };
    }
};

class EntryPointsTest : public ::testing::Test {
protected:
    void SetUp() override { glext::ClearEntryPoints(); }
    void TearDown() override { glext::ClearEntryPoints(); }
};

TEST_F(EntryPointsTest, LoadGL13FetchesTheFortySixNamesInOrder)
{
    TFakeLookup lookup;
    EXPECT_TRUE(glext::LoadGL13(lookup.Function()));
    ASSERT_EQ(lookup.Asked.size(), 46u);
    EXPECT_EQ(lookup.Asked.front(), "glActiveTexture");
    EXPECT_EQ(lookup.Asked[1], "glClientActiveTexture");
    EXPECT_EQ(lookup.Asked[2], "glMultiTexCoord1d");
    EXPECT_EQ(lookup.Asked[3], "glMultiTexCoord1dv");
    EXPECT_EQ(lookup.Asked[33], "glMultiTexCoord4sv");
    EXPECT_EQ(lookup.Asked[34], "glLoadTransposeMatrixf");
    EXPECT_EQ(lookup.Asked[40], "glCompressedTexImage2D");
    EXPECT_EQ(lookup.Asked.back(), "glGetCompressedTexImage");
    EXPECT_NE(glext::glCompressedTexImage2D, nullptr);
    EXPECT_NE(glext::glGetCompressedTexImage, nullptr);
}

TEST_F(EntryPointsTest, LoadGL13FailsOnTheLastMissingName)
{
    TFakeLookup lookup;
    lookup.Hidden = {"glGetCompressedTexImage"};
    EXPECT_FALSE(glext::LoadGL13(lookup.Function()));
    EXPECT_EQ(lookup.Asked.size(), 46u);
    EXPECT_NE(glext::glCompressedTexImage2D, nullptr);   // fetched before the missing one
    EXPECT_EQ(glext::glGetCompressedTexImage, nullptr);
}

TEST_F(EntryPointsTest, LoadGL13StopsAtTheFirstMissingName)
{
    TFakeLookup lookup;
    lookup.Hidden = {"glMultiTexCoord1dv"};
    EXPECT_FALSE(glext::LoadGL13(lookup.Function()));
    EXPECT_EQ(lookup.Asked.size(), 4u);
    EXPECT_NE(glext::glMultiTexCoord1d, nullptr);
    EXPECT_EQ(glext::glMultiTexCoord2f, nullptr);
    EXPECT_EQ(glext::glCompressedTexImage2D, nullptr);
}

TEST_F(EntryPointsTest, LoadARBMultitextureNeedsTheExtension)
{
    TFakeLookup lookup;
    EXPECT_FALSE(glext::LoadARBMultitexture(lookup.Function(), "GL_EXT_bgra GL_ARB_multitexture_x"));
    EXPECT_TRUE(lookup.Asked.empty());
    EXPECT_EQ(glext::glActiveTextureARB, nullptr);

    EXPECT_TRUE(glext::LoadARBMultitexture(lookup.Function(), "GL_EXT_bgra GL_ARB_multitexture"));
    ASSERT_EQ(lookup.Asked.size(), 34u);
    EXPECT_EQ(lookup.Asked.front(), "glActiveTextureARB");
    EXPECT_EQ(lookup.Asked[1], "glClientActiveTextureARB");
    EXPECT_EQ(lookup.Asked[12], "glMultiTexCoord2fARB");
    EXPECT_EQ(lookup.Asked.back(), "glMultiTexCoord4svARB");
    EXPECT_NE(glext::glMultiTexCoord2fARB, nullptr);
}

TEST_F(EntryPointsTest, LoadARBMultitextureFailsAtAMissingName)
{
    TFakeLookup lookup;
    lookup.Hidden = {"glMultiTexCoord2fARB"};
    EXPECT_FALSE(glext::LoadARBMultitexture(lookup.Function(), "GL_ARB_multitexture"));
    EXPECT_EQ(lookup.Asked.size(), 13u);
    EXPECT_EQ(glext::glMultiTexCoord2fARB, nullptr);
}

TEST(EntryPointsOnTheContext, TheOffscreenContextHasBoth)
{
    THeadlessContext context(16, 16);
    EXPECT_TRUE(glext::LoadGL13());
    EXPECT_TRUE(glext::ExtensionSupported("GL_ARB_multitexture"));
    EXPECT_TRUE(glext::LoadARBMultitexture());
    EXPECT_NE(glext::glActiveTextureARB, nullptr);
    glext::ClearEntryPoints();
    EXPECT_EQ(glext::glActiveTextureARB, nullptr);
    EXPECT_EQ(glext::glCompressedTexImage2D, nullptr);
}

TEST(EntryPointsOnTheContext, TheLookupHasTheOpenGL11FunctionsToo)
{
    THeadlessContext context(16, 16);
    // WGL's lookup gives none of these: they are opengl32.dll's own exports there.
    for (const char* name : {"glBindTexture", "glGetString", "glDrawArrays"})
        EXPECT_NE(glext::ContextProcLookup(name), nullptr) << name;
#ifdef _WIN32
    EXPECT_EQ(glext::ContextProcLookup("glBindTexture"), reinterpret_cast<void*>(&::glBindTexture));
    EXPECT_EQ(glext::ContextProcLookup("glNoSuchFunction"), nullptr);
#endif
}

TEST(EntryPointsOnTheContext, StartUpWarnsWithoutOpenGL13)
{
    const std::string dir = FreshDirectory("glext");
    TTestGame().Write(dir);
    {
        TViewerRig rig(dir, 32, 32, false);
        EXPECT_EQ(rig.Warning, "");
        EXPECT_TRUE(rig.Viewer.GL13Supported);
        EXPECT_TRUE(rig.Viewer.MultitextureSupported);
        // The extension string is logged as one line.
        ASSERT_FALSE(rig.LogLines.empty());
        EXPECT_NE(rig.LogLines.front().find("GL_ARB_multitexture"), std::string::npos);
    }
    TFakeLookup hiding;
    hiding.Hidden = {"glGetCompressedTexImage", "glActiveTextureARB"};
    auto real = hiding.Function();
    glext::TProcLookup lookup = [&](const char* name) { return real(name) ? glext::ContextProcLookup(name) : nullptr; };
    TViewerRig rig(dir, 32, 32, false, lookup);
    EXPECT_EQ(rig.Warning, "No OpenGL 1.3 support!\rZones with DDS tile textures will be drawn without their tile "
                           "textures");
    EXPECT_FALSE(rig.Viewer.GL13Supported);
    EXPECT_FALSE(rig.Viewer.MultitextureSupported);
}

}  // namespace
}  // namespace orvtest
