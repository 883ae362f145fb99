// Compass: one textured quad.
#include "scene/Compass.h"

#include <GL/gl.h>

#include "scene/FrameMath.h"

namespace orv {
void DrawCompass(float cameraHeading, uint32_t compassTexture)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, compassTexture);
    const float u = CompassStart(cameraHeading);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(u, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(u + CompassWindow, 0.0f);
    glVertex3f(CompassWidth, 0.0f, 0.0f);
    glTexCoord2f(u + CompassWindow, 1.0f);
    glVertex3f(CompassWidth, CompassHeight, 0.0f);
    glTexCoord2f(u, 1.0f);
    glVertex3f(0.0f, CompassHeight, 0.0f);
    glEnd();
}

}  // namespace orv
