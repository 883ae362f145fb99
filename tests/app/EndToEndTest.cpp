// The real program under its own X server: started on the sample game it shows a frame
// rate in its caption and a picture with sky, terrain and compass; started on a
// directory without zones it shows one message box and goes on with flat terrain.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <QImage>

#include "ExternalPrograms.h"
#include "SampleGame.h"
#include "app/DesktopTestSupport.h"

namespace fs = std::filesystem;
using namespace orvtest;

namespace {

constexpr int PanelHeight = 73;
constexpr int StatusLineHeight = 22;   // the status line under the view
constexpr int CompassWidth = 48, CompassHeight = 16;

class EndToEndTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_PROGRAMS("Xvfb", "xwininfo", "import");
        work = orvtest::NewTempDir("orvandel-e2e");
        ASSERT_FALSE(work.empty());
        server = std::make_unique<TXServer>();
        ASSERT_FALSE(server->Display().empty()) << "no X server could be started";
    }
    void TearDown() override
    {
        server.reset();
        if (!work.empty() && !HasFailure())
            fs::remove_all(work);
    }

    // The view's rectangle on the screen.
    static QRect View(const TWindowInfo& w)
    {
        return QRect(w.Left, w.Top + PanelHeight, w.Width, w.Height - PanelHeight - StatusLineHeight);
    }

    std::string work;
    std::unique_ptr<TXServer> server;
};

}  // namespace

