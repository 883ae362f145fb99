// GLCalls: the OpenGL 1.1 and GLU entry points the program draws with, as pointers.
//
// Every drawing unit calls OpenGL through these (gl::glBegin(GL_QUADS)), not through
// the library's symbols directly. They start out as the library's own functions; a test
// may point them (and the extension entry points of GLext.h) at functions of its own,
// for example a recorder that logs each call with its arguments, and put them back with
// UseLibraryEntryPoints.
//
//   gl::glEnable(GL_DEPTH_TEST);
//   gl::UseLibraryEntryPoints();   // after a test replaced some
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

namespace orv::gl {

// X(name) for every entry point, in alphabetical order.
#define ORV_GL_CALLS(X)                                                                             \
    X(glBegin) X(glBindTexture) X(glBlendFunc) X(glClear) X(glClearColor) X(glColor3f) X(glColor4f) \
    X(glColorMaterial) X(glCullFace) X(glDeleteTextures) X(glDepthFunc) X(glDisable)                \
    X(glDisableClientState) X(glDrawArrays) X(glEdgeFlag) X(glEnable) X(glEnableClientState)        \
    X(glEnd) X(glFogf) X(glFogfv) X(glFrontFace) X(glGenTextures) X(glGetError) X(glGetIntegerv)   \
    X(glGetString)                                                                                  \
    X(glLightfv) X(glLoadIdentity) X(glMaterialfv) X(glMatrixMode) X(glNormal3f) X(glNormal3fv)     \
    X(glNormalPointer) X(glOrtho) X(glPixelStorei) X(glPolygonMode) X(glPopMatrix) X(glPushMatrix)  \
    X(glRotatef) X(glScalef) X(glShadeModel) X(glTexCoord2f) X(glTexCoordPointer) X(glTexEnvi)      \
    X(glTexGenfv) X(glTexGeni) X(glTexImage2D) X(glTexParameteri) X(glTranslatef) X(glVertex3f)     \
    X(glVertex3i) X(glVertexPointer) X(glViewport) X(gluBuild2DMipmaps) X(gluErrorString)           \
    X(gluPerspective)

// One pointer per entry point, typed like the function gl.h or glu.h declares.
#define ORV_GL_DECLARE(name) extern decltype(&::name) name;
ORV_GL_CALLS(ORV_GL_DECLARE)
#undef ORV_GL_DECLARE

// Points every entry point of this list at the library's function again.
void UseLibraryEntryPoints();

}  // namespace orv::gl
