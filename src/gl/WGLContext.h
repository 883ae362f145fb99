// WGLContext: an OpenGL rendering context on a window's device context (Windows only).
//
// The pixel format asks for RGBA with 24 colour bits, 24 depth bits (16 where no format
// has that many), no stencil and no accumulation buffer, drawing to a window through
// OpenGL, double-buffered for a view and single-buffered for drawing into a framebuffer
// object. The context is current on the calling thread after construction.
//
//   TWGLContext context(window);        // raises EWGLContextError
//   ... draw ...
//   context.SwapBuffers();
#pragma once

#include <windows.h>

#include "base/Exception.h"

namespace orv {

// Raised with the text of the step that failed: "Unable to find a suitable pixel format",
// "Unable to set the pixel format", "Unable to create an OpenGL rendering context",
// "Unable to activate OpenGL rendering context".
class EWGLContextError : public Exception { using Exception::Exception; };

class TWGLContext {
public:
    // A context on window's device context, made current. doubleBuffered: the view's
    // PFD_DOUBLEBUFFER pixel format; else a single-buffered one (drawing into a
    // framebuffer object).
    explicit TWGLContext(HWND window, bool doubleBuffered = true);
    // No context current, the context deleted, the device context released.
    ~TWGLContext();
    TWGLContext(const TWGLContext&) = delete;
    TWGLContext& operator=(const TWGLContext&) = delete;

    // Raises "Unable to activate OpenGL rendering context" when the context cannot be
    // made current.
    void MakeCurrent();
    // Shows the back buffer (a single-buffered context has none: nothing happens).
    void SwapBuffers();
    // WGL_EXT_swap_control's interval (0: never wait for the screen's refresh, 1: wait for
    // one); false where the extension is missing or refuses it.
    bool SetSwapInterval(int interval);

    // The pixel format's depth bits and whether it is double-buffered, as chosen.
    int DepthBits() const { return m_DepthBits; }
    bool DoubleBuffered() const { return m_DoubleBuffered; }

private:
    void Release();

    HWND m_Window = nullptr;
    HDC m_DeviceContext = nullptr;
    HGLRC m_Context = nullptr;
    int m_DepthBits = 0;
    bool m_DoubleBuffered = false;
};

}  // namespace orv