TEST(ProgramTest, HelpAndVersionPrintAndExit)
{
    const TRun help = RunProgram("'" ORVANDEL_VIEWER "' --help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("Usage: orvandel [options] [GAMEDIR]\n", 0), 0u) << help.Out;
    for (const char* option : {"--zone N", "--loc X,Y,Z,h,p", "--renderer NAME", "--version"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;
    EXPECT_EQ(help.Err, "");
    const TRun version = RunProgram("'" ORVANDEL_VIEWER "' --version");
    EXPECT_EQ(version.Status, 0);
    EXPECT_TRUE(std::regex_match(version.Out, std::regex("orvandel [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.Out;
}

TEST(ProgramTest, WrongCommandLinePrintsTheUsageToStandardErrorAndExitsWithTwo)
{
    // Refused before anything needs a display: none is named here.
    for (const char* arguments : {"--bogus", "--zone twelve", "--renderer fast", "--loc 1000", "/a /b"}) {
        SCOPED_TRACE(arguments);
        const TRun run = RunProgram(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" ORVANDEL_VIEWER "' ") +
                             arguments);
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind("orvandel: ", 0), 0u) << run.Err;
        EXPECT_NE(run.Err.find("\nUsage: orvandel [options] [GAMEDIR]\n"), std::string::npos) << run.Err;
    }
}

TEST(ProgramTest, WithoutADisplayItSaysSoInOneLineAndExitsWithOne)
{
    const std::string game = orvtest::NewTempDir("orvandel-nodisplay");
    // No display named at all, and one named that does not answer.
    for (const std::string environment :
         {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4093"}) {
        SCOPED_TRACE(environment);
        const TRun run = RunProgram(environment + " '" ORVANDEL_VIEWER "' '" + game + "'");
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
        EXPECT_NE(run.Err.find("orvandel-tool render"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
    fs::remove_all(game);
}

TEST_F(EndToEndTest, SampleGameShowsSkyTerrainAndCompass)
{
    const fs::path game = orvtest::SampleGame();
    if (game.empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    // A working directory of its own that holds checker.bmp.
    const fs::path cwd = fs::path(work) / "cwd";
    fs::create_directory(cwd);
    fs::copy_file(game / "checker.bmp", cwd / "checker.bmp");
    const fs::path messages = fs::path(work) / "messages.txt";
    const fs::path log = fs::path(work) / "log.txt";
    TChild viewer({ORVANDEL_VIEWER, game.string()},
                  {"DISPLAY=" + server->Display(), "ORVANDEL_MESSAGE_LOG=" + messages.string()}, cwd.string(),
                  log.string());
    ASSERT_TRUE(viewer.Started());
    const std::optional<TWindowInfo> window = WaitForRate(server->Display(), viewer);
    ASSERT_TRUE(window) << "no frame rate in the caption; log:\n" << ReadFile(log);
    EXPECT_EQ(window->Width, 648);
    EXPECT_EQ(window->Height, 580);
    std::this_thread::sleep_for(500ms);
    const QImage shot = Screenshot(server->Display(), fs::path(work) / "game.png");
    ASSERT_FALSE(shot.isNull());
    const QRect view = View(*window);

    // At the start the camera looks slightly down along +y: sky above, land below.
    const TStats sky = Stats(shot, QRect(view.left() + 20, view.top() + 5, view.width() - 40, 40));
    // The land beyond the slope next to the eye (which fills the bottom of the view, evenly
    // lit), in the left half where the meadows are.
    const TStats land = Stats(shot, QRect(view.left() + 40, view.top() + view.height() * 55 / 100, view.width() / 2 - 100, 40));
    const TStats compass = Stats(shot, QRect(view.left(), view.bottom() - CompassHeight + 1, CompassWidth, CompassHeight));
    EXPECT_GT(sky.B, sky.R + 20) << "the sky is blue";
    EXPECT_GT(sky.B, 100);
    EXPECT_LT(land.B, land.G) << "the land is not";
    EXPECT_GT(land.Spread, 3.0) << "the land is textured and lit, not flat";
    EXPECT_GT(std::abs(land.B - sky.B) + std::abs(land.R - sky.R), 60);
    // The compass: a dark strip with light ticks and a red north, squeezed to 48 x 16.
    EXPECT_LT(compass.Darkest, 60);
    EXPECT_GT(compass.Brightest, compass.Darkest + 50);
    EXPECT_GT(compass.MaxRed, 80);
    const TStats besideCompass =
        Stats(shot, QRect(view.left() + CompassWidth + 4, view.bottom() - CompassHeight + 1, CompassWidth, CompassHeight));
    EXPECT_LT(besideCompass.MaxRed, 40) << "the red is the compass's own";

    const std::string text = ReadFile(log);
    EXPECT_NE(text.find("GL_ARB_multitexture"), std::string::npos);
    EXPECT_NE(text.find("Loading terrain verticies..."), std::string::npos);
    EXPECT_NE(text.find("Loading checker terrain texture..."), std::string::npos);
    EXPECT_FALSE(fs::exists(messages)) << ReadFile(messages);
    EXPECT_TRUE(fs::exists(cwd / "sector.dat")) << "the water regions' file is left in the working directory";
    EXPECT_TRUE(viewer.Running());
}

TEST_F(EndToEndTest, DirectoryWithoutZonesShowsOneBoxAndFlatTerrain)
{
    const fs::path empty = fs::path(work) / "nozones";
    fs::create_directory(empty);
    const fs::path messages = fs::path(work) / "messages.txt";
    const fs::path log = fs::path(work) / "log.txt";
    TChild viewer({ORVANDEL_VIEWER, empty.string()},
                  {"DISPLAY=" + server->Display(), "ORVANDEL_MESSAGE_LOG=" + messages.string()}, empty.string(),
                  log.string());
    ASSERT_TRUE(viewer.Started());
    // Without a zone no frames run: the caption keeps the program's name.
    const std::optional<TWindowInfo> window = WaitForRate(server->Display(), viewer, false);
    ASSERT_TRUE(window) << "the window did not go on; log:\n" << ReadFile(log);

    const std::string boxes = WaitForMessages(messages);
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), '\n'), 1) << boxes;
    // The box says why and offers another folder (the log writes its line break as \r).
    EXPECT_EQ(boxes, "Cannot open file " + (empty / "zones" / "zone111" / "dat111.mpk").string() +
                         "\\rThere is no zones folder in " + empty.string() +
                         "/, so it is no game folder: choose the folder that holds zones and data. [Open game folder...]\n");
    // The log runs up to the failure: the extension string, and nothing of the zone.
    const std::string text = ReadFile(log);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(text.rfind("GL_", 0), 0u) << text;

    // No empty scene: a black view with what to do written in its middle (once shown).
    const QRect view = View(*window);
    const QRect middleArea(view.left() + 20, view.center().y() - 30, view.width() - 40, 60);
    QImage shot;
    const auto end = std::chrono::steady_clock::now() + StartTimeout;
    do {
        shot = Screenshot(server->Display(), fs::path(work) / "nozones.png");
        ASSERT_FALSE(shot.isNull());
    } while (Stats(shot, middleArea).Brightest <= 150.0 && std::chrono::steady_clock::now() < end);
    EXPECT_GT(Stats(shot, middleArea).Brightest, 150.0) << "the text is there";
    const TStats below = Stats(shot, QRect(view.left() + 60, view.bottom() - 150, view.width() - 120, 120));
    EXPECT_LT(below.Brightest, 10.0) << "nothing is drawn";
    EXPECT_TRUE(viewer.Running());
}

TEST_F(EndToEndTest, WithoutOpenGLTheWindowSaysSoAndGoesOn)
{
    const fs::path game = orvtest::SampleGame();
    if (game.empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    const fs::path messages = fs::path(work) / "messages.txt";
    const fs::path log = fs::path(work) / "log.txt";
    // Qt without its OpenGL integration for X: no context can be made.
    TChild viewer({ORVANDEL_VIEWER, game.string()},
                  {"DISPLAY=" + server->Display(), "ORVANDEL_MESSAGE_LOG=" + messages.string(),
                   "QT_XCB_GL_INTEGRATION=none"},
                  work, log.string());
    ASSERT_TRUE(viewer.Started());
    const std::optional<TWindowInfo> window = WaitForRate(server->Display(), viewer, false);
    ASSERT_TRUE(window) << "the window did not go on";
    EXPECT_EQ(WaitForMessages(messages), "Unable to create an OpenGL rendering context\n");
    // Nothing that needs OpenGL ran: no extension string, no zone.
    EXPECT_EQ(ReadFile(log), "");
    const QImage shot = Screenshot(server->Display(), fs::path(work) / "noopengl.png");
    ASSERT_FALSE(shot.isNull());
    // Black but for what to do, written in its middle.
    const QRect area = View(*window);
    const TStats view = Stats(shot, QRect(area.left() + 10, area.bottom() - 120, area.width() - 20, 110));
    EXPECT_LT(view.Brightest, 10.0) << "the view stays black";
    EXPECT_TRUE(viewer.Running());
}

TEST_F(EndToEndTest, WithoutAnArgumentOnAnEmptyHomeTheBoxOffersTheFolderChoice)
{
    // A new user: nothing remembered, no installation where it is looked for by default.
    const fs::path home = fs::path(work) / "home";
    fs::create_directory(home);
    const fs::path messages = fs::path(work) / "messages.txt";
    const fs::path log = fs::path(work) / "log.txt";
    TChild viewer({ORVANDEL_VIEWER},
                  {"DISPLAY=" + server->Display(), "ORVANDEL_MESSAGE_LOG=" + messages.string(), "HOME=" + home.string(),
                   "WINEPREFIX=", "XDG_CONFIG_HOME="},
                  home.string(), log.string());
    ASSERT_TRUE(viewer.Started());
    ASSERT_TRUE(WaitForRate(server->Display(), viewer, false)) << "the window did not go on; log:\n" << ReadFile(log);
    const std::string installation = (home / ".wine" / "drive_c" / "games" / "isles").string() + "/";
    EXPECT_EQ(WaitForMessages(messages), "Cannot open file " + installation + "zones/zone111/dat111.mpk\\rThere is no folder " +
                                      installation + ". [Open game folder...]\n");
    // Nothing was written to the home folder: nothing is remembered without a choice.
    EXPECT_FALSE(fs::exists(home / ".config" / "Orvandel"));
    EXPECT_TRUE(viewer.Running());
}

namespace {

// Starts the viewer on the sample game and returns its window once it shows a rate.
std::optional<TWindowInfo> StartOnSampleGame(const std::string& display, const std::string& work,
                                             const std::vector<std::string>& environment)
{
    std::vector<std::string> env{"DISPLAY=" + display, "ORVANDEL_MESSAGE_LOG=" + work + "/messages.txt"};
    env.insert(env.end(), environment.begin(), environment.end());
    TChild viewer({ORVANDEL_VIEWER, orvtest::SampleGame()}, env, orvtest::SampleGame(), work + "/log.txt");
    if (!viewer.Started())
        return std::nullopt;
    std::optional<TWindowInfo> window = WaitForRate(display, viewer);
    // The window has settled at its place.
    std::this_thread::sleep_for(300ms);
    if (window)
        window = RatedWindow(display);
    return window;
}

}  // namespace

TEST_F(EndToEndTest, OnASmallScreenTheWindowIsCentredWithinIt)
{
    if (orvtest::SampleGame().empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    TXServer small("800x600x24");
    ASSERT_FALSE(small.Display().empty());
    const std::optional<TWindowInfo> window = StartOnSampleGame(small.Display(), work, {});
    ASSERT_TRUE(window);
    // 648 x 580 at (316, 152) would end at x 964: centred instead.
    EXPECT_EQ(window->Width, 648);
    EXPECT_EQ(window->Height, 580);
    EXPECT_EQ(window->Left, 76);
    EXPECT_EQ(window->Top, 10);
}

TEST_F(EndToEndTest, AtOneAndAHalfTheWindowStaysOnTheScreen)
{
    if (orvtest::SampleGame().empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    const std::optional<TWindowInfo> window = StartOnSampleGame(server->Display(), work, {"QT_SCALE_FACTOR=1.5"});
    ASSERT_TRUE(window);
    // 648 x 580 at 150 % in device pixels, centred on the 1280 x 1024 screen.
    EXPECT_EQ(window->Width, 972);
    EXPECT_EQ(window->Height, 870);
    EXPECT_GE(window->Left, 0);
    EXPECT_GE(window->Top, 0);
    EXPECT_LE(window->Left + window->Width, 1280);
    EXPECT_LE(window->Top + window->Height, 1024);
    EXPECT_NEAR(window->Left, (1280 - 972) / 2, 2);
    EXPECT_NEAR(window->Top, (1024 - 870) / 2, 2);
}
