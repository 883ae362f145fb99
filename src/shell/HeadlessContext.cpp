// HeadlessContext: EGL display, compatibility-profile context and framebuffer object.
#include "shell/HeadlessContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cstring>

#include "gl/GLext.h"

namespace orv {
namespace {

constexpr int MaxDevices = 16;

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
        slot = reinterpret_cast<F>(eglGetProcAddress(name));
    }
};

TFramebufferCalls& Framebuffers()
{
    static TFramebufferCalls calls;
    return calls;
}

bool HasClientExtension(const char* name)
{
    const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    return list != nullptr && glext::ExtensionSupported(name, std::string_view(list));
}

// An initialised display: surfaceless first, then the EGL devices, then the default.
EGLDisplay OpenDisplay()
{
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    auto tryDisplay = [](EGLDisplay display) {
        if (display == EGL_NO_DISPLAY)
            return EGL_NO_DISPLAY;
        EGLint major = 0, minor = 0;
        if (eglInitialize(display, &major, &minor) != EGL_TRUE)
            return EGL_NO_DISPLAY;
        return display;
    };
    if (getPlatformDisplay && HasClientExtension("EGL_MESA_platform_surfaceless")) {
        if (EGLDisplay d = tryDisplay(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
            d != EGL_NO_DISPLAY)
            return d;
    }
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (getPlatformDisplay && queryDevices && HasClientExtension("EGL_EXT_platform_device")) {
        std::array<EGLDeviceEXT, MaxDevices> devices{};
        EGLint count = 0;
        if (queryDevices(MaxDevices, devices.data(), &count) == EGL_TRUE) {
            for (EGLint i = 0; i < count; ++i) {
                if (EGLDisplay d = tryDisplay(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
                    d != EGL_NO_DISPLAY)
                    return d;
            }
        }
    }
    return tryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY));
}

}  // namespace

THeadlessContext::THeadlessContext(int width, int height) : m_Width(width), m_Height(height)
{
    if (width <= 0 || height <= 0)
        throw EHeadlessContextError("Offscreen OpenGL context: invalid size " + std::to_string(width) + "x" +
                                    std::to_string(height));
    EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY)
        throw EHeadlessContextError("Offscreen OpenGL context: no EGL display could be initialised");
    m_Display = display;

    try {
        if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE)
            throw EHeadlessContextError("Offscreen OpenGL context: the EGL display has no desktop OpenGL");
        // The framebuffer object is drawn into, so any configuration will do; without
        // one the context is made without (EGL_KHR_no_config_context).
        const std::array<EGLint, 5> configAttributes{EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                                                     EGL_PBUFFER_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        if (eglChooseConfig(display, configAttributes.data(), &config, 1, &configs) != EGL_TRUE || configs < 1)
            config = nullptr;
        const std::array<EGLint, 3> contextAttributes{EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
        EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes.data());
        if (context == EGL_NO_CONTEXT)
            throw EHeadlessContextError("Offscreen OpenGL context: the compatibility-profile context was refused");
        m_Context = context;
        if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE)
            throw EHeadlessContextError("Offscreen OpenGL context: the context cannot be made current");
        CreateFramebuffer();
    } catch (...) {
        if (m_Context)
            eglDestroyContext(display, m_Context);
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglTerminate(display);
        throw;
    }
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
    auto display = static_cast<EGLDisplay>(m_Display);
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, static_cast<EGLContext>(m_Context)) == EGL_TRUE) {
        TFramebufferCalls& fb = Framebuffers();
        fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
        fb.DeleteRenderbuffers(1, &m_ColorBuffer);
        fb.DeleteRenderbuffers(1, &m_DepthBuffer);
        fb.DeleteFramebuffers(1, &m_Framebuffer);
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, static_cast<EGLContext>(m_Context));
    eglTerminate(display);
}

void THeadlessContext::MakeCurrent()
{
    if (eglMakeCurrent(static_cast<EGLDisplay>(m_Display), EGL_NO_SURFACE, EGL_NO_SURFACE,
                       static_cast<EGLContext>(m_Context)) != EGL_TRUE)
        throw EHeadlessContextError("Offscreen OpenGL context: the context cannot be made current");
    Framebuffers().BindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
}

TRGBAImage THeadlessContext::ReadPixels()
{
    TRGBAImage image;
    image.Width = m_Width;
    image.Height = m_Height;
    const size_t rowBytes = static_cast<size_t>(m_Width) * TRGBAImage::Channels;
    std::vector<uint8_t> bottomUp(rowBytes * m_Height);
    glFinish();
    GLint packAlignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_Width, m_Height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    image.Pixels.resize(bottomUp.size());
    for (int row = 0; row < m_Height; ++row)
        std::memcpy(&image.Pixels[row * rowBytes], &bottomUp[(m_Height - 1 - row) * rowBytes], rowBytes);
    return image;
}

std::vector<uint8_t> TRGBAImage::RGB() const
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
