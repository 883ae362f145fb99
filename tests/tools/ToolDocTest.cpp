// orvandel-tool's manual page and bash completion against its --help: every command and
// every argument and option that the help lists is in the manual page, in the section of
// its command, and the completion offers them; groff reads the page without a warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ToolTestSupport.h"

namespace orv::tooltest {
namespace {

const std::string ManPage = ORVANDEL_BINARY_DIR "/tools/orvandel-tool.1";
const std::string Completion = ORVANDEL_BINARY_DIR "/tools/orvandel-tool.bash-completion";

// The names in the help's list under `heading` ("Commands:", "Arguments:", "Options:"):
// the first word of each entry, "-h,--help" split at the comma.
std::vector<std::string> HelpEntries(const std::string& help, const std::string& heading)
{
    std::vector<std::string> names;
    std::istringstream in(help);
    bool inList = false;
    for (std::string line; std::getline(in, line);) {
        if (line == heading) {
            inList = true;
        } else if (inList && line.starts_with("  ") && !line.starts_with("   ")) {
            std::istringstream words(line);
            std::string first;
            words >> first;
            std::istringstream parts(first);
            for (std::string part; std::getline(parts, part, ',');)
                names.push_back(part);
        } else if (inList && !line.starts_with("  ")) {
            inList = false;
        }
    }
    return names;
}

// The page as text, and each command's part of it (from its heading to the next).
struct TRenderedPage {
    std::string Text;
    std::map<std::string, std::string> Sections;
};

TRenderedPage RenderManPage(const std::vector<std::string>& commands)
{
    // A wide line, no hyphenation at line ends, plain characters.
    const TRunResult run = RunProgram("/usr/bin/groff", {"-man", "-Tascii", "-P-cbou", "-rLL=250n", ManPage});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    TRenderedPage page{run.Out, {}};
    const std::vector<std::string> lines = Lines(run.Out);
    std::string current;
    for (const std::string& line : lines) {
        const std::string heading = line.starts_with("   ") && !line.starts_with("    ") ? line.substr(3) : "";
        if (std::find(commands.begin(), commands.end(), heading) != commands.end())
            current = heading;
        else if (!line.empty() && line[0] != ' ')
            current.clear();   // a section heading such as EXIT STATUS
        if (!current.empty())
            page.Sections[current] += line + "\n";
    }
    return page;
}

// What the completion offers for a command line whose last word is being completed.
std::set<std::string> Complete(const std::vector<std::string>& words, const std::string& workingDir = ".")
{
    std::string array;
    for (const std::string& w : words)
        array += " '" + w + "'";
    const std::string script = "cd '" + workingDir + "' && source '" + Completion + "' && COMP_WORDS=(" + array +
                               ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                               " && _orvandel_tool && printf '%s\\n' \"${COMPREPLY[@]}\"";
    const TRunResult run = RunProgram("/bin/bash", {"--norc", "-c", script});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    std::set<std::string> offered;
    for (const std::string& line : Lines(run.Out))
        if (!line.empty())
            offered.insert(line);
    return offered;
}

TEST(ToolDoc, ManPageHoldsEveryCommandArgumentAndOptionOfTheHelp)
{
    REQUIRE_PROGRAMS("/usr/bin/groff");
    const std::vector<std::string> commands = HelpEntries(Tool({"--help"}).Out, "Commands:");
    ASSERT_GE(commands.size(), 12u);   // render only where OpenGL is built
    const TRenderedPage page = RenderManPage(commands);
    EXPECT_TRUE(page.Text.find("orvandel-tool - ") != std::string::npos) << page.Text.substr(0, 400);
    for (const std::string& option : HelpEntries(Tool({"--help"}).Out, "Options:"))
        EXPECT_NE(page.Text.find(option), std::string::npos) << option;
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        ASSERT_EQ(page.Sections.count(command), 1u);
        const std::string& section = page.Sections.at(command);
        const std::string help = Tool({command, "--help"}).Out;
        EXPECT_NE(section.find("orvandel-tool " + command), std::string::npos) << section;
        for (const std::string heading : {"Arguments:", "Options:"}) {
            for (const std::string& name : HelpEntries(help, heading)) {
                if (name != "-h" && name != "--help") {   // said once for all commands
                    EXPECT_NE(section.find(name), std::string::npos) << name << "\n" << section;
                }
            }
        }
        // The footer's examples come along as they are.
        for (const std::string& line : Lines(help)) {
            if (line.starts_with("  orvandel-tool ")) {
                EXPECT_NE(section.find(line.substr(2)), std::string::npos) << line;
            }
        }
    }
}

TEST(ToolDoc, GroffReadsTheManPageWithoutWarnings)
{
    REQUIRE_PROGRAMS("/usr/bin/groff");
    const TRunResult run = RunProgram("/usr/bin/groff", {"-man", "-Tutf8", "-ww", "-z", ManPage});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Err, "");
}

