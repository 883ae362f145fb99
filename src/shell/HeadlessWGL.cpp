// HeadlessWGL: THeadlessContext's context through WGL, on a window of its own that is
// never shown (WGL makes contexts only for a window's device context).
#include "shell/HeadlessContext.h"

#include <windows.h>

#include <optional>

#include "gl/WGLContext.h"

namespace orv {
namespace {

constexpr wchar_t WindowClassName[] = L"OrvandelOffscreen";
// The framebuffer object is drawn into; the window itself only carries the pixel format.
constexpr int WindowSize = 1;

// The window class, registered once per process; nullopt when that failed.
std::optional<ATOM> WindowClass()
{
    static const ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowClassName;
        return RegisterClassW(&windowClass);
    }();
    return atom != 0 ? std::optional(atom) : std::nullopt;
}

}  // namespace

struct THeadlessContext::TPlatformContext::THandles {
    HWND Window = nullptr;
    std::optional<TWGLContext> Context;

    ~THandles()
    {
        Context.reset();
        if (Window)
            DestroyWindow(Window);
    }
};

THeadlessContext::TPlatformContext::TPlatformContext() : m_Handles(std::make_unique<THandles>())
{
    if (WindowClass())
        m_Handles->Window = CreateWindowExW(0, WindowClassName, L"", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0,
                                            0, WindowSize, WindowSize, nullptr, nullptr, GetModuleHandleW(nullptr),
                                            nullptr);
    if (!m_Handles->Window)
        throw EHeadlessContextError("Offscreen OpenGL context: no hidden window could be made");
    try {
        m_Handles->Context.emplace(m_Handles->Window, false);
    } catch (const EWGLContextError& error) {
        throw EHeadlessContextError(std::string("Offscreen OpenGL context: ") + error.what());
    }
}

THeadlessContext::TPlatformContext::~TPlatformContext() = default;

bool THeadlessContext::TPlatformContext::MakeCurrent()
{
    try {
        m_Handles->Context->MakeCurrent();
        return true;
    } catch (const EWGLContextError&) {
        return false;
    }
}

}  // namespace orv
