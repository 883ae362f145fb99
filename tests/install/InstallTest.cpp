// `cmake --install` into a staging prefix and the Debian package made by CPack: exactly
// the files a user needs land where the desktop looks for them, the validators accept the
// desktop entry and the AppStream metadata, the manual pages read cleanly and cover
// every option of the viewer's --help, and the installed programs run without anything of
// the build tree. The package's dependencies are computed from the programs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ExternalPrograms.h"
#include "SanitizedBuild.h"
#include "tools/ToolTestSupport.h"

namespace orv::installtest {
namespace {

using tooltest::Has;
using tooltest::Lines;
using tooltest::ReadBytes;
using tooltest::ReadText;
using tooltest::RunProgram;
using tooltest::ScratchDir;
using tooltest::TRunResult;
namespace fs = std::filesystem;

const std::string AppId = "org.orvandel.Orvandel";
const std::vector<int> IconSizes = {16, 22, 24, 32, 48, 64, 128, 256, 512};

// One staging prefix for the whole suite: installing takes a moment.
class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Scratch = new ScratchDir;
        s_Prefix = s_Scratch->Path() / "prefix";
        // Stripped, as the package is: debug information names the build tree, which the
        // programs never read.
        s_Install = RunProgram(ORVANDEL_CMAKE_COMMAND,
                               {"--install", ORVANDEL_BINARY_DIR, "--prefix", s_Prefix.string(), "--strip"});
    }
    static void TearDownTestSuite()
    {
        delete s_Scratch;
        s_Scratch = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_Install.ExitCode, 0) << s_Install.Out << s_Install.Err; }

    static std::string Installed(const std::string& relative) { return (s_Prefix / relative).string(); }

    // A manual page as plain text, wide enough that no line is broken.
    static std::string ManualText(const std::string& page)
    {
        const TRunResult text =
            RunProgram("/bin/sh", {"-c", "gzip -dc '" + Installed("share/man/man1/" + page + ".gz") +
                                             "' | groff -man -Tascii -P-cbou -rLL=250n"});
        EXPECT_EQ(text.ExitCode, 0) << text.Err;
        return text.Out;
    }

    static ScratchDir* s_Scratch;
    static fs::path s_Prefix;
    static TRunResult s_Install;
};
ScratchDir* InstallTest::s_Scratch = nullptr;
fs::path InstallTest::s_Prefix;
TRunResult InstallTest::s_Install;

TEST_F(InstallTest, PutsExactlyTheUsersFilesWhereTheDesktopLooks)
{
    std::set<std::string> expected = {
        "bin/orvandel",
        "bin/orvandel-tool",
        "bin/orvandel-mkgame",
        "share/applications/" + AppId + ".desktop",
        "share/metainfo/" + AppId + ".metainfo.xml",
        "share/man/man1/orvandel.1.gz",
        "share/man/man1/orvandel-tool.1.gz",
        "share/bash-completion/completions/orvandel-tool",
    };
    for (int size : IconSizes)
        expected.insert("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/" +
                        AppId + ".png");
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(s_Prefix))
        if (!entry.is_directory())
            found.insert(fs::relative(entry.path(), s_Prefix).string());
    EXPECT_EQ(found, expected);
    for (const std::string program : {"orvandel", "orvandel-tool", "orvandel-mkgame"}) {
        const auto permissions = fs::status(Installed("bin/" + program)).permissions();
        EXPECT_NE(permissions & fs::perms::others_exec, fs::perms::none) << program;
    }
}

