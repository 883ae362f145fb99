// Frame: glMapDraw's composition and its helpers.
#include "scene/Frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>

#include "base/CgUtils.h"
#include "gl/GLError.h"
#include "scene/Compass.h"
#include "scene/SkyBox.h"
#include "scene/Water.h"

namespace orv {
namespace {

constexpr float HighPitchNear = 100.0f;
constexpr float LowPitchNear = 50.0f;
constexpr float NearPitchLimit = 45.0f;
constexpr int32_t SunHalfPeriod = 5000;
constexpr float SunScale = 10000.0f;
constexpr int EyeAboveGroundUnits = 90;
constexpr GLfloat FogModeExp = 2048.0f;   // GL_EXP, passed as a float

}  // namespace

float NearPlane(float pitch) { return pitch >= NearPitchLimit ? HighPitchNear : LowPitchNear; }

void ClampCameraToGround(TCamera& camera, const TTerrain& terrain, bool gravity, float frameTime)
{
    const std::optional<TGridIndex> vertex = NearestVertex(camera.Pos.x, camera.Pos.y);
    if (!vertex)
        return;
    if (gravity)
        camera.Pos.z = camera.Pos.z - frameTime;
    const auto ground = static_cast<float>(terrain[vertex->x][vertex->y].Height + EyeAboveGroundUnits);
    if (ground > camera.Pos.z)
        camera.Pos.z = ground;
}

void ApplyCameraTransform(const TCamera& camera)
{
    glRotatef(-camera.Pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(-camera.Heading, 0.0f, 0.0f, 1.0f);
    glTranslatef(-camera.Pos.x, -camera.Pos.y, -camera.Pos.z);
}

std::array<float, 4> SunDirection(uint32_t tick)
{
    const auto t = static_cast<int32_t>(tick % SunPeriodMs);
    const int32_t b = SunHalfPeriod - t;
    return {2.0f * static_cast<float>(b) / SunScale, 0.0f, 1.0f - 2.0f * static_cast<float>(std::abs(b)) / SunScale,
            0.0f};
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
    const int width = frame.ViewWidth > 0 ? frame.ViewWidth : 1;
    const int height = frame.ViewHeight > 0 ? frame.ViewHeight : 1;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The view's own aspect, so that the picture is not stretched.
    gluPerspective(FieldOfView, static_cast<double>(width) / height, NearPlane(camera.Pitch), FarPlane);
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
    glOrtho(0.0, width, 0.0, height, 1.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawCompass(camera.Heading, scene.CompassTexture);
    CheckGLError("");
    return triangles;
}

}  // namespace orv
