// Water regions: the sector.dat semantics, and the zone loading step that writes the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BadFiles.h"
#include "base/Exception.h"
#include "base/Log.h"
#include "formats/MPKFile.h"
#include "writers/MPKWriter.h"
#include "base/Format.h"
#include "zone/IniFile.h"
#include "zone/TestZone.h"
#include "zone/WaterRegions.h"

namespace orv {
namespace {

TWaterRegionList Read(const std::string& text)
{
    TWaterRegionList regions;
    ReadWaterRegions(TIniFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())), regions);
    return regions;
}

TRect Bounds(int l, int t, int r, int b) { return TRect{l, t, r, b}; }

TEST(WaterRegions, CountComesFromWaterdefs)
{
    EXPECT_TRUE(Read("[waterdefs]\nnum=0\n").empty());
    EXPECT_TRUE(Read("[waterdefs]\nnum=-3\n[river00]\nbankpoints=0\n").empty());
    EXPECT_TRUE(Read("[river00]\nbankpoints=1\nleft00=1,2\nright00=3,4\n").empty());
    EXPECT_TRUE(Read("[waterdefs]\nnum=two\n[river00]\n").empty());
    EXPECT_EQ(Read("[waterdefs]\nnum=$3\n").size(), 3u);
}

TEST(WaterRegions, BoundsCoverEveryBankPoint)
{
    const auto regions = Read("[waterdefs]\nnum=1\n"
                              "[river00]\nbankpoints=1\nleft00=10,20\nright00=30,5\nheight=250\ncolor=$FF\n");
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0]->Bounds, Bounds(10, 5, 30, 20));
    EXPECT_EQ(regions[0]->Height, 250);
    EXPECT_EQ(regions[0]->Color, 0xFFu);

    // The first point sets the rectangle, even when others lie on either side of it;
    // blanks separate like commas, further items are ignored.
    const auto three = Read("[waterdefs]\nnum=1\n[river00]\nbankpoints=3\n"
                            "left00=50 60\nright00=40,70,999\n"
                            "left01=45,-5\nright01=\"80\",65\n"
                            "left02=55 , 61\nright02=51,62\n");
    ASSERT_EQ(three.size(), 1u);
    EXPECT_EQ(three[0]->Bounds, Bounds(40, -5, 80, 70));
}

TEST(WaterRegions, MissingSectionsAndKeysGiveTheDefaults)
{
    // The second section is named river1, so river01 is not found.
    const auto regions = Read("[waterdefs]\nnum=2\n"
                              "[river00]\nbankpoints=1\nleft00=1,2\nright00=3,4\nheight=7\ncolor=0x0000FF\n"
                              "[river1]\nbankpoints=1\nleft00=9,9\nright00=9,9\nheight=8\n");
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0]->Bounds, Bounds(1, 2, 3, 4));
    EXPECT_EQ(regions[0]->Color, 0xFFu);
    EXPECT_EQ(regions[1]->Bounds, Bounds(0, 0, 0, 0));
    EXPECT_EQ(regions[1]->Height, 0);
    EXPECT_EQ(regions[1]->Color, DefaultWaterColor);

    const auto defaults = Read("[waterdefs]\nnum=1\n[river00]\nheight=deep\ncolor=blue\nbankpoints=none\n");
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_EQ(defaults[0]->Height, 0);
    EXPECT_EQ(defaults[0]->Color, DefaultWaterColor);
    EXPECT_EQ(defaults[0]->Bounds, Bounds(0, 0, 0, 0));
}

TEST(WaterRegions, ColourForms)
{
    for (const char* red : {"0x0000FF", "$0000FF", "255", " 255"}) {
        const auto regions = Read(std::string("[waterdefs]\nnum=1\n[river00]\ncolor=") + red + "\n");
        ASSERT_EQ(regions.size(), 1u);
        EXPECT_EQ(regions[0]->Color, 0xFFu) << red;
    }
}

TEST(WaterRegions, BadBankPointsRaiseAndKeepTheEarlierRivers)
{
    const std::string good = "[waterdefs]\nnum=3\n[river00]\nbankpoints=1\nleft00=1,2\nright00=3,4\n";
    struct TCase {
        std::string River01;
        std::string Message;
    };
    const TCase cases[] = {
        {"bankpoints=1\nleft00=5,6\n", "sector.dat: [river01]: no right00"},           // right00 missing
        {"bankpoints=1\nleft00=\nright00=5,6\n", "sector.dat: [river01]: no left00"}, // empty
        {"bankpoints=1\nleft00=5\nright00=5,6\n", "sector.dat: [river01]: left00: List index out of bounds (1)"},
        {"bankpoints=1\nleft00=5,6\nright00=5,six\n", "sector.dat: [river01]: right00: 'six' is not a valid integer value"},
        {"bankpoints=2\nleft00=5,6\nright00=5,6\nleft01=7q,8\nright01=1,1\n",
         "sector.dat: [river01]: left01: '7q' is not a valid integer value"},
    };
    for (const TCase& c : cases) {
        TWaterRegionList regions;
        const std::string text = good + "[river01]\n" + c.River01;
        try {
            ReadWaterRegions(TIniFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())), regions);
            ADD_FAILURE() << "no error for " << c.River01;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        ASSERT_EQ(regions.size(), 1u) << c.River01;
        EXPECT_EQ(regions[0]->Bounds, Bounds(1, 2, 3, 4));
    }
}

