// Frame: glMapDraw's composition and its helpers.
#include "scene/Frame.h"

#include <algorithm>

#include "base/CgUtils.h"
#include "gl/GLCalls.h"
#include "gl/GLError.h"
#include "scene/Compass.h"
#include "scene/SkyBox.h"
#include "scene/Water.h"

namespace orv {
void ApplyCameraTransform(const TCamera& camera)
{
    gl::glRotatef(-camera.Pitch, 1.0f, 0.0f, 0.0f);
    gl::glRotatef(-camera.Heading, 0.0f, 0.0f, 1.0f);
    gl::glTranslatef(-camera.Pos.x, -camera.Pos.y, -camera.Pos.z);
}

void UpdateSunLight(uint32_t tick)
{
    const std::array<float, 4> position = SunDirection(tick);
    gl::glLightfv(GL_LIGHT0, GL_POSITION, position.data());
}

void ApplyFog(bool on)
{
    if (!on) {
        gl::glDisable(GL_FOG);
        return;
    }
    gl::glEnable(GL_FOG);
    gl::glFogf(GL_FOG_MODE, static_cast<GLfloat>(GL_EXP));   // the mode passed as a float
    gl::glFogf(GL_FOG_DENSITY, FogDensity);
    gl::glFogfv(GL_FOG_COLOR, FogColor.data());
    gl::glFogf(GL_FOG_START, FogStart);
    gl::glFogf(GL_FOG_END, FogEnd);
}

int ComposeFrame(TSceneState& scene, const TFrameGeometry& frame)
{
    if (!frame.Visible || scene.Camera == nullptr || scene.TerrainDraw.Terrain == nullptr)
        return 0;
    TCamera& camera = *scene.Camera;
    const TDrawSwitches& switches = scene.TerrainDraw.Switches;
    const uint32_t skyTexture = scene.TerrainDraw.SkyTexture;
    // The eye's place first: the near plane keeps clear of the ground around it. The
    // view's own aspect, so that the picture is not stretched.
    ClampCameraToGround(camera, *scene.TerrainDraw.Terrain, switches.Gravity, scene.FrameTime);
    const TPerspective perspective =
        GroundPerspective(camera, *scene.TerrainDraw.Terrain, frame.ViewWidth, frame.ViewHeight);

    gl::glMatrixMode(GL_PROJECTION);
    gl::glLoadIdentity();
    gl::gluPerspective(perspective.FieldOfView, perspective.Aspect, perspective.Near, perspective.Far);
    gl::glMatrixMode(GL_MODELVIEW);
    gl::glLoadIdentity();
    gl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!switches.BoundingSkybox)
        DrawSkyBox(false, skyTexture);
    ApplyCameraTransform(camera);
    if (switches.TrackSun)
        UpdateSunLight(frame.SunTick ? *frame.SunTick : TickCountMs());
    if (switches.BoundingSkybox)
        DrawSkyBox(true, skyTexture);
    scene.TerrainDraw.CameraPos = camera.Pos;
    const int triangles = DrawTerrain(scene.TerrainDraw);
    if (scene.WaterRegions)
        DrawWater(*scene.WaterRegions, scene.WaterTexture);
    // The overlay spans the view's pixels, so the compass strip is 48 x 16 pixels.
    gl::glMatrixMode(GL_PROJECTION);
    gl::glLoadIdentity();
    gl::glOrtho(0.0, std::max(frame.ViewWidth, 1), 0.0, std::max(frame.ViewHeight, 1), 1.0, -1.0);
    gl::glMatrixMode(GL_MODELVIEW);
    gl::glLoadIdentity();
    DrawCompass(camera.Heading, scene.CompassTexture, frame.PixelRatio);
    CheckGLError("");
    return triangles;
}

}  // namespace orv
