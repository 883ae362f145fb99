// Compass: one textured quad.
#include "scene/Compass.h"

#include "gl/GLCalls.h"
#include "scene/FrameMath.h"

namespace orv {
void DrawCompass(float cameraHeading, uint32_t compassTexture, float scale)
{
    const float width = CompassWidth * scale, height = CompassHeight * scale;
    gl::glDisable(GL_LIGHTING);
    gl::glDisable(GL_BLEND);
    gl::glDisable(GL_DEPTH_TEST);
    gl::glFrontFace(GL_CCW);
    gl::glEnable(GL_TEXTURE_2D);
    gl::glBindTexture(GL_TEXTURE_2D, compassTexture);
    const float u = CompassStart(cameraHeading);
    gl::glColor3f(1.0f, 1.0f, 1.0f);
    gl::glBegin(GL_QUADS);
    gl::glTexCoord2f(u, 0.0f);
    gl::glVertex3f(0.0f, 0.0f, 0.0f);
    gl::glTexCoord2f(u + CompassWindow, 0.0f);
    gl::glVertex3f(width, 0.0f, 0.0f);
    gl::glTexCoord2f(u + CompassWindow, 1.0f);
    gl::glVertex3f(width, height, 0.0f);
    gl::glTexCoord2f(u, 1.0f);
    gl::glVertex3f(0.0f, height, 0.0f);
    gl::glEnd();
}

}  // namespace orv
