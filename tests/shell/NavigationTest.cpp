// The camera: locations typed and shown, keyboard movement, mouse look, the detail
// slider, and the game directory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "TestSystem.h"
#include "base/Exception.h"
#include "shell/Viewer.h"

namespace orv {
namespace {

// Marks a vertex that no refinement leaves set, so a test can tell whether one ran.
constexpr int SentinelX = 0, SentinelY = 0;

class Navigation : public ::testing::Test {
protected:
    void SetUp() override { V.ResetCamera(); }
    void MarkSentinel() { V.Terrain[SentinelX][SentinelY].Subdivided = 255; }
    bool Refined() const { return V.Terrain[SentinelX][SentinelY].Subdivided == 0; }

    std::string Error(const std::string& reply)
    {
        try {
            V.ApplyLocationReply(reply);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "no error";
    }

    TViewer V;
};

TEST_F(Navigation, StartValues)
{
    EXPECT_EQ(V.Camera.Pos, (TVec3f{32768, 256, 256}));
    EXPECT_EQ(V.Camera.Pitch, 80.0f);
    EXPECT_EQ(V.Camera.Heading, 0.0f);
    EXPECT_EQ(V.CLODDetail, 0.2f);
    EXPECT_EQ(V.ZoneID, 0);
    EXPECT_EQ(V.LocationText(), "32768,65279,256,0,80");
}

TEST_F(Navigation, SetLocationAndItsText)
{
    V.SetLocation(1000, 2000, 300, 90, 45);
    EXPECT_EQ(V.Camera.Pos, (TVec3f{1000, 63535, 300}));
    EXPECT_EQ(V.Camera.Heading, 270.0f);
    EXPECT_EQ(V.Camera.Pitch, 45.0f);
    EXPECT_EQ(V.LocationText(), "1000,2000,300,90,45");

    // heading := -h, wrapped once in either direction; pitch taken as typed.
    const std::pair<int, float> headings[] = {{0, 0.0f}, {359, 1.0f}, {-400, 40.0f}, {-360, 360.0f}, {720, -360.0f},
                                              {-720, 360.0f}};
    for (auto [h, heading] : headings) {
        V.SetLocation(0, 0, 0, h, 500);
        EXPECT_EQ(V.Camera.Heading, heading) << h;
        EXPECT_EQ(V.Camera.Pitch, 500.0f);
    }
    V.SetLocation(0, 0, 0, -360, 0);
    EXPECT_EQ(V.LocationText(), "0,0,0,0,0");
}

TEST_F(Navigation, LocationTextRoundsHalvesToEven)
{
    V.Camera.Pos = {2.5f, 0.5f, 3.5f};
    V.Camera.Pitch = -0.5f;
    V.Camera.Heading = 1.5f;   // -1.5 rounds to -2
    EXPECT_EQ(V.LocationText(), "2,65535,4,358,0");
    V.Camera.Heading = 359.5f;   // -359.5 rounds to -360
    EXPECT_EQ(V.LocationText().substr(V.LocationText().rfind(',', V.LocationText().size() - 3)), ",0,0");
    V.Camera.Heading = 0.5f;
    EXPECT_EQ(V.LocationText(), "2,65535,4,0,0");
    V.Camera.Pos = {-1e12f, 70000.4f, 1e12f};
    V.Camera.Heading = 90.0f;
    EXPECT_EQ(V.LocationText(), "-999999995904,-4465,999999995904,270,0");
}

TEST_F(Navigation, ConfirmingTheShownTextKeepsTheCamera)
{
    V.Camera.Pos = {1234.4f, 5678.6f, 910.5f};
    V.Camera.Heading = 33.4f;
    V.Camera.Pitch = 71.6f;
    V.ApplyLocationReply(V.LocationText());
    EXPECT_EQ(V.Camera.Pos, (TVec3f{1234, 5679, 910}));
    EXPECT_EQ(V.Camera.Heading, 33.0f);
    EXPECT_EQ(V.Camera.Pitch, 72.0f);
}

TEST_F(Navigation, AboveIgnoringCase)
{
    for (const char* reply : {"above", "ABOVE", "aBoVe"}) {
        V.ResetCamera();
        V.ApplyLocationReply(reply);
        EXPECT_EQ(V.Camera.Pos, (TVec3f{29963, 10360, 30683})) << reply;
        EXPECT_EQ(V.Camera.Heading, 1.0f);
        EXPECT_EQ(V.Camera.Pitch, 7.0f);
    }
    // Only the whole reply counts.
    EXPECT_EQ(Error(" above"), "'above' is not a valid integer value");
}

TEST_F(Navigation, RepliesApplyTheirItemsInTurn)
{
    V.ApplyLocationReply("1000,2000");
    EXPECT_EQ(V.Camera.Pos, (TVec3f{1000, 63535, 256}));
    EXPECT_EQ(V.Camera.Heading, 0.0f);
    EXPECT_EQ(V.Camera.Pitch, 80.0f);

    V.ApplyLocationReply("1000 2000 300");
    EXPECT_EQ(V.Camera.Pos, (TVec3f{1000, 63535, 300}));

    V.ApplyLocationReply(" 1, \"2\" ,3,$10,-20,junk");
    EXPECT_EQ(V.Camera.Pos, (TVec3f{1, 65533, 3}));
    EXPECT_EQ(V.Camera.Heading, 344.0f);
    EXPECT_EQ(V.Camera.Pitch, -20.0f);
}

TEST_F(Navigation, BadRepliesMoveNothing)
{
    V.SetLocation(10, 20, 30, 40, 50);
    const TCamera before = V.Camera;
    EXPECT_EQ(Error(""), "List index out of bounds (0)");
    EXPECT_EQ(Error("1000"), "List index out of bounds (1)");
    EXPECT_EQ(Error("2000,abc,5"), "'abc' is not a valid integer value");
    EXPECT_EQ(Error("1,2,3,4,x"), "'x' is not a valid integer value");
    EXPECT_EQ(Error("\"1,000\",2"), "'1,000' is not a valid integer value");
    EXPECT_EQ(Error("1,,3"), "'' is not a valid integer value");
    EXPECT_EQ(V.Camera.Pos, before.Pos);
    EXPECT_EQ(V.Camera.Heading, before.Heading);
    EXPECT_EQ(V.Camera.Pitch, before.Pitch);
}

TEST_F(Navigation, LocationsAreNotRefined)
{
    MarkSentinel();
    V.ApplyLocationReply("5,5,5,5,5");
    V.SetLocation(1, 2, 3, 4, 5);
    EXPECT_FALSE(Refined());
}

TEST_F(Navigation, ArrowsMoveAlongTheViewAndRefine)
{
    V.Camera.Pitch = 90.0f;
    MarkSentinel();
    EXPECT_TRUE(V.MoveCamera(10.0f, {.Up = true}));
    EXPECT_TRUE(Refined());
    EXPECT_NEAR(V.Camera.Pos.x, 32768.0f, 1e-3f);
    EXPECT_NEAR(V.Camera.Pos.y, 256.0f + 20.0f, 1e-3f);
    EXPECT_NEAR(V.Camera.Pos.z, 256.0f, 1e-3f);

    // Up wins over down, left over right; heading 0 faces +y, so left is -x.
    V.ResetCamera();
    V.Camera.Pitch = 90.0f;
    V.MoveCamera(10.0f, {.Up = true, .Down = true, .Left = true, .Right = true});
    EXPECT_NEAR(V.Camera.Pos.x, 32768.0f - 20.0f, 1e-3f);
    EXPECT_NEAR(V.Camera.Pos.y, 256.0f + 20.0f, 1e-3f);

    // Heading 90 faces -x.
    V.ResetCamera();
    V.Camera.Pitch = 90.0f;
    V.Camera.Heading = 90.0f;
    V.MoveCamera(4.0f, {.Up = true, .Shift = true});
    EXPECT_NEAR(V.Camera.Pos.x, 32768.0f - 32.0f, 1e-3f);
    EXPECT_NEAR(V.Camera.Pos.y, 256.0f, 1e-3f);

    // Looking straight down, up sinks.
    V.ResetCamera();
    V.Camera.Pitch = 0.0f;
    V.MoveCamera(10.0f, {.Down = true});
    EXPECT_EQ(V.Camera.Pos, (TVec3f{32768, 256, 276}));
}

TEST_F(Navigation, SpeedsAndNoKeys)
{
    auto travelled = [&](TKeyState keys) {
        V.ResetCamera();
        V.Camera.Pitch = 90.0f;
        V.MoveCamera(100.0f, keys);
        return V.Camera.Pos.y - 256.0f;
    };
    EXPECT_NEAR(travelled({.Up = true}), 200.0f, 1e-3f);
    EXPECT_NEAR(travelled({.Up = true, .Shift = true}), 800.0f, 1e-3f);
    EXPECT_NEAR(travelled({.Up = true, .Alt = true}), 42.96875f, 1e-3f);
    EXPECT_NEAR(travelled({.Up = true, .Shift = true, .Alt = true}), 42.96875f, 1e-3f);

    V.ResetCamera();
    MarkSentinel();
    EXPECT_FALSE(V.MoveCamera(100.0f, {.Shift = true, .Alt = true}));
    EXPECT_EQ(V.Camera.Pos, (TVec3f{32768, 256, 256}));
    EXPECT_FALSE(Refined());
}

TEST_F(Navigation, AWheelNotchGoesAsFarAsATenthOfASecondOfUp)
{
    auto travelled = [&](float notches, bool shift, bool alt) {
        V.ResetCamera();
        V.Camera.Pitch = 90.0f;
        V.WheelMove(notches, shift, alt);
        return V.Camera.Pos.y - 256.0f;
    };
    EXPECT_NEAR(travelled(1.0f, false, false), 200.0f, 1e-3f);
    EXPECT_NEAR(travelled(-2.0f, false, false), -400.0f, 1e-3f);
    EXPECT_NEAR(travelled(1.0f, true, false), 800.0f, 1e-3f);
    EXPECT_NEAR(travelled(1.0f, true, true), 42.96875f, 1e-3f);
    EXPECT_NEAR(travelled(0.25f, false, false), 50.0f, 1e-3f);   // a finer wheel
    // Along the view, as Up: looking straight down the wheel sinks, and refines.
    V.ResetCamera();
    V.Camera.Pos.z = 5000.0f;
    V.Camera.Pitch = 0.0f;
    MarkSentinel();
    EXPECT_TRUE(V.WheelMove(1.0f, false, false));
    EXPECT_NEAR(V.Camera.Pos.z, 4800.0f, 1e-3f);
    EXPECT_TRUE(Refined());
    EXPECT_FALSE(V.WheelMove(0.0f, false, false));
}

TEST_F(Navigation, MouseLook)
{
    V.MouseMove(100, 100, false);
    EXPECT_EQ(V.Camera.Pitch, 80.0f);
    V.Camera.Heading = 5.0f;
    V.MouseMove(150, 100, true);   // 50 pixels right: -10 degrees
    EXPECT_EQ(V.Camera.Heading, 355.0f);
    V.MouseMove(50, 100, true);    // 100 left: +20, above 360 wraps
    EXPECT_EQ(V.Camera.Heading, 15.0f);
    V.MouseMove(50, -900, true);   // 1000 up: pitch rises to 180 and no further
    EXPECT_EQ(V.Camera.Pitch, 180.0f);
    V.MouseMove(50, 2000, true);
    EXPECT_EQ(V.Camera.Pitch, -180.0f);
    V.MouseMove(53, 2001, true);
    EXPECT_FLOAT_EQ(V.Camera.Heading, 14.4f);
    EXPECT_EQ(V.Camera.Pitch, -180.0f);
    // Without the button only the position is tracked.
    V.MouseMove(500, 500, false);
    V.MouseMove(505, 500, true);
    EXPECT_FLOAT_EQ(V.Camera.Heading, 13.4f);
    EXPECT_EQ(V.LastMouse.X, 505);
    EXPECT_EQ(V.LastMouse.Y, 500);
    V.LevelView();
    EXPECT_EQ(V.Camera.Pitch, 90.0f);
}

TEST_F(Navigation, MouseLookLandingOnAFullTurnOrZeroStaysThere)
{
    // Only above 360 and below 0 wrap: exactly 360 and exactly 0 are kept.
    V.MouseMove(100, 100, false);
    V.Camera.Heading = 350.0f;
    V.MouseMove(50, 100, true);   // 50 pixels left: +10 degrees
    EXPECT_EQ(V.Camera.Heading, 360.0f);
    V.MouseMove(49, 100, true);
    EXPECT_NEAR(V.Camera.Heading, 0.2f, 1e-4f) << "above 360 wraps";
    V.Camera.Heading = 10.0f;
    V.MouseMove(99, 100, true);   // 50 right: -10 degrees
    EXPECT_EQ(V.Camera.Heading, 0.0f);
    V.MouseMove(100, 100, true);
    EXPECT_NEAR(V.Camera.Heading, 359.8f, 1e-4f) << "below 0 wraps";
}

TEST_F(Navigation, DetailSliderRefinesAtOnce)
{
    MarkSentinel();
    V.SetCLODDetail(255);
    EXPECT_EQ(V.CLODDetail, 1.0f);
    EXPECT_TRUE(Refined());
    V.SetCLODDetail(51);
    EXPECT_EQ(V.CLODDetail, static_cast<float>(51 / 255.0));
}

TEST(GameDir, WinePrefixAndArgument)
{
    const char* savedPrefix = std::getenv("WINEPREFIX");
    const std::string prefix = savedPrefix ? savedPrefix : "";
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";

    if (test::OnWindows) {
        // The installation's own folder, whatever a Wine prefix says.
        test::SetEnvironment("WINEPREFIX", "c:\\wine");
        EXPECT_EQ(DefaultGameDir(), "c:\\games\\isles\\");
        EXPECT_EQ(TViewer().GameDir, "c:\\games\\isles\\");
    } else {
        test::SetEnvironment("WINEPREFIX", "/opt/wine");
        EXPECT_EQ(DefaultGameDir(), "/opt/wine/drive_c/games/isles/");
        test::SetEnvironment("WINEPREFIX", "/opt/wine/");
        EXPECT_EQ(DefaultGameDir(), "/opt/wine/drive_c/games/isles/");
        test::SetEnvironment("WINEPREFIX", std::nullopt);
        test::SetEnvironment("HOME", "/home/someone");
        EXPECT_EQ(DefaultGameDir(), "/home/someone/.wine/drive_c/games/isles/");
        EXPECT_EQ(TViewer().GameDir, "/home/someone/.wine/drive_c/games/isles/");
    }

    test::SetEnvironment("WINEPREFIX", savedPrefix ? std::optional(prefix) : std::nullopt);
    test::SetEnvironment("HOME", savedHome ? std::optional(home) : std::nullopt);

    EXPECT_EQ(GameDirFromArgument("/data/isles"), "/data/isles" + test::SystemPath("/"));
    EXPECT_EQ(GameDirFromArgument("/data/isles/"), "/data/isles/");
    EXPECT_EQ(GameDirFromArgument("isles"), "isles" + test::SystemPath("/"));
}

}  // namespace
}  // namespace orv
