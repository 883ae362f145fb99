// The viewer's command line: what it takes, what it refuses and what --help says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace {

orv::TViewerOptions Parse(const std::vector<std::string>& arguments) { return orv::ParseViewerOptions(arguments); }

std::string Refusal(const std::vector<std::string>& arguments)
{
    try {
        Parse(arguments);
    } catch (const orv::EUsageError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(CommandLineTest, TakesTheGameFolderAndEachOptionInBothForms)
{
    EXPECT_FALSE(Parse({}).GameDir);
    EXPECT_EQ(Parse({"/games/isles"}).GameDir, "/games/isles");

    const orv::TViewerOptions o = Parse({"--zone", "5", "--loc", "1000,2000,300", "--renderer", "fan", "/g"});
    EXPECT_EQ(o.GameDir, "/g");
    EXPECT_EQ(o.Zone, 5);
    EXPECT_EQ(o.Location, "1000,2000,300");
    EXPECT_EQ(o.RenderVersion, 2);
    EXPECT_FALSE(o.Help || o.Version);

    const orv::TViewerOptions attached = Parse({"/g", "--zone=112", "--loc=ABOVE", "--renderer=v1"});
    EXPECT_EQ(attached.GameDir, "/g");
    EXPECT_EQ(attached.Zone, 112);
    EXPECT_EQ(attached.Location, "ABOVE");
    EXPECT_EQ(attached.RenderVersion, 0);

    // A location may start with a minus, and "--" lets a folder start with one.
    EXPECT_EQ(Parse({"--loc", "-5 7"}).Location, "-5 7");
    EXPECT_EQ(Parse({"--", "--odd folder"}).GameDir, "--odd folder");
    EXPECT_EQ(Parse({"-"}).GameDir, "-");

    EXPECT_TRUE(Parse({"--help"}).Help);
    EXPECT_TRUE(Parse({"--version"}).Version);
}

TEST(CommandLineTest, RendererNamesAreTheRadioButtonTags)
{
    EXPECT_EQ(orv::RenderVersionFromName("v1"), 0);
    EXPECT_EQ(orv::RenderVersionFromName("pointer"), 1);
    EXPECT_EQ(orv::RenderVersionFromName("fan"), 2);
    EXPECT_EQ(orv::RenderVersionFromName("clod"), 3);
    EXPECT_FALSE(orv::RenderVersionFromName("CLOD"));
    EXPECT_FALSE(orv::RenderVersionFromName(""));
}

TEST(CommandLineTest, RefusesWhatTheWindowWouldRefuseWithAReason)
{
    EXPECT_EQ(Refusal({"--bogus"}), "unknown option --bogus");
    EXPECT_EQ(Refusal({"-x", "/g"}), "unknown option -x");
    EXPECT_EQ(Refusal({"--zone"}), "--zone needs a value");
    EXPECT_EQ(Refusal({"--zone", "twelve"}), "--zone: a zone number (0 or more), not \"twelve\"");
    EXPECT_EQ(Refusal({"--zone=-3"}), "--zone: a zone number (0 or more), not \"-3\"");
    EXPECT_EQ(Refusal({"--renderer", "fast"}), "--renderer: v1, pointer, fan or clod, not \"fast\"");
    EXPECT_EQ(Refusal({"--help=yes"}), "--help takes no value");
    EXPECT_EQ(Refusal({"/a", "/b"}), "one game folder at most, not \"/a\" and \"/b\"");
    // The location's own errors, as the "Go to loc..." box would show them.
    EXPECT_EQ(Refusal({"--loc", "1000"}), "--loc: X,Y,Z,h,p or \"above\" (List index out of bounds (1))");
    EXPECT_EQ(Refusal({"--loc", "1000,2x00"}),
              "--loc: X,Y,Z,h,p or \"above\" ('2x00' is not a valid integer value)");
    EXPECT_EQ(Refusal({"--loc", "1,2,3,4,5x"}), "--loc: X,Y,Z,h,p or \"above\" ('5x' is not a valid integer value)");
    // Items past the fifth are ignored, as by the box.
    EXPECT_EQ(Refusal({"--loc", "1,2,3,4,5,junk"}), "");
}

TEST(CommandLineTest, UsageNamesEveryOptionAndTheDefaultFolder)
{
    const std::string usage = orv::ViewerUsage("/home/u/.wine/drive_c/games/isles/");
    EXPECT_EQ(usage.rfind("Usage: orvandel [options] [GAMEDIR]\n", 0), 0u);
    for (const char* option : {"--zone N", "--loc X,Y,Z,h,p", "--renderer NAME", "-h, --help", "--version", "v1, pointer, fan",
                               "/home/u/.wine/drive_c/games/isles/", "orvandel-tool render", "Exit status"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    // Every line fits a terminal of 80 columns.
    size_t start = 0;
    for (size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << usage.substr(start, end - start);
}

TEST(CommandLineTest, NoDisplayMessageIsOneLineThatPointsToTheRenderer)
{
    for (const std::string display : {"", ":12"}) {
        const std::string message = orv::NoDisplayMessage(display);
        EXPECT_EQ(message.find('\n'), std::string::npos);
        EXPECT_NE(message.find("orvandel-tool render"), std::string::npos);
        EXPECT_NE(message.find(display.empty() ? "DISPLAY is not set" : "\":12\""), std::string::npos) << message;
    }
}