TEST(WaterRegions, AnAbsurdRiverCountIsRefusedBeforeAnythingIsAdded)
{
    TWaterRegionList regions;
    const std::string text = "[waterdefs]\nnum=2000000000\n";
    EXPECT_THROW(ReadWaterRegions(TIniFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())),
                                  regions),
                 EFormatError);
    EXPECT_TRUE(regions.empty());
    EXPECT_EQ(Read("[waterdefs]\nnum=" + std::to_string(MaxWaterRegions) + "\n").size(),
              static_cast<size_t>(MaxWaterRegions));
}

// Regions that together cover more than four zones cost every frame, map and export more
// than any real zone: refused at the river that goes over, keeping those before it.
TEST(WaterRegions, WaterCoveringMoreThanFourZonesIsRefused)
{
    auto rivers = [](int count, int side) {
        std::string text = "[waterdefs]\nnum=" + std::to_string(count) + "\n";
        for (int r = 0; r < count; ++r)
            text += Format("[river%2.2d]\nbankpoints=1\nleft00=0,0\nright00=%d,%d\n", {r, side, side});
        return text;
    };
    EXPECT_EQ(Read(rivers(4, GridCells)).size(), 4u);
    TWaterRegionList regions;
    const std::string over = rivers(5, GridCells);
    try {
        ReadWaterRegions(TIniFile(std::span(reinterpret_cast<const uint8_t*>(over.data()), over.size())), regions);
        ADD_FAILURE() << "five zones of water taken";
    } catch (const EFormatError& e) {
        EXPECT_TRUE(e.Message().starts_with("sector.dat: [river04]: the water regions up to here cover more than " +
                                            std::to_string(MaxWaterCells) + " cells"))
            << e.Message();
    }
    EXPECT_EQ(regions.size(), 4u);
    // A rectangle reaching far out counts whole (its area is far beyond 32 bits).
    EXPECT_THROW(Read(rivers(1, 2147483647)), EFormatError);
    EXPECT_EQ(Read(rivers(MaxWaterRegions, 1)).size(), static_cast<size_t>(MaxWaterRegions));
}

// --- The loading step ----------------------------------------------------------------

class WaterLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Previous = SetLogSink([this](std::string_view line) { Lines.emplace_back(line); });
    }
    void TearDown() override { SetLogSink(std::move(m_Previous)); }

    std::string WriteArchive(const std::string& sector, bool withSector = true)
    {
        std::vector<TMPKMember> members;
        if (withSector)
            members.push_back({"Sector.DAT", std::vector<uint8_t>(sector.begin(), sector.end()), 0});
        const std::string path = Dir.Path() + "dat.mpk";
        WriteMPK(path, "dat", members);
        return path;
    }

    test::TTempDir Dir;
    std::vector<std::string> Lines;
    const std::string Sector = "[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=1,2\nright00=3,4\n";

private:
    TLogSink m_Previous;
};

TEST_F(WaterLoading, WritesSectorDatIntoTheDirectoryAndReplacesTheList)
{
    TMPKFile archive(WriteArchive(Sector));
    const std::string out = Dir.Path() + "out";
    std::filesystem::create_directory(out);
    std::ofstream(out + "/sector.dat") << "old content that is longer than the new one......................";

    TWaterRegionList regions;
    regions.push_back(std::make_unique<TWaterRegion>());
    regions.push_back(std::make_unique<TWaterRegion>());
    LoadWaterRegions(archive, regions, out);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0]->Bounds, Bounds(1, 2, 3, 4));
    const auto written = test::FileBytes(out + "/sector.dat");
    EXPECT_EQ(std::string(written.begin(), written.end()), Sector);
    EXPECT_EQ(test::DirectoryEntries(out), std::vector<std::string>{"sector.dat"});   // no temporary left
    EXPECT_TRUE(Lines.empty());

    struct stat st {};
    ASSERT_EQ(::stat((out + "/sector.dat").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(WaterLoading, AMissingMemberRaisesAfterClearing)
{
    TMPKFile archive(WriteArchive("", false));
    TWaterRegionList regions;
    regions.push_back(std::make_unique<TWaterRegion>());
    try {
        LoadWaterRegions(archive, regions, Dir.Path());
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), archive.FileName() + ": Source stream [sector.dat] not found in archive");
    }
    EXPECT_TRUE(regions.empty());
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() + "sector.dat"));
}

