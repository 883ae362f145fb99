// Vector operations and the frame timer.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/CgGeometry.h"
#include "base/CgUtils.h"

namespace orv {
namespace {

constexpr float HalfPi = static_cast<float>(std::numbers::pi / 2);

TEST(CgGeometry, Operations)
{
    EXPECT_EQ(VecSet(1, 2, 3), (TVec3f{1, 2, 3}));
    EXPECT_EQ(VecAdd(TVec3f{1, 2, 3}, TVec3f{-1, 0.5f, 4}), (TVec3f{0, 2.5f, 7}));
    EXPECT_EQ(VecLength(TVec3f{3, 4, 12}), 13.0f);
    EXPECT_EQ(VecCross(TVec3f{1, 0, 0}, TVec3f{0, 1, 0}), (TVec3f{0, 0, 1}));
    EXPECT_EQ(VecCross(TVec3f{0, 1, 0}, TVec3f{1, 0, 0}), (TVec3f{0, 0, -1}));
    EXPECT_EQ(VecCross(TVec3f{2, 3, 4}, TVec3f{5, 6, 7}), (TVec3f{-3, 6, -3}));

    TVec3f zero{};
    VecNormalize(zero);
    EXPECT_EQ(zero, (TVec3f{}));
    TVec3f v{3, 0, 4};
    VecNormalize(v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);
}

TEST(CgGeometry, RotationsAreCounterClockwise)
{
    TVec3f down{0, 0, -1};
    VecRotateX(down, HalfPi);
    EXPECT_NEAR(down.x, 0.0f, 1e-7f);
    EXPECT_NEAR(down.y, 1.0f, 1e-7f);
    EXPECT_NEAR(down.z, 0.0f, 1e-7f);
    TVec3f north{0, 1, 0};
    VecRotateZ(north, HalfPi);
    EXPECT_NEAR(north.x, -1.0f, 1e-7f);
    EXPECT_NEAR(north.y, 0.0f, 1e-7f);
    EXPECT_EQ(north.z, 0.0f);
    TVec3f w{1, 2, 3};
    VecRotateX(w, 0.7f);
    EXPECT_EQ(w.x, 1.0f);
    EXPECT_NEAR(VecLength(w), std::sqrt(14.0f), 1e-5f);
}

TEST(CgUtils, TimerMeasuresSinceTheLastReset)
{
    // Before the first reset the origin is the clock's own.
    const float sinceOrigin = ElapsedMs();
    ResetTimer();
    const float a = ElapsedMs();
    SleepMs(20);
    const float b = ElapsedMs();
    EXPECT_LT(a, sinceOrigin);
    EXPECT_GE(b, 19.0f);
    EXPECT_GT(b, a);
    ResetTimer();
    EXPECT_LT(ElapsedMs(), b);
    const uint32_t t0 = TickCountMs();
    SleepMs(15);
    EXPECT_GE(TickCountMs() - t0, 14u);
}

}  // namespace
}  // namespace orv
