// The error check: one log line per pending error, nothing without.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl/GLError.h"
#include "gl/GLTestSupport.h"

namespace orvtest {
namespace {

TEST(GLError, OneLinePerPendingErrorWithItsContext)
{
    TViewerRig rig(FreshDirectory("gl-error"), 64, 48, /*init*/ false);
    rig.LogLines.clear();
    orv::CheckGLError("nothing pending");
    EXPECT_TRUE(rig.LogLines.empty());
    glEnable(0x7FFF);   // not a capability
    glEnable(0x7FFF);
    orv::CheckGLError("first");
    ASSERT_EQ(rig.LogLines.size(), 1u);
    EXPECT_EQ(rig.LogLines[0], "invalid enumerant: first");
    while (glGetError() != GL_NO_ERROR) {
    }
}

}  // namespace
}  // namespace orvtest