// "sector.dat" is refused above 4 MiB, once that much is inflated: a gigabyte (a megabyte
// of deflate) neither fills the memory of a process that could not hold it nor the disk.
TEST_F(WaterLoading, ASectorBombIsRefusedBeforeItFillsMemoryOrDisk)
{
    const std::string path = Dir.Path() + "bomb.mpk";
    test::WriteBytes(path, test::ArchiveOfStreams({{"sector.dat", test::ZeroBomb(uint64_t{1} << 30, std::vector<uint8_t>(Sector.begin(), Sector.end()))}}));
    const test::TChildOutcome run = test::RunWithMemoryLimit(uint64_t{64} << 20, [&] {
        TMPKFile archive(path);
        TWaterRegionList regions;
        regions.push_back(std::make_unique<TWaterRegion>());
        try {
            LoadWaterRegions(archive, regions, Dir.Path());
        } catch (...) {
            if (!regions.empty())
                throw std::runtime_error("the list was not cleared");
            throw;
        }
    });
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Message, path + ": sector.dat: larger than 4194304 bytes");
    EXPECT_EQ(test::DirectoryEntries(Dir.Path()), std::vector<std::string>{"bomb.mpk"});

    // The bound itself: 4 MiB load, one byte more is refused.
    std::string largest = Sector + std::string(static_cast<size_t>(MaxSectorBytes) - Sector.size(), 'x');
    TWaterRegionList regions;
    TMPKFile fits(WriteArchive(largest));
    LoadWaterRegions(fits, regions, Dir.Path());
    EXPECT_EQ(regions.size(), 1u);
    fits.Close();   // Windows replaces no file that is open
    TMPKFile over(WriteArchive(largest + "x"));
    EXPECT_THROW(LoadWaterRegions(over, regions, Dir.Path()), EMPKError);
}

TEST_F(WaterLoading, AnUnwritableDirectoryIsLoggedAndTheRegionsStillLoad)
{
    TMPKFile archive(WriteArchive(Sector));
    // A directory that is a file cannot take a new entry, whoever runs the test.
    const std::string notADirectory = Dir.Path() + "file";
    std::ofstream(notADirectory) << "x";
    // And a directory in the place of sector.dat cannot be replaced by a file.
    const std::string blocked = Dir.Path() + "blocked";
    std::filesystem::create_directories(blocked + "/sector.dat");

    for (const std::string& directory : {notADirectory, blocked}) {
        Lines.clear();
        TWaterRegionList regions;
        LoadWaterRegions(archive, regions, directory);
        ASSERT_EQ(regions.size(), 1u) << directory;
        EXPECT_EQ(regions[0]->Bounds, Bounds(1, 2, 3, 4));
        ASSERT_EQ(Lines.size(), 1u);
        EXPECT_NE(Lines[0].find("Cannot write " + directory + test::SystemPath("/sector.dat")), std::string::npos) << Lines[0];
        EXPECT_NE(Lines[0].find("read from the archive"), std::string::npos) << Lines[0];
    }
    EXPECT_EQ(test::DirectoryEntries(blocked), std::vector<std::string>{"sector.dat"});
    EXPECT_TRUE(std::filesystem::is_directory(blocked + "/sector.dat"));
}

// A sector.dat that cannot be written whole (here: beyond the file size limit, as on a
// full disk) is logged with the reason, and neither it nor its temporary file is left.
TEST_F(WaterLoading, AFileThatCannotBeWrittenWholeLeavesNoTemporaryFile)
{
    SKIP_ON_WINDOWS("no limit on a file's size to stand in for a full disk");
    TMPKFile archive(WriteArchive(Sector));
    const std::string out = Dir.Path() + "out";
    std::filesystem::create_directory(out);
    TWaterRegionList regions;
    // Fewer bytes than the member has.
    test::WithFileSizeLimit(8, [&] { LoadWaterRegions(archive, regions, out); });
    EXPECT_EQ(regions.size(), 1u);
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_TRUE(Lines[0].starts_with("Cannot write " + out + "/sector.dat (File too large)")) << Lines[0];
    EXPECT_TRUE(test::DirectoryEntries(out).empty());
}

TEST_F(WaterLoading, ABadFileStillLeavesTheFileWritten)
{
    TMPKFile archive(WriteArchive("[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=1\n"));
    TWaterRegionList regions;
    EXPECT_THROW(LoadWaterRegions(archive, regions, Dir.Path()), EListError);
    EXPECT_TRUE(regions.empty());
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() + "sector.dat"));
}

}  // namespace
}  // namespace orv
