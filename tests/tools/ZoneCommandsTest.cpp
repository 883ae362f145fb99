// orvandel-tool's zone commands on a zone built for the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSystem.h"
#include "formats/Stream.h"
#include "zone/TestZone.h"

namespace orv {
namespace {

struct TRun {
    int Status;
    std::string Out;
};

// Runs the tool in `directory` with the arguments separated by spaces, standard error
// thrown away unless wanted (then it comes first, as the unbuffered stream does).
TRun Tool(const std::string& directory, const std::string& args, bool keepErrors = false)
{
    std::vector<std::string> words;
    std::istringstream in(args);
    for (std::string word; in >> word;)
        words.push_back(word);
    const test::TTempDir capture;
    TRun run{test::RunProcess(test::BuiltProgram("tools/orvandel-tool"), words, directory, capture.Path() + "out",
                              capture.Path() + "err"),
             {}};
    const std::vector<uint8_t> out = test::FileBytes(capture.Path() + "out");
    const std::vector<uint8_t> err = test::FileBytes(capture.Path() + "err");
    if (keepErrors)
        run.Out.assign(err.begin(), err.end());
    run.Out = test::PlainLines(run.Out.append(out.begin(), out.end()));
    return run;
}

class ZoneCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        Zone = test::TTestZone::FromHeights([](int x, int y) { return 8 * ((x * 5 + y * y) % 1700); });
        Zone.Sector = "[waterdefs]\nnum=2\n[river00]\nbankpoints=1\nleft00=10,20\nright00=30,5\nheight=9\n"
                      "[river01]\ncolor=-1\n";
        test::WriteZone(Dir.Path() + "game/", 111, Zone, false);
    }
    test::TTestZone Zone;
    test::TTempDir Dir;
};

TEST_F(ZoneCommands, DumpsAreTheMapTexts)
{
    const TRun h = Tool(Dir.Path(), "dump-h game 111");
    ASSERT_EQ(h.Status, 0);
    ASSERT_EQ(h.Out.size(), 257u * 1286u);
    // Line k, entry c: vertex (c, k).
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04X ", Zone.HeightAt(3, 200));
    EXPECT_EQ(h.Out.substr(200 * 1286 + 3 * 5, 5), expected);
    std::snprintf(expected, sizeof expected, "%04X ", Zone.HeightAt(7, 1));
    EXPECT_EQ(h.Out.substr(0 * 1286 + 7 * 5, 5), expected);   // row 0 repeats row 1

    const TRun d2 = Tool(Dir.Path(), "dump-d2 game 111");
    ASSERT_EQ(d2.Status, 0);
    EXPECT_EQ(d2.Out.size() % 257, 0u);
    EXPECT_EQ(std::count(d2.Out.begin(), d2.Out.end(), '\n'), 257);

    // The log goes to standard error only.
    const TRun both = Tool(Dir.Path(), "dump-h game 111", true);
    EXPECT_TRUE(both.Out.starts_with("Loading terrain verticies...\nMinZ="));
}

TEST_F(ZoneCommands, WaterListsTheRegions)
{
    const TRun w = Tool(Dir.Path(), "water game 111");
    ASSERT_EQ(w.Status, 0);
    EXPECT_EQ(w.Out, "10 5 30 20 9 16776960\n0 0 0 0 0 4294967295\n");
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() + "sector.dat")) << "only the viewer writes it";
}

TEST_F(ZoneCommands, LodCountsTheFans)
{
    const TRun start = Tool(Dir.Path(), "lod game 111");
    ASSERT_EQ(start.Status, 0) << start.Out;
    int triangles = 0, fans = 0, most = 0;
    ASSERT_EQ(std::sscanf(start.Out.c_str(), "{\"triangles\": %d, \"fans\": %d, \"max_fan_vertices\": %d}\n",
                          &triangles, &fans, &most),
              3)
        << start.Out;
    EXPECT_GE(triangles, 480);
    EXPECT_GE(fans, 64);
    EXPECT_LE(most, 10);

    // The finest factor close to the ground refines more than the start-up one far above.
    const TRun fine = Tool(Dir.Path(), "lod game 111 --loc 32768,32768,3000,0,90 --detail 255");
    const TRun coarse = Tool(Dir.Path(), "lod game 111 --loc 32768,32768,60000,0,90 --detail 1");
    int fineTriangles = 0, coarseTriangles = 0;
    ASSERT_EQ(std::sscanf(fine.Out.c_str(), "{\"triangles\": %d", &fineTriangles), 1) << fine.Out;
    ASSERT_EQ(std::sscanf(coarse.Out.c_str(), "{\"triangles\": %d", &coarseTriangles), 1) << coarse.Out;
    EXPECT_GT(fineTriangles, coarseTriangles);

    EXPECT_EQ(Tool(Dir.Path(), "lod game 111 --detail 0").Status, 2);
    EXPECT_EQ(Tool(Dir.Path(), "lod game 111 --detail 256").Status, 2);
    EXPECT_EQ(Tool(Dir.Path(), "lod game eleven").Status, 2);
    const TRun bad = Tool(Dir.Path(), "lod game 111 --loc 1", true);
    EXPECT_EQ(bad.Status, 1);
    EXPECT_NE(bad.Out.find("List index out of bounds (1)"), std::string::npos) << bad.Out;
}

TEST_F(ZoneCommands, HeightmapIsA16BitGreyPng)
{
    ASSERT_EQ(Tool(Dir.Path(), "heightmap game 111 h.png").Status, 0);
    const std::vector<uint8_t> png = test::FileBytes(Dir.Path() + "h.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    auto word = [&](size_t at) { return png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    EXPECT_EQ(word(16), 257);
    EXPECT_EQ(word(20), 257);
    EXPECT_EQ(png[24], 16);   // bit depth
    EXPECT_EQ(png[25], 0);    // grey
}

// A data archive cut short (an interrupted download) fails every zone command, naming
// the archive and the member, with nothing written: no output and no sector.dat.
TEST_F(ZoneCommands, ACutArchiveFailsEveryCommandAndLeavesNothing)
{
    const std::string archive = "game/zones/zone111/dat111.mpk";
    std::vector<uint8_t> bytes = test::FileBytes(Dir.Path() + archive);
    bytes.resize(bytes.size() - 10);
    TFileStream(Dir.Path() + archive, TFileMode::Create).WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    for (const std::string command : {"water game 111", "dump-h game 111", "lod game 111", "heightmap game 111 h.png",
                                      "map game 111 -o m.png", "export game 111 --no-textures -o e.glb"}) {
        const TRun run = Tool(Dir.Path(), command, true);
        EXPECT_EQ(run.Status, 1) << command;
        EXPECT_NE(run.Out.find(test::SystemPath(archive) + ": sector.dat: the archive is cut short"), std::string::npos)
            << run.Out;
        EXPECT_EQ(test::DirectoryEntries(Dir.Path()), std::vector<std::string>{"game"}) << command;
    }
}

TEST_F(ZoneCommands, MissingZoneFails)
{
    const TRun r = Tool(Dir.Path(), "water game 5", true);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("Cannot open file " + test::SystemPath("game/zones/zone005/dat005.mpk")), std::string::npos)
        << r.Out;
    EXPECT_EQ(Tool(Dir.Path(), "water game").Status, 2);
}

}  // namespace
}  // namespace orv
