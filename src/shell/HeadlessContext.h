// HeadlessContext: an offscreen OpenGL context, current on the calling thread, drawing
// into a framebuffer object of the given size (RGBA 8 bits, 24-bit depth).
//
// On Linux it needs no window system: EGL with the desktop OpenGL API in the
// compatibility profile, Mesa's surfaceless platform tried first, then any EGL device,
// then the default display. On Windows it is a WGL context on a hidden window of its own
// (which needs the desktop WGL draws on: under Wine, an X display).
//
//   THeadlessContext context(640, 480);     // raises EHeadlessContextError
//   ... draw ...
//   TRGBAImage picture = context.ReadPixels();   // top row first
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace orv {

class EHeadlessContextError : public Exception { using Exception::Exception; };

// 8-bit RGBA pixels, top row first, rows without padding.
struct TRGBAImage {
    static constexpr size_t Channels = 4;      // red, green, blue, alpha
    static constexpr size_t RGBChannels = 3;

    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;

    // The pixel at column x, row y counted from the top.
    const uint8_t* At(int x, int y) const { return &Pixels[(static_cast<size_t>(y) * Width + x) * Channels]; }
    // Red, green, blue without the alpha (which the window never shows).
    std::vector<uint8_t> RGBPixels() const;
};

// The pixels of the current context's read buffer from (x, y) (the bottom left corner,
// as OpenGL counts) up and to the right, top row first.
TRGBAImage ReadFramebuffer(int x, int y, int width, int height);

class THeadlessContext {
public:
    THeadlessContext(int width, int height);
    ~THeadlessContext();
    THeadlessContext(const THeadlessContext&) = delete;
    THeadlessContext& operator=(const THeadlessContext&) = delete;

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    // Makes the context current again (it is current after construction).
    void MakeCurrent();
    // Waits for the drawing and reads the colour buffer.
    TRGBAImage ReadPixels();
    // Vendor, renderer and version strings of the context, one line.
    std::string Description() const;

private:
    // The window system's half, one file per system (HeadlessEGL.cpp, HeadlessWGL.cpp):
    // a compatibility-profile context current on the calling thread with no visible
    // surface.
    class TPlatformContext {
    public:
        TPlatformContext();     // current on return; raises EHeadlessContextError
        ~TPlatformContext();    // no context current, everything released
        TPlatformContext(const TPlatformContext&) = delete;
        TPlatformContext& operator=(const TPlatformContext&) = delete;
        bool MakeCurrent();     // false when the context cannot be made current

    private:
        struct THandles;
        std::unique_ptr<THandles> m_Handles;
    };

    void CreateFramebuffer();

    std::unique_ptr<TPlatformContext> m_Platform;
    int m_Width = 0;
    int m_Height = 0;
    uint32_t m_Framebuffer = 0;
    uint32_t m_ColorBuffer = 0;
    uint32_t m_DepthBuffer = 0;
};

}  // namespace orv
