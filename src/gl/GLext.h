// GLext: the OpenGL 1.3 and GL_ARB_multitexture entry points, fetched after a context
// exists, and the whole-word test of the extension string.
//
//   if (!glext::LoadGL13())                   // through ContextProcLookup
//       warn(...);
//   glext::LoadARBMultitexture();
//   if (glext::glActiveTextureARB) glext::glActiveTextureARB(GL_TEXTURE1_ARB);
//
// A lookup of one's own (the Qt context's, or a test's that hides some names) can be
// passed instead. The pointers are program-wide, like the context they belong to.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include <GL/gl.h>
#include <GL/glext.h>

namespace orv::glext {

// Returns the entry point of the current context for a name, nullptr when there is none.
using TProcLookup = std::function<void*(const char* name)>;
// The current context's lookup: eglGetProcAddress; on Windows wglGetProcAddress, and
// opengl32.dll's own exports for the OpenGL 1.1 names, which that does not return.
void* ContextProcLookup(const char* name);

// Whole-word test: false for an empty name or one with a blank; the list defaults to
// glGetString(GL_EXTENSIONS).
bool ExtensionSupported(std::string_view name, std::optional<std::string_view> list = std::nullopt);

// The 46 OpenGL 1.3 entry points in order; false at the first that is missing (the
// ones before it stay set). An empty lookup means ContextProcLookup.
bool LoadGL13(const TProcLookup& lookup = {});
// The 34 GL_ARB_multitexture entry points, when the extension list (default: the
// context's) names the extension; false otherwise or at the first missing one.
bool LoadARBMultitexture(const TProcLookup& lookup = {}, std::optional<std::string_view> extensions = std::nullopt);
// Clears every pointer of both sets.
void ClearEntryPoints();

// The names fetched by each loader, in their order.
std::span<const char* const> GL13EntryPointNames();
std::span<const char* const> ARBMultitextureEntryPointNames();

// X(name) for each glMultiTexCoord function with the suffix S, sizes 1 to 4, forms
// d, dv, f, fv, i, iv, s, sv.
#define ORV_GLEXT_MULTITEXCOORD_SIZE(X, N, S)                                                       \
    X(glMultiTexCoord##N##d##S) X(glMultiTexCoord##N##dv##S) X(glMultiTexCoord##N##f##S)            \
    X(glMultiTexCoord##N##fv##S) X(glMultiTexCoord##N##i##S) X(glMultiTexCoord##N##iv##S)           \
    X(glMultiTexCoord##N##s##S) X(glMultiTexCoord##N##sv##S)
#define ORV_GLEXT_MULTITEXCOORD(X, S)                                                               \
    ORV_GLEXT_MULTITEXCOORD_SIZE(X, 1, S) ORV_GLEXT_MULTITEXCOORD_SIZE(X, 2, S)                     \
    ORV_GLEXT_MULTITEXCOORD_SIZE(X, 3, S) ORV_GLEXT_MULTITEXCOORD_SIZE(X, 4, S)

// OpenGL 1.3, in the order they are fetched (46).
#define ORV_GLEXT_GL13(X)                                                                           \
    X(glActiveTexture) X(glClientActiveTexture)                                                     \
    ORV_GLEXT_MULTITEXCOORD(X, )                                                                    \
    X(glLoadTransposeMatrixf) X(glLoadTransposeMatrixd) X(glMultTransposeMatrixf)                   \
    X(glMultTransposeMatrixd) X(glSampleCoverage) X(glCompressedTexImage3D)                         \
    X(glCompressedTexImage2D) X(glCompressedTexImage1D) X(glCompressedTexSubImage3D)                \
    X(glCompressedTexSubImage2D) X(glCompressedTexSubImage1D) X(glGetCompressedTexImage)

// GL_ARB_multitexture, in the order they are fetched (34).
#define ORV_GLEXT_ARB_MULTITEXTURE(X)                                                               \
    X(glActiveTextureARB) X(glClientActiveTextureARB)                                               \
    ORV_GLEXT_MULTITEXCOORD(X, ARB)

// One pointer per entry point, typed like the function gl.h declares.
#define ORV_GLEXT_DECLARE(name) extern decltype(&::name) name;
ORV_GLEXT_GL13(ORV_GLEXT_DECLARE)
ORV_GLEXT_ARB_MULTITEXTURE(ORV_GLEXT_DECLARE)
#undef ORV_GLEXT_DECLARE

}  // namespace orv::glext
