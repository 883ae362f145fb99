// orvandel-tool render: one picture as the window draws it, and the flight report.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <regex>
#include <string>

#include "gl/GLTestSupport.h"

namespace orvtest {
namespace {

using namespace orv;

std::string RunRender(const std::string& arguments, int* status)
{
    const std::string command = BinaryDir() + "/tools/orvandel-tool render " + arguments + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    *status = pclose(pipe);
    return output;
}

class RenderCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = FreshDirectory("render-command");
        TTestGame game;
        game.Compass = SolidImage(64, 16, {255, 0, 0, 255});
        game.Write(s_Dir);
    }
    static std::string s_Dir;
};
std::string RenderCommandTest::s_Dir;

TEST_F(RenderCommandTest, DrawsWhatTheViewerDraws)
{
    int status = -1;
    RunRender(s_Dir + " 111 --size 200x100 --renderer v1 --no-lighting -o picture.png", &status);
    ASSERT_EQ(status, 0);
    const TRGBAImage picture = ReadPNG("picture.png");
    ASSERT_EQ(picture.Width, 200);
    ASSERT_EQ(picture.Height, 100);

    TViewerRig rig(s_Dir, 200, 100);
    rig.Viewer.SetRenderer(rvV1);
    rig.Viewer.ToggleLighting();
    EXPECT_LT(ComparePictures(rig.Draw(), picture, 2).Share, 0.001);
    EXPECT_TRUE(PixelNear(picture, 10, 95, {255, 0, 0}, 3));   // the compass strip
}

TEST_F(RenderCommandTest, FlightReportsOneLineOfJSON)
{
    int status = -1;
    const std::string out = RunRender(s_Dir + " 111 --size 64x48 --renderer fan --frames 3", &status);
    ASSERT_EQ(status, 0);
    const std::regex line(R"(\{"renderer": "fan", "frames": 3, "fps": [0-9.]+, "ms_per_frame_median": [0-9.]+, )"
                          R"("triangles_per_frame": ([0-9]+)\}\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(out, match, line)) << out;
    const int triangles = std::stoi(match[1]);
    EXPECT_GE(triangles, 64 * 512);
    EXPECT_LE(triangles, 64 * 2048);
}

TEST_F(RenderCommandTest, RefusesBadArguments)
{
    int status = 0;
    RunRender(s_Dir + " 111 --renderer v2 -o x.png", &status);
    EXPECT_NE(status, 0);
    RunRender(s_Dir + " 111 --size 0x10 -o x.png", &status);
    EXPECT_NE(status, 0);
    RunRender(s_Dir + " 111", &status);
    EXPECT_NE(status, 0);
    RunRender(s_Dir + " 999 -o x.png", &status);   // no such zone
    EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace orvtest
