// GLCalls: the entry points, linked to the OpenGL and GLU libraries.
#include "gl/GLCalls.h"

namespace orv::gl {

#define ORV_GL_DEFINE(name) decltype(&::name) name = &::name;
ORV_GL_CALLS(ORV_GL_DEFINE)
#undef ORV_GL_DEFINE

void UseLibraryEntryPoints()
{
#define ORV_GL_RESET(name) name = &::name;
    ORV_GL_CALLS(ORV_GL_RESET)
#undef ORV_GL_RESET
}

}  // namespace orv::gl
