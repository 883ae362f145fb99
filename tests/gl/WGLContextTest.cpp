// The view's WGL context on a window (Windows only; the headless context takes the
// single-buffered one).
#include <gtest/gtest.h>

#include "gl/WGLContext.h"
#include "gl/GLCalls.h"

namespace orvtest {
namespace {

using namespace orv;

// A window of the system's static class, never shown.
struct TTestWindow {
    HWND Handle = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ~TTestWindow()
    {
        if (Handle)
            DestroyWindow(Handle);
    }
};

TEST(WGLContext, TheViewsFormatIsDoubleBufferedWithDepthAndCurrentUntilDeleted)
{
    TTestWindow window;
    ASSERT_NE(window.Handle, nullptr);
    {
        TWGLContext context(window.Handle);
        EXPECT_TRUE(context.DoubleBuffered());
        EXPECT_GE(context.DepthBits(), 16);
        ASSERT_NE(wglGetCurrentContext(), nullptr);
        GLint depthBits = 0;
        gl::glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        EXPECT_EQ(depthBits, context.DepthBits());
        GLboolean doubleBuffer = GL_FALSE;
        glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
        EXPECT_EQ(doubleBuffer, GL_TRUE);
        context.SwapBuffers();
        EXPECT_TRUE(context.SetSwapInterval(0));
        wglMakeCurrent(nullptr, nullptr);
        context.MakeCurrent();
        EXPECT_NE(wglGetCurrentContext(), nullptr);
    }
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

}  // namespace
}  // namespace orvtest
