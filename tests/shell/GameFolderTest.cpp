// Game folders: which folder is one, the zones it has, and the note a missing zone gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestSystem.h"
#include "shell/Viewer.h"

namespace fs = std::filesystem;

namespace orv {
namespace {

class GameFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = test::MakeScratchDirectory("orvandel-gamefolder");
    }
    void TearDown() override { fs::remove_all(Dir); }

    // An empty file (the archive's content does not matter here).
    void Touch(const fs::path& relative)
    {
        fs::create_directories((Dir / relative).parent_path());
        std::ofstream(Dir / relative).put('x');
    }
    std::string Game() const { return Dir.string() + "/"; }

    fs::path Dir;
};

TEST_F(GameFolder, AFolderIsOneWhenItHasZonesInAnyLetterCase)
{
    EXPECT_NE(GameFolderProblem(Game()), "");
    EXPECT_NE(GameFolderProblem(Game()).find("There is no zones folder in " + Game()), std::string::npos)
        << GameFolderProblem(Game());
    EXPECT_EQ(GameFolderProblem((Dir / "absent").string()), "There is no folder " + (Dir / "absent").string() + ".");
    // A file called zones is no folder.
    Touch("zones");
    EXPECT_NE(GameFolderProblem(Game()), "");
    fs::remove(Dir / "zones");
    fs::create_directory(Dir / "ZoNeS");
    EXPECT_EQ(GameFolderProblem(Game()), "");
    EXPECT_EQ(GameFolderProblem(Dir.string()), "") << "without the trailing delimiter too";
}

TEST_F(GameFolder, ZonesAreTheNumberedFoldersThatHoldTheirDataArchive)
{
    EXPECT_TRUE(GameZones(Game()).empty());
    Touch("Zones/zone112/dat112.mpk");
    Touch("Zones/ZONE005/DAT005.MPK");
    Touch("Zones/zone111/dat111.mpk");
    Touch("Zones/zone1000/dat1000.mpk");   // four digits: ids beyond 999 are written in full
    fs::create_directories(Dir / "Zones/zone007");          // no archive
    Touch("Zones/zone008/tex008.mpk");                      // only the texture archive
    Touch("Zones/zone09/dat09.mpk");                        // not the archive name's form
    Touch("Zones/zoneabc/databc.mpk");
    Touch("Zones/sky/wisps.tga");
    Touch("Zones/zone010");                                 // a file
    EXPECT_EQ(GameZones(Game()), (std::vector<int>{5, 111, 112, 1000}));
    EXPECT_EQ(GameZones((Dir / "absent").string()), std::vector<int>{});
}

TEST_F(GameFolder, AMissingZoneIsToldWhichZonesThereAre)
{
    EXPECT_NE(MissingZoneNote(Game(), 111).find("There is no zones folder"), std::string::npos);
    fs::create_directory(Dir / "zones");
    EXPECT_EQ(MissingZoneNote(Game(), 111), "There are no zones in " + Game() + "zones.");
    Touch("zones/zone112/dat112.mpk");
    Touch("zones/zone005/dat005.mpk");
    EXPECT_EQ(MissingZoneNote(Game(), 7), "The zones of this game folder: 5, 112.");
    // A zone that is there but did not load is damaged: nothing to add.
    EXPECT_EQ(MissingZoneNote(Game(), 112), "");
}

}  // namespace
}  // namespace orv
