// The frame's arithmetic without OpenGL: near and far plane, the ground clamp's rounding
// and reach, the sun along its period, water corners (wrapping 32-bit products) and the
// compass window.
#include "scene/FrameMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace orv {
namespace {

void ExpectNear4(const std::array<float, 4>& actual, const std::array<float, 4>& expected)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "component " << i;
}

TEST(FramePerspective, NearPlaneSwitchesAtPitch45)
{
    EXPECT_EQ(NearPlane(45.0f), 100.0f);
    EXPECT_EQ(NearPlane(44.9f), 50.0f);
    EXPECT_EQ(NearPlane(std::nextafter(45.0f, 0.0f)), 50.0f);
    EXPECT_EQ(NearPlane(180.0f), 100.0f);
    EXPECT_EQ(NearPlane(-180.0f), 50.0f);
}

TEST(FramePerspective, NinetyDegreesToTheFarPlaneWithTheViewsAspect)
{
    const TPerspective p = FramePerspective(45.0f, 640, 480);
    EXPECT_EQ(p.FieldOfView, 90.0);
    EXPECT_EQ(p.Aspect, 640.0 / 480.0);
    EXPECT_EQ(p.Near, 100.0);
    EXPECT_EQ(p.Far, 76800.0);
    EXPECT_EQ(FramePerspective(44.9f, 640, 480).Near, 50.0);
    // A view without height counts as one pixel high.
    EXPECT_EQ(FramePerspective(80.0f, 300, 0).Aspect, 300.0);
    EXPECT_EQ(FramePerspective(80.0f, 0, 0).Aspect, 1.0);
}

TEST(GroundNearPlane, ComesCloserOnlyWhereTheGroundAroundTheEyeIsNearerThanThePlane)
{
    auto terrain = std::make_unique<TTerrain>();
    TCamera camera;
    camera.Pos = {32768.0f, 30000.0f, 1000.0f};
    camera.Pitch = 80.0f;
    const double aspect = 4.0 / 3.0;
    // The cosine of the view's corner angle: 1 / sqrt(1 + 1 + aspect^2) = 3 / sqrt(34).
    const double cornerCos = 3.0 / std::sqrt(34.0);
    // High over flat ground: the pitch's plane, as without the mend.
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 100.0f);
    camera.Pitch = 30.0f;
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 50.0f);
    // 90 above flat ground: 90 x 0.51 = 46 at either pitch; 150 above: 77 at pitch 80,
    // the pitch's 50 below 45 degrees.
    camera.Pos.z = 90.0f;
    camera.Pitch = 80.0f;
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, aspect), 90.0 * cornerCos, 1e-4);
    camera.Pitch = 30.0f;
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, aspect), 90.0 * cornerCos, 1e-4);
    camera.Pos.z = 150.0f;
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 50.0f);
    camera.Pitch = 80.0f;
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, aspect), 150.0 * cornerCos, 1e-4);

    // A vertex rising within the reach (100 / 0.51 = 194 units) counts; one beyond it not.
    camera.Pitch = 80.0f;
    camera.Pos = {128.0f * 256.0f, 100.0f * 256.0f, 1000.0f};
    (*terrain)[129][100].Height = 950;   // 256 units away: its cell reaches the eye's
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, aspect), 50.0 * cornerCos, 1e-4);
    (*terrain)[129][100].Height = 0;
    (*terrain)[130][100].Height = 990;   // 512 units away, beyond the reach and its cells
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 100.0f);
    // Ground above the eye (a slope rising beside it): the least plane.
    (*terrain)[128][101].Height = 1200;
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), LeastNearPlane);
    // A wider view reaches farther and has a smaller corner cosine.
    (*terrain)[128][101].Height = 0;
    (*terrain)[128][100].Height = 900;
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, 2.0), 100.0 / std::sqrt(6.0), 1e-4);

    // Away from the grid, and for a camera without a place, the pitch's plane.
    camera.Pos = {-5000.0f, 30000.0f, 0.0f};
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 100.0f);
    camera.Pos = {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f};
    EXPECT_EQ(GroundNearPlane(camera, *terrain, aspect), 100.0f);
    // At the grid's edge only the vertices there count.
    camera.Pos = {65536.0f + 100.0f, 65536.0f, 200.0f};
    (*terrain)[256][256].Height = 100;
    EXPECT_NEAR(GroundNearPlane(camera, *terrain, aspect), 100.0 * cornerCos, 1e-4);

    const TPerspective p = GroundPerspective(camera, *terrain, 640, 480);
    EXPECT_EQ(p.Aspect, 640.0 / 480.0);
    EXPECT_EQ(p.Far, 76800.0);
    EXPECT_NEAR(p.Near, 100.0 * cornerCos, 1e-4);
}

