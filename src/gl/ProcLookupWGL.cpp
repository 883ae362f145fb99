// The current context's entry points through WGL (Windows). wglGetProcAddress gives only
// what lies beyond OpenGL 1.1 and needs a current context; the 1.1 functions are
// opengl32.dll's own exports.
#include "gl/GLext.h"

#include <windows.h>

#include <cstdint>

namespace orv::glext {
namespace {

// Some drivers answer a name they do not have with a small number or -1 instead of null.
bool IsEntryPoint(PROC address)
{
    const auto value = reinterpret_cast<intptr_t>(address);
    return value < -1 || value > 3;
}

}  // namespace

void* ContextProcLookup(const char* name)
{
    if (PROC address = wglGetProcAddress(name); IsEntryPoint(address))
        return reinterpret_cast<void*>(address);
    HMODULE library = GetModuleHandleW(L"opengl32.dll");
    return library ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
}

}  // namespace orv::glext
