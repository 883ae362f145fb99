// The real program under its own X server: started on the sample game it shows a frame
// rate in its caption and a picture with sky, terrain and compass; started on a
// directory without zones it shows one message box and goes on with flat terrain.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QColor>
#include <QImage>

#include "ExternalPrograms.h"
#include "SampleGame.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr int PanelHeight = 73;
constexpr int StatusLineHeight = 22;   // the status line under the view
constexpr int CompassWidth = 48, CompassHeight = 16;
constexpr auto StartTimeout = 90s;

// A child process, killed and reaped when it goes.
class TChild {
public:
    // argv[0] is looked up in PATH. stdoutPath: empty keeps the test's own.
    // extraEnv: NAME=value entries that replace the test's own.
    TChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
           const std::string& cwd = {}, const std::string& stdoutPath = {}, int closeInChild = -1)
    {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& extra : extraEnv)
                replaced |= entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
            if (!replaced)
                envStrings.push_back(entry);
        }
        envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> env;
        for (std::string& e : envStrings)
            env.push_back(e.data());
        env.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (closeInChild >= 0)
            posix_spawn_file_actions_addclose(&actions, closeInChild);
        if (!cwd.empty())
            posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        if (!stdoutPath.empty())
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawnp(&m_Pid, args[0], &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            m_Pid = -1;
    }
    ~TChild() { Stop(); }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    bool Started() const { return m_Pid > 0; }
    bool Running()
    {
        if (m_Pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
            m_Pid = -1;
            return false;
        }
        return true;
    }
    void Stop()
    {
        if (m_Pid <= 0)
            return;
        ::kill(m_Pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && ::waitpid(m_Pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(100ms);
        if (::waitpid(m_Pid, &status, WNOHANG) == 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, &status, 0);
        }
        m_Pid = -1;
    }

private:
    pid_t m_Pid = -1;
};

std::string Output(const std::string& command)
{
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The message log once a box has been told: the window can show before the zone has failed to load.
std::string WaitForMessages(const fs::path& path)
{
    std::string text;
    for (const auto until = std::chrono::steady_clock::now() + StartTimeout;
         (text = ReadFile(path)).empty() && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(20ms);
    return text;
}

// A private X server, so that no other window lies on the pictures.
class TXServer {
public:
    explicit TXServer(const std::string& screen = "1280x1024x24")
    {
        // Two servers starting at the same moment can race for a number; try again then.
        for (int attempt = 0; attempt < 3 && m_Display.empty(); ++attempt)
            Start(screen);
    }
    const std::string& Display() const { return m_Display; }

private:
    void Start(const std::string& screen)
    {
        // Xvfb picks a free display itself and writes its number to the pipe. Without
        // -noreset it resets when its last client leaves (the readiness probe below), and a
        // program connecting during the reset is turned away.
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_Server = std::make_unique<TChild>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]),
                                                                     "-screen", "0", screen, "-nolisten",
                                                                     "tcp", "-noreset"},
                                            std::vector<std::string>{}, std::string(), std::string(), fds[0]);
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        const std::string display = ":" + number;
        // Ready when it answers.
        for (int i = 0; i < 50 && !number.empty() && m_Server->Running(); ++i) {
            if (Output("xwininfo -display " + display + " -root 2>/dev/null").find("Width") != std::string::npos) {
                m_Display = display;
                return;
            }
            std::this_thread::sleep_for(100ms);
        }
        m_Server.reset();
    }

    std::string m_Display;
    std::unique_ptr<TChild> m_Server;
};

struct TWindowInfo {
    std::string Title;
    int Width = 0, Height = 0, Left = 0, Top = 0;
};

// The viewer's window when its caption shows a frame rate.
// The window with a frame rate in its caption; with rated false, the window still
// without one (no zone: no frames).
std::optional<TWindowInfo> RatedWindow(const std::string& display, bool rated = true)
{
    static const std::regex ratedLine("\"(Orvandel -- [0-9]+ fps \\([0-9]+ terrain tris\\))\".* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\\+(-?[0-9]+)\\+(-?[0-9]+)");
    static const std::regex plainLine("\"(Orvandel)\": \\(\"orvandel\".* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\\+(-?[0-9]+)\\+(-?[0-9]+)");
    const std::regex& line = rated ? ratedLine : plainLine;
    const std::string tree = Output("xwininfo -display " + display + " -root -tree 2>/dev/null");
    std::smatch m;
    if (!std::regex_search(tree, m, line))
        return std::nullopt;
    return TWindowInfo{m[1], std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])};
}

std::optional<TWindowInfo> WaitForRate(const std::string& display, TChild& viewer, bool rated = true)
{
    const auto end = std::chrono::steady_clock::now() + StartTimeout;
    while (std::chrono::steady_clock::now() < end && viewer.Running()) {
        if (auto window = RatedWindow(display, rated))
            return window;
        std::this_thread::sleep_for(200ms);
    }
    return std::nullopt;
}

QImage Screenshot(const std::string& display, const fs::path& file)
{
    Output("import -display " + display + " -window root 'png:" + file.string() + "' 2>/dev/null");
    return QImage(QString::fromStdString(file.string()));
}

// Mean and spread of a rectangle's colours.
struct TStats {
    double R = 0, G = 0, B = 0;
    double Spread = 0;     // standard deviation of the grey level
    double MaxRed = 0;     // largest r - max(g, b)
    double Darkest = 255, Brightest = 0;
};

TStats Stats(const QImage& image, QRect rect)
{
    TStats s;
    double sumGrey = 0, sumGrey2 = 0;
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double grey = (c.red() + c.green() + c.blue()) / 3.0;
            s.R += c.red();
            s.G += c.green();
            s.B += c.blue();
            sumGrey += grey;
            sumGrey2 += grey * grey;
            s.MaxRed = std::max(s.MaxRed, double(c.red() - std::max(c.green(), c.blue())));
            s.Darkest = std::min(s.Darkest, grey);
            s.Brightest = std::max(s.Brightest, grey);
            ++n;
        }
    s.R /= n;
    s.G /= n;
    s.B /= n;
    s.Spread = std::sqrt(std::max(0.0, sumGrey2 / n - (sumGrey / n) * (sumGrey / n)));
    return s;
}

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

// The program's standard output, standard error and exit status for a shell command line.
struct TRun {
    std::string Out, Err;
    int Status = -1;
};

TRun RunProgram(const std::string& commandLine)
{
    const std::string dir = orvtest::NewTempDir("orvandel-run");
    const std::string out = dir + "/out", err = dir + "/err";
    const int raw = std::system((commandLine + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
    TRun run{ReadFile(out), ReadFile(err), WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw)};
    fs::remove_all(dir);
    return run;
}

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