class GroundClamp : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int x = 0; x < GridVertices; ++x)
            for (int y = 0; y < GridVertices; ++y)
                (*m_Terrain)[x][y].Height = static_cast<uint16_t>(1000 * x + y);
    }
    // z after one clamp of a camera at (x, y) far below the ground, without gravity.
    float Clamped(float x, float y)
    {
        TCamera camera;
        camera.Pos = {x, y, -1000.0f};
        ClampCameraToGround(camera, *m_Terrain, false, 0.0f);
        return camera.Pos.z;
    }
    float Ground(int i, int j) const { return static_cast<float>((*m_Terrain)[i][j].Height + 90); }

    std::unique_ptr<TTerrain> m_Terrain = std::make_unique<TTerrain>();
};

TEST_F(GroundClamp, NearestVertexWithHalvesToEven)
{
    EXPECT_EQ(Clamped(128, 0), Ground(0, 0)) << "half a cell rounds to the even index 0";
    EXPECT_EQ(Clamped(384, 0), Ground(2, 0)) << "one and a half rounds to the even index 2";
    EXPECT_EQ(Clamped(640, 0), Ground(2, 0)) << "two and a half rounds to the even index 2";
    EXPECT_EQ(Clamped(400, 0), Ground(2, 0)) << "past the half rounds up";
    EXPECT_EQ(Clamped(383, 0), Ground(1, 0)) << "before the half rounds down";
    EXPECT_EQ(Clamped(0, 384), Ground(0, 2));
    EXPECT_EQ(Clamped(0, 400), Ground(0, 2));
    EXPECT_EQ(Clamped(0, 383), Ground(0, 1));
    EXPECT_EQ(Clamped(1000.5f, 2000.25f), Ground(4, 8));
}

TEST_F(GroundClamp, OnlyOverTheGrid)
{
    EXPECT_EQ(Clamped(-128, 0), Ground(0, 0)) << "-0.5 rounds to 0, inside";
    EXPECT_EQ(Clamped(-129, 0), -1000.0f);
    EXPECT_EQ(Clamped(65664, 65664), Ground(256, 256)) << "256.5 rounds to the even 256, inside";
    EXPECT_EQ(Clamped(65665, 0), -1000.0f);
    EXPECT_EQ(Clamped(0, 65665), -1000.0f);
    EXPECT_EQ(Clamped(-200, 0), -1000.0f);
    EXPECT_EQ(Clamped(100, 66000), -1000.0f);
    EXPECT_EQ(Clamped(std::numeric_limits<float>::quiet_NaN(), 0), -1000.0f);
    EXPECT_EQ(Clamped(std::numeric_limits<float>::infinity(), 0), -1000.0f);
}

TEST_F(GroundClamp, GravitySinksByTheFrameTimeDownToTheGround)
{
    TCamera camera;
    const float ground = Ground(1, 0);
    camera.Pos = {256, 0, ground + 1000};
    ClampCameraToGround(camera, *m_Terrain, true, 16);
    EXPECT_EQ(camera.Pos.z, ground + 984);
    ClampCameraToGround(camera, *m_Terrain, false, 16);
    EXPECT_EQ(camera.Pos.z, ground + 984) << "without gravity the eye stays";
    camera.Pos.z = ground + 5;
    ClampCameraToGround(camera, *m_Terrain, true, 16);
    EXPECT_EQ(camera.Pos.z, ground);
    ClampCameraToGround(camera, *m_Terrain, true, 16);
    EXPECT_EQ(camera.Pos.z, ground) << "once on the ground it stays there";
    camera.Pos = {-200, 0, 5};
    ClampCameraToGround(camera, *m_Terrain, true, 16);
    EXPECT_EQ(camera.Pos.z, 5.0f) << "outside the grid gravity does not apply either";
}

