// The frame loop's bookkeeping without a window: rates, caption, pause, start and moves.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "shell/FrameLoop.h"

namespace {

// A clock whose time only moves when the test says so.
struct TManualClock {
    double Now = 0.0;          // milliseconds
    double LastReset = 0.0;    // the timer's origin until the first reset
    std::vector<int> Sleeps;

    orv::TFrameClock Clock()
    {
        return {.ElapsedMs = [this] { return static_cast<float>(Now - LastReset); },
                .Reset = [this] { LastReset = Now; },
                .Sleep = [this](int ms) {
                    Sleeps.push_back(ms);
                    Now += ms;
                }};
    }
};

class FrameLoopTest : public testing::Test {
protected:
    // Runs frames of the given lengths; returns the captions in order.
    std::vector<std::string> Run(const std::vector<double>& lengths, const orv::TKeyState& keys = {})
    {
        std::vector<std::string> captions;
        for (double ms : lengths) {
            manual.Now += ms;
            const orv::TFrameReport report = loop.Step(keys);
            if (report.Caption)
                captions.push_back(*report.Caption);
        }
        return captions;
    }

    orv::TViewer viewer;
    TManualClock manual;
    orv::TFrameLoop loop{viewer, manual.Clock()};
};

std::vector<double> Frames(int count, double ms) { return std::vector<double>(count, ms); }

}  // namespace

TEST_F(FrameLoopTest, CaptionComesEveryTwentiethFrameWithTheMeanRate)
{
    loop.Start();
    EXPECT_TRUE(Run(Frames(19, 10.0)).empty());
    viewer.TriCount = 20 * 1234;
    const std::vector<std::string> captions = Run(Frames(1, 10.0));
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0], "Orvandel -- 100 fps (1234 terrain tris)");
    EXPECT_TRUE(manual.Sleeps.empty());
    // The window starts again from nothing.
    EXPECT_EQ(viewer.FrameCount, 0);
    EXPECT_EQ(viewer.FPSSum, 0.0f);
    EXPECT_EQ(viewer.TriCount, 0);
    EXPECT_EQ(Run(Frames(20, 10.0)), std::vector<std::string>{"Orvandel -- 100 fps (0 terrain tris)"});
}

TEST_F(FrameLoopTest, MeanIsOfTheRatesNotOfTheTimes)
{
    loop.Start();
    std::vector<double> lengths;
    for (int i = 0; i < 10; ++i) {
        lengths.push_back(5.0);    // 200 fps
        lengths.push_back(20.0);   // 50 fps
    }
    EXPECT_EQ(Run(lengths), std::vector<std::string>{"Orvandel -- 125 fps (0 terrain tris)"});
}

TEST_F(FrameLoopTest, AboveTwoHundredTheLoopPausesOnceAndTheNextFrameCountsIt)
{
    loop.Start();
    EXPECT_EQ(Run(Frames(20, 4.0)), std::vector<std::string>{"Orvandel -- 250 fps (0 terrain tris)"});
    EXPECT_EQ(manual.Sleeps, std::vector<int>{50});
    manual.Now += 4.0;
    EXPECT_FLOAT_EQ(loop.Step({}).FrameTime, 54.0f);
    // Exactly 200 is not above it.
    viewer.FrameCount = 0;
    viewer.FPSSum = 0.0f;
    manual.Sleeps.clear();
    Run(Frames(20, 5.0));
    EXPECT_TRUE(manual.Sleeps.empty());
}

TEST_F(FrameLoopTest, TrianglesPerFrameRoundHalvesToEven)
{
    struct TCase {
        int TriCount;
        int Shown;
    };
    for (const TCase& c : {TCase{30, 2}, TCase{50, 2}, TCase{70, 4}, TCase{29, 1}, TCase{31, 2}, TCase{0, 0}}) {
        SCOPED_TRACE(c.TriCount);
        EXPECT_EQ(orv::FrameCaption(60.0f, c.TriCount),
                  "Orvandel -- 60 fps (" + std::to_string(c.Shown) + " terrain tris)");
    }
    EXPECT_EQ(orv::FrameCaption(99.5f, 0), "Orvandel -- 100 fps (0 terrain tris)");
    EXPECT_EQ(orv::FrameCaption(98.5f, 0), "Orvandel -- 98 fps (0 terrain tris)");
}

TEST_F(FrameLoopTest, FirstFrameIsMeasuredFromTheStart)
{
    // Long after the timer's origin the loop starts; a key is held from the first frame.
    manual.Now = 3.6e6;
    loop.Start();
    viewer.ResetCamera();
    viewer.Camera.Pitch = 90.0f;
    const orv::TVec3f start = viewer.Camera.Pos;
    manual.Now += 10.0;
    const orv::TFrameReport report = loop.Step({.Up = true});
    EXPECT_FLOAT_EQ(report.FrameTime, 10.0f);
    EXPECT_FLOAT_EQ(viewer.FrameTime, 10.0f);
    EXPECT_TRUE(report.Moved);
    EXPECT_NEAR(viewer.Camera.Pos.y, start.y + 20.0f, 1e-3f);
    // Started again after a pause: measured from the new start.
    manual.Now += 5000.0;
    loop.Start();
    manual.Now += 7.0;
    EXPECT_FLOAT_EQ(loop.Step({}).FrameTime, 7.0f);
}

TEST_F(FrameLoopTest, MovesOnlyWhileAKeyIsHeld)
{
    loop.Start();
    viewer.ResetCamera();
    const orv::TVec3f start = viewer.Camera.Pos;
    manual.Now += 10.0;
    const orv::TFrameReport still = loop.Step({});
    EXPECT_FALSE(still.Moved);
    EXPECT_EQ(viewer.Camera.Pos, start);
    manual.Now += 10.0;
    // Alt wins over Shift: 0.4296875 units per millisecond, to the left.
    const orv::TFrameReport slow = loop.Step({.Left = true, .Shift = true, .Alt = true});
    EXPECT_TRUE(slow.Moved);
    EXPECT_NEAR(viewer.Camera.Pos.x, start.x - 4.296875f, 1e-3f);
}
