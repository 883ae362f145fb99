// orvandel-tool's command line, the same for every command: help and usage errors with
// their exit codes, zone ids as 32-bit integers (negative ones too, with or without "--"),
// numbers checked against their range, "--" before arguments that begin with a hyphen,
// and an option given twice counting once with its last value.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ToolTestSupport.h"
#include "writers/MPKWriter.h"

namespace orv::tooltest {
namespace {

// The command names the overview lists under "Commands:".
std::vector<std::string> ListedCommands()
{
    const TRunResult overview = Tool({"--help"});
    std::vector<std::string> names;
    std::istringstream in(overview.Out);
    bool inList = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Commands:") {
            inList = true;
        } else if (inList && line.starts_with("  ")) {
            std::istringstream words(line);
            std::string name;
            words >> name;
            names.push_back(name);
        } else if (inList) {
            break;
        }
    }
    return names;
}

bool HasCommand(const std::string& name)
{
    const std::vector<std::string> names = ListedCommands();
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The zone commands, each with what it needs besides GAMEDIR and ZONE.
std::vector<std::vector<std::string>> ZoneCommandLines(const std::string& game, const std::string& zone,
                                                       const ScratchDir& scratch)
{
    std::vector<std::vector<std::string>> lines = {
        {"dump-h", game, zone}, {"dump-d2", game, zone}, {"water", game, zone}, {"lod", game, zone},
        {"heightmap", game, zone, scratch.File("h.png")},
        {"export", game, zone, "-o", scratch.File("z.glb")},
        {"map", game, zone, "-o", scratch.File("m.png")},
    };
    if (HasCommand("render"))
        lines.push_back({"render", game, zone, "--size", "8x8", "-o", scratch.File("r.png")});
    return lines;
}

TEST(ToolCommandLine, EveryCommandHasHelpAndAUsageOnErrors)
{
    const std::vector<std::string> commands = ListedCommands();
    ASSERT_GE(commands.size(), 12u);   // render only where OpenGL is built
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const TRunResult help = Tool({command, "--help"});
        EXPECT_EQ(help.ExitCode, 0);
        EXPECT_TRUE(Has(help.Out, "Usage: orvandel-tool " + command)) << help.Out;
        EXPECT_TRUE(help.Err.empty());
        EXPECT_EQ(Tool({command, "-h"}).Out, help.Out);
        EXPECT_EQ(Tool({"help", command}).Out, help.Out);

        const TRunResult unknown = Tool({command, "--no-such-option"});
        EXPECT_EQ(unknown.ExitCode, 2);
        EXPECT_TRUE(unknown.Out.empty());
        EXPECT_TRUE(Has(unknown.Err, "orvandel-tool " + command + ": unknown option --no-such-option")) << unknown.Err;
        EXPECT_TRUE(Has(unknown.Err, "Usage: orvandel-tool " + command)) << unknown.Err;
        EXPECT_TRUE(Has(unknown.Err, "Run 'orvandel-tool " + command + " --help'")) << unknown.Err;
    }
}