TEST(SunDirection, AlongItsPeriod)
{
    ExpectNear4(SunDirection(5000), {0.0f, 0.0f, 1.0f, 0.0f});
    ExpectNear4(SunDirection(0), {1.0f, 0.0f, 0.0f, 0.0f});
    ExpectNear4(SunDirection(2500), {0.5f, 0.0f, 0.5f, 0.0f});
    ExpectNear4(SunDirection(9999), {-0.9998f, 0.0f, 0.0002f, 0.0f});
    ExpectNear4(SunDirection(10000), {1.0f, 0.0f, 0.0f, 0.0f});
    ExpectNear4(SunDirection(27500), {-0.5f, 0.0f, 0.5f, 0.0f});
    // The remainder is unsigned: 4294967295 mod 10000 is 7295.
    ExpectNear4(SunDirection(4294967295u), {-0.459f, 0.0f, 0.541f, 0.0f});
}

TEST(WaterCorners, CounterClockwiseFromAbove)
{
    TWaterRegion region;
    region.Bounds = {10, 5, 30, 20};
    region.Height = 3000;
    const auto c = WaterCorners(region);
    EXPECT_EQ(c[0], (TVec3f{2560, 60160, 3000}));
    EXPECT_EQ(c[1], (TVec3f{7680, 60160, 3000}));
    EXPECT_EQ(c[2], (TVec3f{7680, 64000, 3000}));
    EXPECT_EQ(c[3], (TVec3f{2560, 64000, 3000}));
    region.Bounds = {};
    EXPECT_EQ(WaterCorners(region)[0], WaterCorners(region)[2]);
    EXPECT_EQ(WaterCorners(region)[0], (TVec3f{0, 65280, 3000}));
}

TEST(WaterCorners, ProductsWrapAs32BitIntegers)
{
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    constexpr int32_t Min = std::numeric_limits<int32_t>::min();
    TWaterRegion region;
    region.Height = -7;
    // 8388608 x 256 = 2^31 wraps to -2^31; 8388607 x 256 is the last that fits.
    region.Bounds = {8388608, 0, 8388607, 0};
    auto c = WaterCorners(region);
    EXPECT_EQ(c[0].x, -2147483648.0f);
    EXPECT_EQ(c[1].x, 2147483392.0f);
    EXPECT_EQ(c[0].z, -7.0f);
    // 255 - (-8388353) = 8388608 wraps the same way in y.
    region.Bounds = {0, 0, 0, -8388353};
    EXPECT_EQ(WaterCorners(region)[0].y, -2147483648.0f);
    // Near the limits, checked against the product in 64 bits cut to 32.
    auto wrapped = [](int64_t v) { return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(v))); };
    region.Bounds = {Max, Min, Min, Max};
    c = WaterCorners(region);
    EXPECT_EQ(c[0].x, -256.0f);
    EXPECT_EQ(c[1].x, 0.0f);
    EXPECT_EQ(c[0].y, 65536.0f);
    EXPECT_EQ(c[0].y, wrapped((255 - int64_t{Max}) * 256));
    EXPECT_EQ(c[2].y, 65280.0f);
    EXPECT_EQ(c[2].y, wrapped((255 - int64_t{Min}) * 256));
}

TEST(WaterColor, RedInTheLowByte)
{
    EXPECT_EQ(PackedColorRGB(0x0000FF), (std::array<float, 3>{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(PackedColorRGB(0xFF0000), (std::array<float, 3>{0.0f, 0.0f, 1.0f}));
    // The byte above blue is not a channel.
    EXPECT_EQ(PackedColorRGB(0xFF00FF00), (std::array<float, 3>{0.0f, 1.0f, 0.0f}));
    EXPECT_FLOAT_EQ(PackedColorRGB(0x000080)[0], 128.0f / 255.0f);
}

TEST(Compass, WindowStartsTwentyTwoAndAHalfDegreesBeforeTheAngle)
{
    EXPECT_EQ(CompassHeading(90.0f), 270.0f);
    EXPECT_EQ(CompassStart(0.0f), 0.9375f);
    EXPECT_EQ(CompassStart(360.0f), 0.9375f);
    EXPECT_EQ(CompassStart(337.5f), 0.0f);
    EXPECT_EQ(CompassStart(90.0f), 0.6875f);
    EXPECT_EQ(CompassStart(270.0f), 0.1875f);
    EXPECT_LT(CompassStart(100.0f), CompassStart(90.0f)) << "a growing heading moves the window to smaller s";
    EXPECT_GT(CompassStart(338.0f), 0.99f) << "just past 337.5 the start wraps to the end of the strip";
}

}  // namespace
}  // namespace orv
