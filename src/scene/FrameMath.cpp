// FrameMath: near plane, ground clamp, sun, water corners, compass window.
#include "scene/FrameMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
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

float GroundNearPlane(const TCamera& camera, const TTerrain& terrain, double aspect)
{
    const float base = NearPlane(camera.Pitch);
    // The half angles of the view: 45 degrees up and down, the aspect times that across.
    const double halfHeight = std::tan(FieldOfView / 2.0 * std::numbers::pi / 180.0);
    const double halfWidth = aspect * halfHeight;
    const double cornerCos = 1.0 / std::sqrt(1.0 + halfHeight * halfHeight + halfWidth * halfWidth);
    const double reach = base / cornerCos;
    const auto first = [](double from) { return std::clamp(static_cast<int>(std::floor(from / CellSize)), 0, GridVertices - 1); };
    const auto last = [](double to) { return std::clamp(static_cast<int>(std::ceil(to / CellSize)), 0, GridVertices - 1); };
    const TVec3f& eye = camera.Pos;
    // Away from the grid there is no ground to cut.
    if (eye.x + reach < 0.0 || eye.y + reach < 0.0 || eye.x - reach > (GridVertices - 1) * CellSize ||
        eye.y - reach > (GridVertices - 1) * CellSize || !std::isfinite(eye.x) || !std::isfinite(eye.y) ||
        !std::isfinite(eye.z))
        return base;
    int highest = 0;
    for (int i = first(eye.x - reach); i <= last(eye.x + reach); ++i)
        for (int j = first(eye.y - reach); j <= last(eye.y + reach); ++j)
            highest = std::max<int>(highest, terrain[i][j].Height);
    const double clearance = (static_cast<double>(eye.z) - highest) * cornerCos;
    return static_cast<float>(std::clamp(clearance, static_cast<double>(LeastNearPlane), static_cast<double>(base)));
}

TPerspective GroundPerspective(const TCamera& camera, const TTerrain& terrain, int viewWidth, int viewHeight)
{
    TPerspective perspective = FramePerspective(camera.Pitch, viewWidth, viewHeight);
    perspective.Near = GroundNearPlane(camera, terrain, perspective.Aspect);
    return perspective;
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

float CompassHeading(float cameraHeading) { return FullTurn - cameraHeading; }

float CompassStart(float cameraHeading)
{
    float u = CompassHeading(cameraHeading) - CompassLead;
    if (u < 0.0f)
        u = u + FullTurn;
    return u / FullTurn;
}

}  // namespace orv
