// GLError: the check for a pending OpenGL error, run at fixed points of loading and
// drawing; an error is logged, never fatal.
//
//   CheckGLError("Loading DDS texture");   // "invalid enumerant: Loading DDS texture"
#pragma once

#include <string_view>

namespace orv {

// The pending OpenGL error as one log line "<error text>: <context>"; nothing without.
void CheckGLError(std::string_view context);

}  // namespace orv
