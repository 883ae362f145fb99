// HeadlessContext: the framebuffer object drawn into, reading it back, and what the
// context says of itself; the context is the window system's half (HeadlessEGL.cpp,
// HeadlessWGL.cpp).
#include "shell/HeadlessContext.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <string>

#include "gl/GLext.h"

namespace orv {
namespace {

// Framebuffer object entry points (OpenGL 3.0 / ARB_framebuffer_object).
struct TFramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;

    bool Load()
    {
        Get(GenFramebuffers, "glGenFramebuffers");
        Get(BindFramebuffer, "glBindFramebuffer");
        Get(DeleteFramebuffers, "glDeleteFramebuffers");
        Get(GenRenderbuffers, "glGenRenderbuffers");
        Get(BindRenderbuffer, "glBindRenderbuffer");
        Get(DeleteRenderbuffers, "glDeleteRenderbuffers");
        Get(RenderbufferStorage, "glRenderbufferStorage");
        Get(FramebufferRenderbuffer, "glFramebufferRenderbuffer");
        Get(CheckFramebufferStatus, "glCheckFramebufferStatus");
        return GenFramebuffers && BindFramebuffer && DeleteFramebuffers && GenRenderbuffers && BindRenderbuffer &&
               DeleteRenderbuffers && RenderbufferStorage && FramebufferRenderbuffer && CheckFramebufferStatus;
    }

    template <typename F>
    static void Get(F& slot, const char* name)
    {
        slot = reinterpret_cast<F>(glext::ContextProcLookup(name));
    }
};

TFramebufferCalls& Framebuffers()
{
    static TFramebufferCalls calls;
    return calls;
}

}  // namespace

THeadlessContext::THeadlessContext(int width, int height) : m_Width(width), m_Height(height)
{
    if (width <= 0 || height <= 0)
        throw EHeadlessContextError("Offscreen OpenGL context: invalid size " + std::to_string(width) + "x" +
                                    std::to_string(height));
    m_Platform = std::make_unique<TPlatformContext>();
    CreateFramebuffer();
}

void THeadlessContext::CreateFramebuffer()
{
    TFramebufferCalls& fb = Framebuffers();
    if (!fb.Load())
        throw EHeadlessContextError("Offscreen OpenGL context: no framebuffer objects");
    fb.GenFramebuffers(1, &m_Framebuffer);
    fb.BindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    fb.GenRenderbuffers(1, &m_ColorBuffer);
    fb.BindRenderbuffer(GL_RENDERBUFFER, m_ColorBuffer);
    fb.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_Width, m_Height);
    fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_ColorBuffer);
    fb.GenRenderbuffers(1, &m_DepthBuffer);
    fb.BindRenderbuffer(GL_RENDERBUFFER, m_DepthBuffer);
    fb.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, m_Width, m_Height);
    fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_DepthBuffer);
    if (fb.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        throw EHeadlessContextError("Offscreen OpenGL context: the framebuffer object is incomplete");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, m_Width, m_Height);
}

THeadlessContext::~THeadlessContext()
{
    if (m_Platform->MakeCurrent()) {
        TFramebufferCalls& fb = Framebuffers();
        fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
        fb.DeleteRenderbuffers(1, &m_ColorBuffer);
        fb.DeleteRenderbuffers(1, &m_DepthBuffer);
        fb.DeleteFramebuffers(1, &m_Framebuffer);
    }
}

void THeadlessContext::MakeCurrent()
{
    if (!m_Platform->MakeCurrent())
        throw EHeadlessContextError("Offscreen OpenGL context: the context cannot be made current");
    Framebuffers().BindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
}

TRGBAImage ReadFramebuffer(int x, int y, int width, int height)
{
    TRGBAImage image;
    image.Width = width;
    image.Height = height;
    const size_t rowBytes = static_cast<size_t>(width) * TRGBAImage::Channels;
    std::vector<uint8_t> bottomUp(rowBytes * height);
    glFinish();
    GLint packAlignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    image.Pixels.resize(bottomUp.size());
    for (int row = 0; row < height; ++row)
        std::memcpy(&image.Pixels[row * rowBytes], &bottomUp[(height - 1 - row) * rowBytes], rowBytes);
    return image;
}

TRGBAImage THeadlessContext::ReadPixels() { return ReadFramebuffer(0, 0, m_Width, m_Height); }

std::vector<uint8_t> TRGBAImage::RGBPixels() const
{
    std::vector<uint8_t> rgb;
    rgb.reserve(Pixels.size() / Channels * RGBChannels);
    for (size_t i = 0; i + Channels <= Pixels.size(); i += Channels)
        rgb.insert(rgb.end(), Pixels.begin() + static_cast<ptrdiff_t>(i),
                   Pixels.begin() + static_cast<ptrdiff_t>(i + RGBChannels));
    return rgb;
}

std::string THeadlessContext::Description() const
{
    auto text = [](GLenum what) {
        const auto* s = reinterpret_cast<const char*>(glGetString(what));
        return std::string(s ? s : "?");
    };
    return text(GL_VENDOR) + ", " + text(GL_RENDERER) + ", OpenGL " + text(GL_VERSION);
}

}  // namespace orv
