// The current context's entry points through EGL (Linux).
#include <EGL/egl.h>

#include "gl/GLext.h"

namespace orv::glext {

void* ContextProcLookup(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

}  // namespace orv::glext
