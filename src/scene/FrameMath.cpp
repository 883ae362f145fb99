// FrameMath: near plane, ground clamp, sun, water corners, compass window.
#include "scene/FrameMath.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "base/Wrapping.h"

namespace orv {
namespace {

constexpr float HighPitchNear = 100.0f;
constexpr float LowPitchNear = 50.0f;
constexpr float NearPitchLimit = 45.0f;
constexpr int32_t SunHalfPeriod = SunPeriodMs / 2;
constexpr float SunScale = 10000.0f;
constexpr int32_t WaterFlipY = 255;   // heightmap rows grow opposite to world y

float CellsToWorld(int32_t cells) { return static_cast<float>(WrappingMul(cells, CellSize)); }

}  // namespace

float NearPlane(float pitch) { return pitch >= NearPitchLimit ? HighPitchNear : LowPitchNear; }

TPerspective FramePerspective(float pitch, int viewWidth, int viewHeight)
{
    const int width = std::max(viewWidth, 1);
    const int height = std::max(viewHeight, 1);
    return {FieldOfView, static_cast<double>(width) / height, NearPlane(pitch), FarPlane};
}

void ClampCameraToGround(TCamera& camera, const TTerrain& terrain, bool gravity, float frameTime)
{
    const std::optional<TGridIndex> vertex = NearestVertex(camera.Pos.x, camera.Pos.y);
    if (!vertex)
        return;
    if (gravity)
        camera.Pos.z = camera.Pos.z - frameTime;
    const auto ground = static_cast<float>(terrain[vertex->x][vertex->y].Height + EyeAboveGround);
    if (ground > camera.Pos.z)
        camera.Pos.z = ground;
}

std::array<float, 4> SunDirection(uint32_t tick)
{
    const auto t = static_cast<int32_t>(tick % SunPeriodMs);
    const int32_t b = SunHalfPeriod - t;
    return {2.0f * static_cast<float>(b) / SunScale, 0.0f, 1.0f - 2.0f * static_cast<float>(std::abs(b)) / SunScale,
            0.0f};
}

std::array<TVec3f, 4> WaterCorners(const TWaterRegion& region)
{
    const TRect& b = region.Bounds;
    const auto h = static_cast<float>(region.Height);
    const float left = CellsToWorld(b.Left);
    const float right = CellsToWorld(b.Right);
    const float nearY = CellsToWorld(WrappingSub(WaterFlipY, b.Bottom));
    const float farY = CellsToWorld(WrappingSub(WaterFlipY, b.Top));
    return {{{left, nearY, h}, {right, nearY, h}, {right, farY, h}, {left, farY, h}}};
}

std::array<float, 3> PackedColorRGB(uint32_t color)
{
    constexpr float ColorScale = 255.0f;
    return {static_cast<float>(color & 0xFF) / ColorScale, static_cast<float>((color >> 8) & 0xFF) / ColorScale,
            static_cast<float>((color >> 16) & 0xFF) / ColorScale};
}

float CompassHeading(float cameraHeading) { return FullCircle - cameraHeading; }

float CompassStart(float cameraHeading)
{
    float u = CompassHeading(cameraHeading) - CompassLead;
    if (u < 0.0f)
        u = u + FullCircle;
    return u / FullCircle;
}

}  // namespace orv