TEST_F(InstallTest, IconsAreSquarePNGsOfTheirSize)
{
    for (int size : IconSizes) {
        const std::string side = std::to_string(size);
        const std::vector<uint8_t> png =
            ReadBytes(Installed("share/icons/hicolor/" + side + "x" + side + "/apps/" + AppId + ".png"));
        ASSERT_GT(png.size(), 26u) << side;
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
        auto word = [&](size_t at) { return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
        EXPECT_EQ(word(16), size);
        EXPECT_EQ(word(20), size);
        EXPECT_EQ(png[25], 6) << "RGBA, for the rounded corners";
    }
}

TEST_F(InstallTest, ValidatorsAcceptTheDesktopEntryAndTheMetadata)
{
    REQUIRE_PROGRAMS("/usr/bin/desktop-file-validate", "/usr/bin/appstreamcli");
    const std::string desktop = Installed("share/applications/" + AppId + ".desktop");
    const TRunResult entry = RunProgram("/usr/bin/desktop-file-validate", {desktop});
    EXPECT_EQ(entry.ExitCode, 0) << entry.Out << entry.Err;
    EXPECT_FALSE(Has(entry.Out, "error")) << entry.Out;
    EXPECT_FALSE(Has(entry.Out, "warning")) << entry.Out;
    const TRunResult metadata = RunProgram(
        "/usr/bin/appstreamcli", {"validate", "--no-net", Installed("share/metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_EQ(metadata.ExitCode, 0) << metadata.Out << metadata.Err;

    // The entry starts the installed viewer with no argument (the remembered or chosen
    // folder) and shows the installed icon; the metadata names this version.
    const std::string text = ReadText(desktop);
    EXPECT_TRUE(Has(text, "\nExec=orvandel\n")) << text;
    EXPECT_TRUE(Has(text, "\nIcon=" + AppId + "\n")) << text;
    EXPECT_TRUE(Has(text, "\nCategories=Game;Viewer;\n")) << text;
    EXPECT_TRUE(Has(ReadText(Installed("share/metainfo/" + AppId + ".metainfo.xml")),
                    "<release version=\"" ORVANDEL_VERSION "\""));
}

TEST_F(InstallTest, ManualPagesReadCleanlyAndCoverTheViewersOptions)
{
    REQUIRE_PROGRAMS("/usr/bin/groff");
    for (const std::string page : {"orvandel.1", "orvandel-tool.1"}) {
        const TRunResult check = RunProgram(
            "/bin/sh", {"-c", "gzip -dc '" + Installed("share/man/man1/" + page + ".gz") +
                                  "' | groff -man -Tutf8 -ww -z"});
        EXPECT_EQ(check.ExitCode, 0) << page;
        EXPECT_EQ(check.Err, "") << page;
    }
    // Every option the viewer's --help lists: the words that begin its option lines.
    const TRunResult help = RunProgram(Installed("bin/orvandel"), {"--help"});
    ASSERT_EQ(help.ExitCode, 0) << help.Err;
    const std::string manual = ManualText("orvandel.1");
    EXPECT_TRUE(Has(manual, "ORVANDEL(1)"));
    int options = 0;
    for (const std::string& line : Lines(help.Out)) {
        if (!line.starts_with("  -"))
            continue;
        std::istringstream words(line);
        for (std::string word; words >> word && word.starts_with("-");) {
            word.erase(std::remove(word.begin(), word.end(), ','), word.end());
            ++options;
            EXPECT_TRUE(Has(manual, word)) << word;
        }
    }
    EXPECT_GE(options, 6);
    for (const std::string page : {"orvandel.1", "orvandel-tool.1"})
        EXPECT_TRUE(Has(ManualText(page), "Orvandel " ORVANDEL_VERSION)) << page << ": the version it documents";
}

TEST_F(InstallTest, InstalledProgramsNeedNothingOfTheBuildTree)
{
    // No run path into the build tree, and no path of it or of the sources in the programs.
    for (const std::string program : {"orvandel", "orvandel-tool", "orvandel-mkgame"}) {
        SCOPED_TRACE(program);
        const TRunResult dynamic = RunProgram("/usr/bin/readelf", {"-d", Installed("bin/" + program)});
        ASSERT_EQ(dynamic.ExitCode, 0) << dynamic.Err;
        EXPECT_FALSE(Has(dynamic.Out, "RPATH")) << dynamic.Out;
        EXPECT_FALSE(Has(dynamic.Out, "RUNPATH")) << dynamic.Out;
        // The sanitizers' checks keep the full names of the source files they are in;
        // the programs that are shipped are built without them.
        if (test::SanitizedBuild)
            continue;
        const std::vector<uint8_t> bytes = ReadBytes(Installed("bin/" + program));
        for (const std::string tree : {ORVANDEL_BINARY_DIR, ORVANDEL_SOURCE_DIR})
            EXPECT_EQ(std::search(bytes.begin(), bytes.end(), tree.begin(), tree.end()), bytes.end()) << tree;
    }
    // The installed programs at work, in a directory of their own: the sample game written,
    // a zone drawn from it (its checker.bmp comes from the game folder).
    ScratchDir work;
    const TRunResult version = RunProgram(Installed("bin/orvandel"), {"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, "orvandel " ORVANDEL_VERSION "\n");
    const std::string game = work.File("game");
    const TRunResult mkgame = RunProgram(Installed("bin/orvandel-mkgame"), {game}, work.Path().string());
    ASSERT_EQ(mkgame.ExitCode, 0) << mkgame.Err;
    const TRunResult render = RunProgram(Installed("bin/orvandel-tool"),
                                         {"render", game, "111", "--size", "64x48", "-o", "view.png"},
                                         work.Path().string());
    EXPECT_EQ(render.ExitCode, 0) << render.Err;
    EXPECT_GT(ReadBytes(work.Path() / "view.png").size(), 100u);
}

// The installed viewer's window on the display: the output of xprop for its WM_CLASS and
// its icon, with the desktop's data (icon themes) looked for in `dataDirs` only.
std::string ViewerWindowProperties(const std::string& viewer, const std::string& game, const std::string& dataDirs,
                                   const ScratchDir& work)
{
    const std::string script =
        "export HOME='" + work.Path().string() + "' XDG_DATA_HOME='" + work.File("data") + "' XDG_DATA_DIRS='" +
        dataDirs + "' QT_QPA_PLATFORM=xcb\n"
        "'" + viewer + "' '" + game + "' >/dev/null 2>&1 &\n"
        "pid=$!\n"
        "for i in $(seq 150); do\n"
        "  for w in $(xwininfo -root -tree | sed -n 's/^ *\\(0x[0-9a-f]*\\) \"Orvandel.*/\\1/p'); do\n"
        "    if xprop -id \"$w\" _NET_WM_PID | grep -q \"= $pid\\$\"; then\n"
        "      xprop -id \"$w\" WM_CLASS _NET_WM_ICON | head -n 2; kill $pid; wait $pid; exit 0\n"
        "    fi\n"
        "  done\n"
        "  sleep 0.2\n"
        "done\n"
        "kill $pid; exit 1\n";
    const TRunResult run = RunProgram("/bin/sh", {"-c", script}, work.Path().string());
    EXPECT_EQ(run.ExitCode, 0) << "no window of the viewer appeared\n" << run.Err;
    return run.Out;
}

TEST_F(InstallTest, TheWindowShowsTheInstalledIconAndMatchesTheDesktopEntry)
{
    const std::string hicolor = "/usr/share/icons/hicolor/index.theme";
    REQUIRE_PROGRAMS("xwininfo", "xprop");
    REQUIRE_OR_SKIP(std::getenv("DISPLAY") != nullptr, "a display (DISPLAY)");
    REQUIRE_OR_SKIP(fs::exists(hicolor), hicolor);
    ScratchDir work;
    const std::string game = work.File("game");
    ASSERT_EQ(RunProgram(Installed("bin/orvandel-mkgame"), {game}).ExitCode, 0);
    // The theme's description, without any icon of this machine's.
    const fs::path themes = work.Path() / "themes";
    fs::create_directories(themes / "icons" / "hicolor");
    fs::copy_file(hicolor, themes / "icons" / "hicolor" / "index.theme");
    const std::string shown = ViewerWindowProperties(Installed("bin/orvandel"), game,
                                                     Installed("share") + ":" + themes.string(), work);
    EXPECT_TRUE(Has(shown, "_NET_WM_ICON(CARDINAL) = \tIcon (")) << shown;
    // The desktop matches the window to the entry by its class.
    const std::string entry = ReadText(Installed("share/applications/" + AppId + ".desktop"));
    EXPECT_TRUE(Has(shown, "WM_CLASS(STRING) = \"orvandel\", \"orvandel\"")) << shown;
    EXPECT_TRUE(Has(entry, "\nStartupWMClass=orvandel\n")) << entry;
    // Without the installed theme there is no icon: it comes from there, not from elsewhere.
    const std::string bare = ViewerWindowProperties(Installed("bin/orvandel"), game, themes.string(), work);
    EXPECT_TRUE(Has(bare, "_NET_WM_ICON:  not found")) << bare;
}

TEST_F(InstallTest, DebianPackageHoldsTheFilesAndComputedDependencies)
{
    REQUIRE_PROGRAMS("/usr/bin/dpkg-shlibdeps", "/usr/bin/dpkg-deb", "/usr/bin/file");
    ScratchDir out;
    const TRunResult pack = RunProgram(ORVANDEL_CPACK_COMMAND,
                                       {"-G", "DEB", "-B", out.Path().string(), "--config",
                                        ORVANDEL_BINARY_DIR "/CPackConfig.cmake"});
    ASSERT_EQ(pack.ExitCode, 0) << pack.Out << pack.Err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(out.Path()))
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << pack.Out;
    EXPECT_TRUE(fs::path(deb).filename().string().starts_with("orvandel_" ORVANDEL_VERSION "-1_")) << deb;

    auto field = [&](const std::string& name) {
        const TRunResult run = RunProgram("/usr/bin/dpkg-deb", {"--field", deb, name});
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        return run.Out;
    };
    EXPECT_EQ(field("Package"), "orvandel\n");
    EXPECT_EQ(field("Version"), ORVANDEL_VERSION "-1\n");
    EXPECT_EQ(field("Section"), "games\n");
    EXPECT_TRUE(Has(field("Maintainer"), "<")) << field("Maintainer");
    EXPECT_TRUE(field("Description").starts_with("fly over the zones of an online role-playing game\n Orvandel opens"))
        << field("Description");
    // Computed from the programs: the libraries they link, with versions; named: what is
    // loaded or read at run time (Qt's platform plugins, the icon theme, the map's font).
    const std::string depends = field("Depends");
    for (const std::string library : {"libqt6widgets6 (>=", "libqt6openglwidgets6 (>=", "zlib1g (>=", "libegl1",
                                      "libc6 (>=", "qt6-qpa-plugins", "hicolor-icon-theme", "fonts-dejavu-core"})
        EXPECT_TRUE(Has(depends, library)) << library << " in " << depends;
    // PNG is written by our own encoder over zlib, on every platform.
    EXPECT_FALSE(Has(depends, "libpng")) << depends;

    const TRunResult contents = RunProgram("/usr/bin/dpkg-deb", {"--contents", deb});
    ASSERT_EQ(contents.ExitCode, 0);
    for (const std::string file :
         {"./usr/bin/orvandel", "./usr/bin/orvandel-tool", "./usr/bin/orvandel-mkgame",
          "./usr/share/applications/org.orvandel.Orvandel.desktop",
          "./usr/share/icons/hicolor/48x48/apps/org.orvandel.Orvandel.png", "./usr/share/man/man1/orvandel.1.gz"})
        EXPECT_TRUE(Has(contents.Out, file)) << file;
}

}  // namespace
}  // namespace orv::installtest
