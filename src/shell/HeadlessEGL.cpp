// HeadlessEGL: THeadlessContext's context through EGL, without any window system.
#include "shell/HeadlessContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <array>

#include "gl/GLext.h"

namespace orv {
namespace {

constexpr int MaxDevices = 16;

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

struct THeadlessContext::TPlatformContext::THandles {
    EGLDisplay Display = EGL_NO_DISPLAY;
    EGLContext Context = EGL_NO_CONTEXT;

    ~THandles()
    {
        eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (Context != EGL_NO_CONTEXT)
            eglDestroyContext(Display, Context);
        eglTerminate(Display);
    }
};

THeadlessContext::TPlatformContext::TPlatformContext()
{
    EGLDisplay display = OpenDisplay();
    if (display == EGL_NO_DISPLAY)
        throw EHeadlessContextError("Offscreen OpenGL context: no EGL display could be initialised");
    m_Handles = std::make_unique<THandles>();
    m_Handles->Display = display;
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE)
        throw EHeadlessContextError("Offscreen OpenGL context: the EGL display has no desktop OpenGL");
    // The framebuffer object is drawn into, so any configuration will do; without one the
    // context is made without (EGL_KHR_no_config_context).
    const std::array<EGLint, 5> configAttributes{EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                                                 EGL_PBUFFER_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, configAttributes.data(), &config, 1, &configs) != EGL_TRUE || configs < 1)
        config = nullptr;
    const std::array<EGLint, 3> contextAttributes{EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                                  EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    m_Handles->Context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes.data());
    if (m_Handles->Context == EGL_NO_CONTEXT)
        throw EHeadlessContextError("Offscreen OpenGL context: the compatibility-profile context was refused");
    if (!MakeCurrent())
        throw EHeadlessContextError("Offscreen OpenGL context: the context cannot be made current");
}

THeadlessContext::TPlatformContext::~TPlatformContext() = default;

bool THeadlessContext::TPlatformContext::MakeCurrent()
{
    return eglMakeCurrent(m_Handles->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_Handles->Context) == EGL_TRUE;
}

}  // namespace orv
