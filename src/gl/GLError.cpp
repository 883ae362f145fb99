// GLError: the error text from GLU, or the number when GLU has none.
#include "gl/GLError.h"

#include <string>

#include "base/Log.h"
#include "gl/GLCalls.h"

namespace orv {

void CheckGLError(std::string_view context)
{
    const GLenum error = gl::glGetError();
    if (error == GL_NO_ERROR)
        return;
    const auto* text = reinterpret_cast<const char*>(gl::gluErrorString(error));
    std::string line = text ? text : ("OpenGL error " + std::to_string(error));
    line += ": ";
    line += context;
    Log(line);
}

}  // namespace orv