TEST(ToolDoc, CompletionOffersTheCommandsAndEachCommandsOptions)
{
    SKIP_ON_WINDOWS("the completion is bash's, installed on Linux only");
    const std::vector<std::string> commands = HelpEntries(Tool({"--help"}).Out, "Commands:");
    ASSERT_GE(commands.size(), 12u);   // render only where OpenGL is built
    EXPECT_EQ(Complete({"orvandel-tool", ""}), std::set<std::string>(commands.begin(), commands.end()));
    EXPECT_EQ(Complete({"orvandel-tool", "--"}), (std::set<std::string>{"--help", "--version"}));
    EXPECT_EQ(Complete({"orvandel-tool", "help", ""}), std::set<std::string>(commands.begin(), commands.end()));
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const std::vector<std::string> options = HelpEntries(Tool({command, "--help"}).Out, "Options:");
        EXPECT_EQ(Complete({"orvandel-tool", command, "-"}), std::set<std::string>(options.begin(), options.end()));
    }
}

TEST(ToolDoc, CompletionKnowsWhatEachValueIs)
{
    SKIP_ON_WINDOWS("the completion is bash's, installed on Linux only");
    ScratchDir scratch;
    fs::create_directories(scratch.Path() / "game" / "zones");
    fs::create_directories(scratch.Path() / "gallery");
    WriteBytes(scratch.Path() / "gamma.mpk", {1});
    const std::string dir = scratch.Path().string();
    // Directories only where a directory is wanted; any path where a file is.
    EXPECT_EQ(Complete({"orvandel-tool", "extract", "gamma.mpk", "-d", "ga"}, dir),
              (std::set<std::string>{"game", "gallery"}));
    EXPECT_EQ(Complete({"orvandel-tool", "list", "ga"}, dir), (std::set<std::string>{"game", "gallery", "gamma.mpk"}));
    EXPECT_EQ(Complete({"orvandel-tool", "water", "ga"}, dir), (std::set<std::string>{"game", "gallery"}));
    // ZONE and the values of --loc cannot be guessed; after all arguments nothing is left.
    EXPECT_TRUE(Complete({"orvandel-tool", "water", "game", ""}, dir).empty());
    EXPECT_TRUE(Complete({"orvandel-tool", "lod", "game", "111", "--loc", ""}, dir).empty());
    EXPECT_TRUE(Complete({"orvandel-tool", "water", "game", "111", "g"}, dir).empty());
    // Option values and "--" are skipped when counting arguments; member names are not
    // guessed.
    EXPECT_EQ(Complete({"orvandel-tool", "extract", "-d", "out", "ga"}, dir),
              (std::set<std::string>{"game", "gallery", "gamma.mpk"}));
    EXPECT_TRUE(Complete({"orvandel-tool", "extract", "-d", "out", "gamma.mpk", "a", "ga"}, dir).empty());
    // A flag takes no value: the word after it is an argument.
    EXPECT_EQ(Complete({"orvandel-tool", "map", "--no-water", "ga"}, dir), (std::set<std::string>{"game", "gallery"}));
    EXPECT_EQ(Complete({"orvandel-tool", "convert", "--", "gamma.mpk", "-"}, dir), (std::set<std::string>{}));
    const std::vector<std::string> commands = HelpEntries(Tool({"--help"}).Out, "Commands:");
    if (std::find(commands.begin(), commands.end(), "render") != commands.end()) {
        EXPECT_EQ(Complete({"orvandel-tool", "render", "game", "111", "--renderer", ""}, dir),
                  (std::set<std::string>{"v1", "pointer", "fan", "clod"}));
        EXPECT_EQ(Complete({"orvandel-tool", "render", "game", "111", "--renderer", "p"}, dir),
                  (std::set<std::string>{"pointer"}));
    }
}

}  // namespace
}  // namespace orv::tooltest
