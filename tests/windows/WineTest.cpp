// The Windows programs under Wine, in a fresh prefix and on a private X server: the
// installer installs silently where /D= says, with its Start-menu entry and its entry
// among the installed programs; what it installed runs; its uninstaller takes all of it
// away again. The viewer flies with the arrow keys, answers through its input boxes,
// tells a missing zone in a box, draws with every renderer and quits with status 0.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QImage>

#include "ExternalPrograms.h"
#include "app/SampleGame.h"
#include "app/DesktopTestSupport.h"

namespace fs = std::filesystem;
using namespace orvtest;

namespace {

constexpr const char* UninstallKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvandel";
// Where the tests install: a folder with a space in its name.
constexpr const char* InstallDir = "C:\\Orvandel Test";
constexpr const char* InstallFolder = "drive_c/Orvandel Test";
constexpr const char* StartMenuEntry = "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvandel.lnk";

// The Windows build folder that scripts/test names; empty when none is named.
fs::path WindowsBuild()
{
    const char* dir = std::getenv("ORVANDEL_WINDOWS_BUILD");
    return dir && *dir ? fs::path(dir) : fs::path();
}

// A file of the build matching a pattern of the shell (the packages' names hold the version).
fs::path BuildFile(const std::string& pattern)
{
    const std::string found = Output("ls -d '" + WindowsBuild().string() + "'/" + pattern + " 2>/dev/null | head -1");
    return found.empty() ? fs::path() : fs::path(found.substr(0, found.size() - 1));
}

// A path of this machine as the Windows programs see it: Wine's drive Z: is the root.
std::string WindowsPath(const fs::path& path) { return "Z:" + path.string(); }

std::string Quote(const std::string& text) { return "'" + text + "'"; }

TRun Wine(const std::string& arguments) { return RunProgram("wine " + arguments); }

// Waits until the condition holds, at most the start timeout.
template <typename F>
bool WaitFor(F&& condition)
{
    for (const auto until = std::chrono::steady_clock::now() + StartTimeout; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(200ms))
        if (condition())
            return true;
    return condition();
}

// The first shown window whose caption matches the regular expression (xdotool's), or
// empty. Wine keeps a closed box's X window for a while, unmapped.
std::string FindWindow(const std::string& caption)
{
    std::string id = Output("xdotool search --onlyvisible --name " + Quote(caption) + " 2>/dev/null | head -1");
    return id.empty() ? id : id.substr(0, id.size() - 1);
}

// Keys for the window whose caption matches: it gets the focus first, since the viewer
// reads the keyboard only while it is active. args: xdotool's key commands.
void Keys(const std::string& caption, const std::string& args)
{
    const std::string id = FindWindow(caption);
    ASSERT_FALSE(id.empty()) << "no window " << caption;
    Output("xdotool windowfocus " + id + " 2>/dev/null");
    std::this_thread::sleep_for(300ms);
    Output("xdotool " + args);
}

// Answers the input box of that caption: its text replaced, then Return.
void Answer(const std::string& caption, const std::string& text)
{
    ASSERT_TRUE(WaitFor([&] { return !FindWindow("^" + caption + "$").empty(); })) << "no box " << caption;
    Keys("^" + caption + "$", "key Home shift+End type " + Quote(text));
    Output("xdotool key Return");
    ASSERT_TRUE(WaitFor([&] { return FindWindow("^" + caption + "$").empty(); })) << "the box " << caption << " stays";
}

// The mean difference of two pictures' grey levels.
double Difference(const QImage& a, const QImage& b)
{
    const QRect rect = a.rect().intersected(b.rect());
    double sum = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (rect.width() * rect.height());
}

class WineTest : public testing::Test {
protected:
    // One prefix, X server and wine server for the whole suite: making a prefix takes
    // half a minute.
    static void SetUpTestSuite()
    {
        if (WindowsBuild().empty() || !MissingPrograms({"wine", "wineserver", "wineboot", "Xvfb", "xwininfo"}).empty())
            return;
        // A fresh prefix in the build folder for every run; kept with the screenshots after a failure.
        fs::create_directories(WindowsBuild() / "wine-tests");
        std::string pattern = (WindowsBuild() / "wine-tests" / "run-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        work = pattern;
        server = std::make_unique<TXServer>();
        ::setenv("WINEPREFIX", (fs::path(work) / "wine").c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        // No Mono or Gecko installer; and no menu entries of this machine's desktop for the
        // Start-menu entries made inside the prefix.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
        // Wine's own folders of the desktop inside the work folder too.
        ::setenv("XDG_DATA_HOME", (fs::path(work) / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (fs::path(work) / "config").c_str(), 1);
        ::setenv("DISPLAY", server->Display().c_str(), 1);
        std::system("wineserver -p >/dev/null 2>&1 </dev/null");
        prefixMade = RunProgram("wineboot -i").Status == 0;
    }
    static void TearDownTestSuite()
    {
        if (work.empty())
            return;
        std::system("wineserver -k >/dev/null 2>&1");
        server.reset();
        if (testing::UnitTest::GetInstance()->failed_test_count() == 0)
            fs::remove_all(work);
    }
    void SetUp() override
    {
        if (WindowsBuild().empty())
            GTEST_SKIP() << "ORVANDEL_WINDOWS_BUILD names no Windows build (scripts/test names it)";
        // Asked for by naming the build: a missing program fails them, here or not in CI.
        const std::string missing = MissingPrograms({"wine", "wineserver", "wineboot", "Xvfb", "xwininfo", "xdotool", "zip"});
        ASSERT_EQ(missing, "") << "missing programs (scripts/setup installs them)";
        ASSERT_TRUE(server && !server->Display().empty()) << "no work folder or X server";
        ASSERT_TRUE(prefixMade) << "wineboot could not make the prefix";
        ASSERT_FALSE(SampleGame().empty());
    }

    static fs::path Prefix() { return fs::path(work) / "wine"; }

    // The viewer of that Windows path started on the sample game, once its caption shows
    // a frame rate; its boxes are written to messages.txt, its log to log.txt of the work folder.
    std::unique_ptr<TChild> StartViewer(const std::string& exe, std::optional<TWindowInfo>& window)
    {
        fs::remove(fs::path(work) / "messages.txt");
        auto viewer = std::make_unique<TChild>(
            std::vector<std::string>{"wine", exe, WindowsPath(SampleGame())},
            std::vector<std::string>{"ORVANDEL_MESSAGE_LOG=" + WindowsPath(fs::path(work) / "messages.txt")}, work,
            work + "/log.txt");
        if (viewer->Started())
            window = WaitForRate(server->Display(), *viewer);
        return viewer;
    }

    // The view as F12 saves it, once it shows a textured, lit picture. Wine on Xvfb shows
    // the OpenGL view black on the screen, so the picture is read back by the viewer itself:
    // with the message log set it saves without asking, under a new name in its working folder.
    QImage ExpectDrawn(const std::string& name)
    {
        const auto saved = [] {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(work))
                if (entry.path().filename().string().rfind("orvandel-", 0) == 0 && entry.path().extension() == ".png")
                    files.push_back(entry.path());
            return files;
        };
        for (const fs::path& old : saved())
            fs::remove(old);
        Keys("^Orvandel -- ", "key F12");
        QImage view;
        WaitFor([&] {
            const std::vector<fs::path> files = saved();
            return files.size() == 1 && !(view = QImage(QString::fromStdString(files[0].string()))).isNull();
        });
        EXPECT_FALSE(view.isNull()) << name << ": F12 saved no picture";
        if (view.isNull())
            return view;
        view.save(QString::fromStdString(work + "/" + name + ".png"));
        const TStats stats = Stats(view, view.rect());
        EXPECT_GT(stats.Spread, 3.0) << name << ": the view is drawn, not flat";
        EXPECT_GT(stats.Brightest, 40.0) << name << ": the view is not black";
        return view;
    }

    // Ctrl+Q, and the process ends with status 0.
    void ExpectQuits(TChild& viewer)
    {
        Keys("^Orvandel -- ", "key ctrl+q");
        EXPECT_TRUE(WaitFor([&] { return !viewer.Running(); })) << "the viewer does not quit";
        EXPECT_EQ(viewer.Status(), std::optional<int>(0));
    }

    static inline std::string work;
    static inline std::unique_ptr<TXServer> server;
    static inline bool prefixMade = false;
};

}  // namespace

TEST_F(WineTest, InstallerInstallsSilentlyAndItsUninstallerRemovesEverything)
{
    const fs::path setup = BuildFile("orvandel-*-setup.exe");
    const fs::path staged = BuildFile("package/orvandel-*-windows-x64");
    ASSERT_FALSE(setup.empty()) << "no installer: scripts/package-windows makes it";
    ASSERT_FALSE(staged.empty());
    std::set<std::string> packed;
    for (const auto& entry : fs::directory_iterator(staged))
        packed.insert(entry.path().filename().string());
    // The zip holds them in a folder of its own.
    std::set<std::string> zipped;
    std::istringstream listing(Output("zip -sf '" + BuildFile("orvandel-*-windows-x64.zip").string() + "'"));
    const std::string folder = "  " + staged.filename().string() + "/";
    for (std::string line; std::getline(listing, line);)
        if (line.rfind(folder, 0) == 0 && line.size() > folder.size())
            zipped.insert(line.substr(folder.size()));
    EXPECT_EQ(zipped, packed);

    // /D= takes the rest of the command line as it stands, unquoted: Wine joins its
    // arguments with spaces and quotes only those that hold one, so the folder is given as two.
    const TRun install = Wine(Quote(setup.string()) + " /S '/D=C:\\Orvandel' Test");
    ASSERT_EQ(install.Status, 0) << install.Err;
    // Every packed file lands in the folder /D= named, and the uninstaller beside them.
    const fs::path target = Prefix() / InstallFolder;
    std::set<std::string> installed, expected = packed;
    expected.insert("uninstall.exe");
    for (const auto& entry : fs::directory_iterator(target))
        installed.insert(entry.path().filename().string());
    EXPECT_EQ(installed, expected);
    EXPECT_TRUE(fs::exists(Prefix() / StartMenuEntry));
    const TRun entry = Wine(std::string("reg query '") + UninstallKey + "' /v QuietUninstallString");
    EXPECT_NE(entry.Out.find(std::string(InstallDir) + "\\uninstall.exe\" /S"), std::string::npos) << entry.Out;

    // The programs run from there.
    const TRun tool = Wine(Quote(std::string(InstallDir) + "\\orvandel-tool.exe") + " --version");
    EXPECT_EQ(tool.Status, 0);
    EXPECT_EQ(tool.Out.rfind("orvandel-tool ", 0), 0u) << tool.Out;
    EXPECT_TRUE(packed.count("orvandel.exe")) << "the packages hold no viewer";
    if (packed.count("orvandel.exe")) {
        std::optional<TWindowInfo> window;
        const std::unique_ptr<TChild> viewer = StartViewer(std::string(InstallDir) + "\\orvandel.exe", window);
        ASSERT_TRUE(window) << "the installed viewer shows no frame rate; log:\n" << ReadFile(work + "/log.txt");
        ExpectDrawn("installed");
        ExpectQuits(*viewer);
    }

    // The uninstaller runs a copy of itself from the temporary folder and returns at once.
    const TRun uninstall = Wine(Quote(std::string(InstallDir) + "\\uninstall.exe") + " /S");
    EXPECT_EQ(uninstall.Status, 0) << uninstall.Err;
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(target); })) << "the folder stays";
    EXPECT_FALSE(fs::exists(Prefix() / StartMenuEntry));
    EXPECT_NE(Wine(std::string("reg query '") + UninstallKey + "'").Status, 0) << "the entry among the programs stays";
}

