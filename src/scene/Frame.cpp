// Frame: glMapDraw's composition and its helpers.
#include "scene/Frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "base/CgUtils.h"
#include "gl/GLError.h"
#include "scene/Compass.h"
#include "scene/SkyBox.h"
#include "scene/Water.h"

namespace orv {
namespace {

constexpr GLfloat FogModeExp = 2048.0f;   // GL_EXP, passed as a float

}  // namespace

void ApplyCameraTransform(const TCamera& camera)
{
    glRotatef(-camera.Pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(-camera.Heading, 0.0f, 0.0f, 1.0f);
    glTranslatef(-camera.Pos.x, -camera.Pos.y, -camera.Pos.z);
}

void UpdateSunLight(uint32_t tick)
{
    const std::array<float, 4> position = SunDirection(tick);
    glLightfv(GL_LIGHT0, GL_POSITION, position.data());
}

void ApplyFog(bool on)
{
    if (!on) {
        glDisable(GL_FOG);
        return;
    }
    glEnable(GL_FOG);
    glFogf(GL_FOG_MODE, FogModeExp);
    glFogf(GL_FOG_DENSITY, FogDensity);
    glFogfv(GL_FOG_COLOR, FogColor.data());
    glFogf(GL_FOG_START, FogStart);
    glFogf(GL_FOG_END, FogEnd);
}

int ComposeFrame(TSceneState& scene, const TFrameGeometry& frame)
{
    if (!frame.Visible || scene.Camera == nullptr || scene.TerrainDraw.Terrain == nullptr)
        return 0;
    TCamera& camera = *scene.Camera;
    // The view's own aspect, so that the picture is not stretched.
    const TPerspective perspective = FramePerspective(camera.Pitch, frame.ViewWidth, frame.ViewHeight);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(perspective.FieldOfView, perspective.Aspect, perspective.Near, perspective.Far);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ClampCameraToGround(camera, *scene.TerrainDraw.Terrain, scene.Gravity, scene.FrameTime);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!scene.BoundingSkybox)
        DrawSkyBox(false, scene.SkyTexture);
    ApplyCameraTransform(camera);
    if (scene.TrackSun)
        UpdateSunLight(frame.SunTick ? *frame.SunTick : TickCountMs());
    if (scene.BoundingSkybox)
        DrawSkyBox(true, scene.SkyTexture);
    scene.TerrainDraw.CameraPos = camera.Pos;
    const int triangles = DrawTerrain(scene.TerrainDraw);
    if (scene.WaterRegions)
        DrawWater(*scene.WaterRegions, scene.WaterTexture);
    // The overlay spans the view's pixels, so the compass strip is 48 x 16 pixels.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, std::max(frame.ViewWidth, 1), 0.0, std::max(frame.ViewHeight, 1), 1.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawCompass(camera.Heading, scene.CompassTexture);
    CheckGLError("");
    return triangles;
}

}  // namespace orv