TEST(ToolCommandLine, ProgramLevelHelpVersionAndErrors)
{
    const TRunResult help = Tool({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(Has(help.Out, "Usage: orvandel-tool [OPTIONS] COMMAND"));
    EXPECT_EQ(Tool({"help"}).Out, help.Out);

    const TRunResult version = Tool({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, "orvandel-tool " ORVANDEL_VERSION "\n");

    const TRunResult none = Tool({});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_EQ(none.Err, help.Out);

    const TRunResult unknown = Tool({"frobnicate", "x"});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_TRUE(Has(unknown.Err, "orvandel-tool: unknown command 'frobnicate'")) << unknown.Err;
    EXPECT_EQ(Tool({"help", "frobnicate"}).ExitCode, 2);
}

TEST(ToolCommandLine, MissingAndSurplusArgumentsAreUsageErrors)
{
    const struct {
        std::vector<std::string> Args;
        std::string Says;
    } cases[] = {
        {{"list"}, "ARCHIVE is required"},
        {{"list", "a.mpk", "b.mpk"}, "one argument too many: 'b.mpk'"},
        {{"list", "--", "a.mpk", "-b.mpk"}, "one argument too many: '-b.mpk'"},
        {{"water", "--", "game", "-5", "-o"}, "one argument too many: '-o'"},
        {{"extract"}, "ARCHIVE is required"},
        {{"extract", "a.mpk", "-d"}, "-d"},
        {{"convert", "in.bmp"}, "OUT.png is required"},
        {{"info"}, "FILE is required"},
        {{"water", "game"}, "ZONE is required"},
        {{"heightmap", "game", "111"}, "OUT.png is required"},
        {{"lod", "game", "111", "--detail"}, "--detail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.front() + " " + c.Says);
        const TRunResult run = Tool(c.Args);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(Has(run.Err, "orvandel-tool " + c.Args.front() + ": ")) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
        EXPECT_TRUE(Has(run.Err, "Usage: orvandel-tool " + c.Args.front())) << run.Err;
    }
}

TEST(ToolCommandLine, ZoneIdsAre32BitIntegersInEveryZoneCommand)
{
    ScratchDir scratch;
    const std::string game = SampleGame().string();
    // Beyond 32 bits (4294967407 is 111 + 2^32), or no number at all: usage errors.
    for (const std::string zone : {"4294967407", "-2147483649", "eleven", "111x", ""}) {
        for (const auto& line : ZoneCommandLines(game, zone, scratch)) {
            SCOPED_TRACE(line.front() + " " + zone);
            const TRunResult run = Tool(line, scratch.Path().string());
            EXPECT_EQ(run.ExitCode, 2);
            EXPECT_TRUE(Has(run.Err, "ZONE")) << run.Err;
        }
    }
    // A negative id is a zone like any other; this game has none, so the archive is missing.
    for (const auto& line : ZoneCommandLines(game, "-5", scratch)) {
        SCOPED_TRACE(line.front());
        const TRunResult run = Tool(line, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Has(run.Err, "Cannot open file " + game + test::SystemPath("/zones/zone-005/dat-005.mpk"))) << run.Err;
        // The same after "--", where nothing can be taken for an option.
        std::vector<std::string> ended = line;
        ended.insert(ended.begin() + 1, "--");
        if (line.size() > 3 && line[3].starts_with("-")) {   // options go before "--"
            ended.assign(line.begin() + 3, line.end());
            ended.insert(ended.begin(), line.front());
            ended.insert(ended.end(), {"--", game, "-5"});
        }
        const TRunResult afterEnd = Tool(ended, scratch.Path().string());
        EXPECT_EQ(afterEnd.ExitCode, 1);
        EXPECT_EQ(afterEnd.Err, run.Err);
    }
    // The viewer's integer syntax: hexadecimal with "0x" or "$".
    const TRunResult decimal = Tool({"water", game, "111"}, scratch.Path().string());
    ASSERT_EQ(decimal.ExitCode, 0) << decimal.Err;
    EXPECT_EQ(Tool({"water", game, "0x6F"}, scratch.Path().string()).Out, decimal.Out);
    EXPECT_EQ(Tool({"water", game, "$6f"}, scratch.Path().string()).Out, decimal.Out);
}

TEST(ToolCommandLine, NumbersOutsideTheirRangeAreUsageErrors)
{
    ScratchDir scratch;
    const std::string game = SampleGame().string();
    std::vector<std::vector<std::string>> lines = {
        {"lod", game, "111", "--detail", "0"},
        {"lod", game, "111", "--detail", "256"},
        {"lod", game, "111", "--detail", "4294967297"},   // 1 + 2^32
    };
    if (HasCommand("render")) {
        const std::string out = scratch.File("r.png");
        for (const std::vector<std::string>& option :
             std::vector<std::vector<std::string>>{{"--detail", "0"},
                                                   {"--detail", "256"},
                                                   {"--frames", "0"},
                                                   {"--size", "0x10"},
                                                   {"--size", "10x8193"},
                                                   {"--size", "4294967306x10"},
                                                   {"--size", "ten"},
                                                   {"--sun-ms", "-1"},
                                                   {"--gravity-ms", "4294967296"},
                                                   {"--renderer", "v2"}}) {
            std::vector<std::string> line = {"render", game, "111", "-o", out};
            line.insert(line.end(), option.begin(), option.end());
            lines.push_back(line);
        }
    }
    for (const auto& line : lines) {
        SCOPED_TRACE(line[0] + " " + line[line.size() - 2] + " " + line.back());
        const TRunResult run = Tool(line, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_TRUE(Has(run.Err, line[line.size() - 2])) << run.Err;
        EXPECT_TRUE(run.Out.empty());
        EXPECT_FALSE(fs::exists(scratch.File("sector.dat"))) << "checked before the zone is loaded";
    }
}

TEST(ToolCommandLine, DoubleHyphenEndsTheOptionsAndTheLastOfTwoOptionsCounts)
{
    ScratchDir scratch;
    const std::vector<uint8_t> text = {'h', 'i'};
    WriteMPK(scratch.File("a.mpk"), "a", {{"-d", text, 0}, {"--help", text, 0}, {"plain.txt", text, 0}});
    const fs::path first = scratch.Path() / "first";
    const fs::path second = scratch.Path() / "second";

    // Members named like options, after "--"; -d before it.
    const TRunResult named = Tool({"extract", scratch.File("a.mpk"), "-d", first.string(), "--", "-d", "--help"});
    ASSERT_EQ(named.ExitCode, 0) << named.Err;
    EXPECT_EQ(ReadBytes(first / "-d"), text);
    EXPECT_EQ(ReadBytes(first / "--help"), text);
    EXPECT_FALSE(fs::exists(first / "plain.txt"));

    // -d twice: the second directory.
    const TRunResult twice =
        Tool({"extract", scratch.File("a.mpk"), "plain.txt", "-d", first.string(), "-d", second.string()});
    ASSERT_EQ(twice.ExitCode, 0) << twice.Err;
    EXPECT_TRUE(fs::exists(second / "plain.txt"));
    EXPECT_FALSE(fs::exists(first / "plain.txt"));

    // An archive whose name begins with a hyphen.
    fs::copy_file(scratch.File("a.mpk"), scratch.File("-a.mpk"));
    const TRunResult list = Tool({"list", "--", "-a.mpk"}, scratch.Path().string());
    EXPECT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_TRUE(Has(list.Out, "plain.txt"));
    // A member named like a command is a member.
    WriteMPK(scratch.File("b.mpk"), "b", {{"list", text, 0}});
    const TRunResult member = Tool({"extract", scratch.File("b.mpk"), "list", "-d", second.string()});
    EXPECT_EQ(member.ExitCode, 0) << member.Err;
    EXPECT_EQ(ReadBytes(second / "list"), text);
}

}  // namespace
}  // namespace orv::tooltest