TEST_F(WineTest, ViewerFliesAnswersItsBoxesDrawsEveryRendererAndQuits)
{
    fs::path exe;
    for (const char* place : {"src/win/orvandel.exe", "bin/orvandel.exe"})
        if (fs::exists(WindowsBuild() / place))
            exe = WindowsBuild() / place;
    ASSERT_FALSE(exe.empty()) << "the Windows build has no orvandel.exe";
    std::optional<TWindowInfo> window;
    const std::unique_ptr<TChild> viewer = StartViewer(WindowsPath(exe), window);
    ASSERT_TRUE(window) << "no frame rate in the caption; log:\n" << ReadFile(work + "/log.txt");
    const QImage start = ExpectDrawn("start");

    // Forward for a second and a half: the land below moves.
    Keys("^Orvandel -- ", "keydown Up sleep 1.5 keyup Up sleep 0.5");
    const QImage flown = ExpectDrawn("flown");
    ASSERT_FALSE(start.isNull() || flown.isNull());
    EXPECT_GT(Difference(start, flown), 3.0) << "the arrow key did not fly";

    // Go to loc takes the place typed into its box, without a complaint.
    Keys("^Orvandel -- ", "key ctrl+g");
    Answer("Go to locaction", "1000,2000,3000,90,60");
    std::this_thread::sleep_for(1s);
    const QImage moved = ExpectDrawn("moved");
    ASSERT_FALSE(moved.isNull());
    EXPECT_GT(Difference(flown, moved), 3.0) << "Go to loc did not move";
    EXPECT_FALSE(fs::exists(fs::path(work) / "messages.txt")) << ReadFile(work + "/messages.txt");

    for (const char* renderer : {"1", "2", "3", "4"}) {
        SCOPED_TRACE(renderer);
        Keys("^Orvandel -- ", std::string("key ") + renderer);
        std::this_thread::sleep_for(1s);
        ExpectDrawn(std::string("renderer") + renderer);
        EXPECT_TRUE(RatedWindow(server->Display())) << "no frames run";
    }

    // A zone the game does not have: one box, which names the ones it has.
    Keys("^Orvandel -- ", "key ctrl+z");
    Answer("Change zone", "999");
    const std::string boxes = WaitForMessages(fs::path(work) / "messages.txt");
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), '\n'), 1) << boxes;
    EXPECT_NE(boxes.find("dat999.mpk\\rThe zones of this game folder: 5, 111, 112."), std::string::npos) << boxes;
    EXPECT_TRUE(viewer->Running());

    ExpectQuits(*viewer);
}
