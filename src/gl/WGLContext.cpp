// WGLContext: pixel format, rendering context and the swap interval through WGL.
#include "gl/WGLContext.h"

#include <GL/gl.h>
#include <GL/wglext.h>

#include <array>

#include "gl/GLext.h"

namespace orv {
namespace {

constexpr BYTE ColorBits = 24;
// The depth bits asked for, the first that a pixel format has.
constexpr std::array<BYTE, 2> DepthBitsWanted{24, 16};

PIXELFORMATDESCRIPTOR Descriptor(bool doubleBuffered, BYTE depthBits)
{
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = sizeof(descriptor);
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_GENERIC_ACCELERATED;
    if (doubleBuffered)
        descriptor.dwFlags |= PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = ColorBits;
    descriptor.cDepthBits = depthBits;
    descriptor.iLayerType = PFD_MAIN_PLANE;
    return descriptor;
}

}  // namespace

TWGLContext::TWGLContext(HWND window, bool doubleBuffered) : m_Window(window)
{
    try {
        m_DeviceContext = GetDC(window);
        int format = 0;
        PIXELFORMATDESCRIPTOR descriptor{};
        if (m_DeviceContext) {
            for (BYTE depthBits : DepthBitsWanted) {
                descriptor = Descriptor(doubleBuffered, depthBits);
                format = ChoosePixelFormat(m_DeviceContext, &descriptor);
                PIXELFORMATDESCRIPTOR chosen{};
                if (format != 0 && DescribePixelFormat(m_DeviceContext, format, sizeof(chosen), &chosen) != 0 &&
                    chosen.cDepthBits >= depthBits)
                    break;
            }
        }
        if (format == 0)
            throw EWGLContextError("Unable to find a suitable pixel format");
        if (!SetPixelFormat(m_DeviceContext, format, &descriptor))
            throw EWGLContextError("Unable to set the pixel format");
        PIXELFORMATDESCRIPTOR chosen{};
        DescribePixelFormat(m_DeviceContext, format, sizeof(chosen), &chosen);
        m_DepthBits = chosen.cDepthBits;
        m_DoubleBuffered = (chosen.dwFlags & PFD_DOUBLEBUFFER) != 0;
        m_Context = wglCreateContext(m_DeviceContext);
        if (!m_Context)
            throw EWGLContextError("Unable to create an OpenGL rendering context");
        MakeCurrent();
    } catch (...) {
        Release();
        throw;
    }
}

TWGLContext::~TWGLContext() { Release(); }

void TWGLContext::Release()
{
    if (m_Context) {
        if (wglGetCurrentContext() == m_Context)
            wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(m_Context);
        m_Context = nullptr;
    }
    if (m_DeviceContext) {
        ReleaseDC(m_Window, m_DeviceContext);
        m_DeviceContext = nullptr;
    }
}

void TWGLContext::MakeCurrent()
{
    if (!wglMakeCurrent(m_DeviceContext, m_Context))
        throw EWGLContextError("Unable to activate OpenGL rendering context");
}

void TWGLContext::SwapBuffers()
{
    if (m_DoubleBuffered)
        ::SwapBuffers(m_DeviceContext);
}

bool TWGLContext::SetSwapInterval(int interval)
{
    auto swapInterval = reinterpret_cast<PFNWGLSWAPINTERVALEXTPROC>(glext::ContextProcLookup("wglSwapIntervalEXT"));
    return swapInterval != nullptr && swapInterval(interval) == TRUE;
}

}  // namespace orv
