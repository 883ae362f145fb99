// LoadZone: the steps in their order, the archive paths, and exactly what a failure
// leaves replaced and what it leaves alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <random>

#include "TestSystem.h"
#include "base/Exception.h"
#include "base/Log.h"
#include "formats/MPKFile.h"
#include "shell/Viewer.h"
#include "terrain/CLOD.h"
#include "zone/TestZone.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

// Everything a zone load may change, copied for comparison.
struct TSnapshot {
    std::unique_ptr<TTerrain> Terrain;
    std::unique_ptr<TTerrainNormals> Normals;
    std::vector<TWaterRegion> Regions;
    int ZoneID;
    TCamera Camera;

    explicit TSnapshot(const TViewer& v)
        : Terrain(std::make_unique<TTerrain>(v.Terrain)), Normals(std::make_unique<TTerrainNormals>(v.TerrainNormals)),
          ZoneID(v.ZoneID), Camera(v.Camera)
    {
        for (const auto& r : v.WaterRegions)
            Regions.push_back(*r);
    }
};

bool SameGrid(const TTerrain& a, const TTerrain& b)
{
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y)
            if (a[x][y].Height != b[x][y].Height || a[x][y].D2 != b[x][y].D2 ||
                a[x][y].Subdivided != b[x][y].Subdivided)
                return false;
    return true;
}

bool SameRegions(const std::vector<TWaterRegion>& a, const TWaterRegionList& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Bounds != b[i]->Bounds || a[i].Height != b[i]->Height || a[i].Color != b[i]->Color)
            return false;
    return true;
}

void ExpectUnchanged(const TSnapshot& before, const TViewer& v)
{
    EXPECT_TRUE(SameGrid(*before.Terrain, v.Terrain));
    EXPECT_TRUE(*before.Normals == v.TerrainNormals);
    EXPECT_TRUE(SameRegions(before.Regions, v.WaterRegions));
    EXPECT_EQ(before.ZoneID, v.ZoneID);
}

bool HeightsOf(const test::TTestZone& zone, const TViewer& v)
{
    for (int x = 0; x < 256; ++x)
        for (int y = 1; y <= 256; ++y)
            if (v.Terrain[x][y].Height != zone.HeightAt(x, y))
                return false;
    return true;
}

// A viewer whose texture step records what it was given, and can fail.
class TRecordingViewer : public TViewer {
public:
    void LoadTerrainTextures(TMPKFile& archive) override
    {
        TextureArchives.push_back(archive.FileName());
        if (FailTextures)
            throw Exception("tile missing");
        if (RunOutOfMemory)
            throw std::bad_alloc();
    }
    std::vector<std::string> TextureArchives;
    bool FailTextures = false;
    bool RunOutOfMemory = false;
};

class LoadZoneTest : public ::testing::Test {
protected:
    LoadZoneTest() : m_Work(std::make_unique<test::TWorkingDir>(Work.Path())) {}

    void SetUp() override
    {
        m_PreviousSink = SetLogSink([this](std::string_view line) { Lines.emplace_back(line); });
        std::mt19937 random(3);
        Zone111 = test::TTestZone::FromHeights([&](int x, int y) { return 8 * ((x * 7 + y * 3) % 1500) + 8 * (random() % 4); });
        Zone111.Sector = "[waterdefs]\r\nnum=2\r\n"
                         "[river00]\r\nbankpoints=1\r\nleft00=10,20\r\nright00=30,5\r\nheight=900\r\ncolor=$FF\r\n"
                         "[river01]\r\nbankpoints=2\r\nleft00=1,1\r\nright00=2,2\r\nleft01=3,3\r\nright01=9,0\r\n";
        Zone5 = test::TTestZone::FromHeights([](int x, int y) { return 8 * ((x * y) % 1700); });
        Zone5.Sector = "[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=100,100\nright00=120,90\nheight=77\n";
        test::WriteZone(Game.Path(), 111, Zone111);
        test::WriteZone(Game.Path(), 5, Zone5);
        Viewer.GameDir = Game.Path();
        Viewer.TexturesEnabled = false;
        Viewer.ResetCamera();
    }
    void TearDown() override { SetLogSink(std::move(m_PreviousSink)); }

    // Loads zone 111 and forgets its log.
    void LoadFirst()
    {
        Viewer.LoadZone(111);
        ASSERT_EQ(Viewer.ZoneID, 111);
        Lines.clear();
    }

    // The message of what LoadZone raises.
    std::string Failure(int zone)
    {
        try {
            Viewer.LoadZone(zone);
        } catch (const Exception& e) {
            return e.Message();
        }
        ADD_FAILURE() << "zone " << zone << " loaded";
        return {};
    }

    // The data archive of a zone, as its errors name it.
    std::string DataArchive(int zone) const { return ZoneArchivePath(Game.Path(), zone, TZoneArchive::Data); }

    std::string SectorFile() const
    {
        const auto bytes = test::FileBytes(Work.Path() + "sector.dat");
        return std::string(bytes.begin(), bytes.end());
    }

    const std::vector<std::string> DataSteps = {"Loading terrain verticies...", "", "Creating terrain normals...",
                                                "Loading water regions..."};

    test::TTempDir Game, Work;
    test::TTestZone Zone111, Zone5;
    TRecordingViewer Viewer;
    std::vector<std::string> Lines;

private:
    std::unique_ptr<test::TWorkingDir> m_Work;
    TLogSink m_PreviousSink;
};

TEST_F(LoadZoneTest, LoadsEveryDataStepInOrder)
{
    Viewer.LoadZone(111);
    EXPECT_EQ(Viewer.ZoneID, 111);
    int minZ = 1 << 30, maxZ = 0;
    for (int x = 0; x < 256; ++x)
        for (int y = 1; y <= 256; ++y) {
            minZ = std::min(minZ, Zone111.HeightAt(x, y));
            maxZ = std::max(maxZ, Zone111.HeightAt(x, y));
        }
    auto expected = DataSteps;
    expected[1] = "MinZ=" + std::to_string(minZ) + " MaxZ=" + std::to_string(maxZ);
    EXPECT_EQ(Lines, expected);
    EXPECT_TRUE(HeightsOf(Zone111, Viewer));

    // The level-of-detail data fit the new heights and the camera of the load.
    auto reference = std::make_unique<TTerrain>(Viewer.Terrain);
    ComputeD2Values(*reference);
    UpdateCLOD(*reference, Viewer.Camera.Pos, Viewer.CLODDetail);
    EXPECT_TRUE(SameGrid(*reference, Viewer.Terrain));
    EXPECT_NE(Viewer.TerrainNormals[100][100], (TVec3f{}));

    ASSERT_EQ(Viewer.WaterRegions.size(), 2u);
    EXPECT_EQ(Viewer.WaterRegions[0]->Bounds, (TRect{10, 5, 30, 20}));
    EXPECT_EQ(Viewer.WaterRegions[0]->Height, 900);
    EXPECT_EQ(Viewer.WaterRegions[0]->Color, 0xFFu);
    EXPECT_EQ(Viewer.WaterRegions[1]->Bounds, (TRect{1, 0, 9, 3}));
    EXPECT_EQ(SectorFile(), Zone111.Sector);
    EXPECT_EQ(test::DirectoryEntries(Work.Path()), std::vector<std::string>{"sector.dat"});
    EXPECT_TRUE(Viewer.TextureArchives.empty());   // textures off: no texture archive
}

TEST_F(LoadZoneTest, TexturesComeLastAndAreTimed)
{
    Viewer.TexturesEnabled = true;
    Viewer.LoadZone(5);
    EXPECT_EQ(Viewer.ZoneID, 5);
    ASSERT_EQ(Viewer.TextureArchives, std::vector<std::string>{Game.Path() + test::SystemPath("zones/zone005/tex005.mpk")});
    ASSERT_EQ(Lines.size(), 5u);
    EXPECT_EQ(Lines[3], "Loading water regions...");
    ASSERT_TRUE(Lines[4].starts_with("Textures loaded in ") && Lines[4].ends_with(" ms")) << Lines[4];
    const std::string ms = Lines[4].substr(19, Lines[4].size() - 22);
    EXPECT_FALSE(ms.empty());
    EXPECT_EQ(ms.find_first_not_of("0123456789"), std::string::npos) << ms;
}

TEST_F(LoadZoneTest, LoadingTheSameZoneAgainEndsInTheSameState)
{
    LoadFirst();
    const TSnapshot once(Viewer);
    Viewer.LoadZone(111);
    ExpectUnchanged(once, Viewer);
    EXPECT_EQ(Lines.size(), 4u);
}

TEST_F(LoadZoneTest, ZoneIdsWithMoreThanThreeDigitsAndMixedCaseFiles)
{
    test::WriteZone(Game.Path(), 1234, Zone5);
    Viewer.LoadZone(1234);
    EXPECT_EQ(Viewer.ZoneID, 1234);
    // Files copied from elsewhere may carry other letter cases.
    const std::string upper = Game.Path() + "ZONES/Zone077/";
    std::filesystem::create_directories(upper);
    std::filesystem::rename(test::WriteZone(Game.Path(), 77, Zone111), upper + "DAT077.MPK");
    Viewer.LoadZone(77);
    EXPECT_EQ(Viewer.ZoneID, 77);
    EXPECT_TRUE(HeightsOf(Zone111, Viewer));
}

TEST_F(LoadZoneTest, MissingOrDamagedDataArchiveChangesNothing)
{
    LoadFirst();
    const TSnapshot before(Viewer);
    EXPECT_EQ(Failure(7), "Cannot open file " + Game.Path() + test::SystemPath("zones/zone007/dat007.mpk"));
    ExpectUnchanged(before, Viewer);
    EXPECT_TRUE(Lines.empty());

    std::filesystem::create_directories(Game.Path() + "zones/zone008");
    std::ofstream(Game.Path() + "zones/zone008/dat008.mpk") << "this is no archive at all";
    EXPECT_EQ(Failure(8), DataArchive(8) + ": Not an MPAK file");
    ExpectUnchanged(before, Viewer);
    EXPECT_TRUE(Lines.empty());
    EXPECT_EQ(SectorFile(), Zone111.Sector);
}

TEST_F(LoadZoneTest, MissingHeightmapMemberChangesNothing)
{
    LoadFirst();
    const TSnapshot before(Viewer);
    test::TTestZone broken = Zone5;
    broken.WithOffset = false;
    test::WriteZone(Game.Path(), 9, broken);
    EXPECT_EQ(Failure(9), DataArchive(9) + ": Source stream [offset.pcx] not found in archive");
    ExpectUnchanged(before, Viewer);
    EXPECT_EQ(Lines, std::vector<std::string>{"Loading terrain verticies..."});
}

TEST_F(LoadZoneTest, MissingSectorMemberKeepsTheNewTerrainAndNoRegions)
{
    LoadFirst();
    test::TTestZone broken = Zone5;
    broken.WithSector = false;
    test::WriteZone(Game.Path(), 9, broken);
    EXPECT_EQ(Failure(9), DataArchive(9) + ": Source stream [sector.dat] not found in archive");
    EXPECT_TRUE(HeightsOf(Zone5, Viewer));
    EXPECT_TRUE(Viewer.WaterRegions.empty());
    EXPECT_EQ(Viewer.ZoneID, 111);
    EXPECT_EQ(Lines.size(), 4u);
    EXPECT_EQ(SectorFile(), Zone111.Sector);   // the old file stays
}

TEST_F(LoadZoneTest, BadSectorValuesKeepTheRegionsReadBeforeThem)
{
    LoadFirst();
    const TSnapshot before(Viewer);
    test::TTestZone bad = Zone5;
    bad.Sector = "[waterdefs]\nnum=3\n[river00]\nbankpoints=1\nleft00=1,2\nright00=3,4\n"
                 "[river01]\nbankpoints=1\nleft00=5,6\nright00=7,seven\n";
    test::WriteZone(Game.Path(), 9, bad);
    EXPECT_EQ(Failure(9), DataArchive(9) + ": sector.dat: [river01]: right00: 'seven' is not a valid integer value");
    EXPECT_TRUE(HeightsOf(Zone5, Viewer));
    EXPECT_FALSE(*before.Normals == Viewer.TerrainNormals);   // the new normals
    ASSERT_EQ(Viewer.WaterRegions.size(), 1u);
    EXPECT_EQ(Viewer.WaterRegions[0]->Bounds, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(Viewer.ZoneID, 111);
    EXPECT_EQ(SectorFile(), Zone111.Sector);   // written only once a zone has loaded whole

    bad.Sector = "[waterdefs]\nnum=1\n[river00]\nbankpoints=2\nleft00=1,2\nright00=3,4\nleft01=5\n";
    test::WriteZone(Game.Path(), 9, bad);
    EXPECT_EQ(Failure(9), DataArchive(9) + ": sector.dat: [river00]: left01: List index out of bounds (1)");
    EXPECT_TRUE(Viewer.WaterRegions.empty());
    EXPECT_EQ(Viewer.ZoneID, 111);
}

TEST_F(LoadZoneTest, UnwritableSectorFileIsLoggedAndTheZoneStillLoads)
{
    LoadFirst();
    // A directory named sector.dat cannot be replaced by a file, whoever runs the test.
    std::filesystem::remove(Work.Path() + "sector.dat");
    std::filesystem::create_directory(Work.Path() + "sector.dat");
    Viewer.LoadZone(5);
    EXPECT_EQ(Viewer.ZoneID, 5);
    EXPECT_TRUE(HeightsOf(Zone5, Viewer));
    ASSERT_EQ(Viewer.WaterRegions.size(), 1u);
    EXPECT_EQ(Viewer.WaterRegions[0]->Bounds, (TRect{100, 90, 120, 100}));
    EXPECT_EQ(Viewer.WaterRegions[0]->Height, 77);
    ASSERT_EQ(Lines.size(), 5u);
    EXPECT_EQ(Lines[3], "Loading water regions...");
    EXPECT_TRUE(Lines[4].starts_with("Cannot write " + test::SystemPath("./sector.dat"))) << Lines[4];
    EXPECT_TRUE(std::filesystem::is_directory(Work.Path() + "sector.dat"));
    EXPECT_EQ(test::DirectoryEntries(Work.Path()), std::vector<std::string>{"sector.dat"});
}

TEST_F(LoadZoneTest, ReadOnlyWorkingDirectory)
{
    SKIP_ON_WINDOWS("a folder's read-only attribute does not stop writing into it");
    LoadFirst();
    ::chmod(Work.Path().c_str(), 0555);
    if (::access(Work.Path().c_str(), W_OK) == 0) {
        ::chmod(Work.Path().c_str(), 0755);
        GTEST_SKIP() << "this user may write into a read-only directory (root); the case of a sector.dat that "
                        "cannot be replaced is tested by UnwritableSectorFileIsLoggedAndTheZoneStillLoads";
    }
    Viewer.LoadZone(5);
    ::chmod(Work.Path().c_str(), 0755);
    EXPECT_EQ(Viewer.ZoneID, 5);
    ASSERT_EQ(Viewer.WaterRegions.size(), 1u);
    EXPECT_EQ(Viewer.WaterRegions[0]->Height, 77);
    ASSERT_EQ(Lines.size(), 5u);
    EXPECT_TRUE(Lines[4].starts_with("Cannot write " + test::SystemPath("./sector.dat"))) << Lines[4];
    EXPECT_EQ(SectorFile(), Zone111.Sector);   // the old file is untouched
    EXPECT_EQ(test::DirectoryEntries(Work.Path()), std::vector<std::string>{"sector.dat"});
}

TEST_F(LoadZoneTest, TextureFailuresKeepTheNewDataButNotTheZoneId)
{
    LoadFirst();
    Viewer.TexturesEnabled = true;
    test::WriteZone(Game.Path(), 9, Zone5, false);   // no texture archive
    EXPECT_EQ(Failure(9), "Cannot open file " + Game.Path() + test::SystemPath("zones/zone009/tex009.mpk"));
    EXPECT_TRUE(HeightsOf(Zone5, Viewer));
    EXPECT_EQ(Viewer.WaterRegions.size(), 1u);
    EXPECT_EQ(Viewer.ZoneID, 111);
    EXPECT_EQ(Lines.size(), 4u);   // no timing line
    EXPECT_TRUE(Viewer.TextureArchives.empty());

    // Whatever the texture step raises names the archive; running out of memory is told
    // as such.
    const std::string textures = ZoneArchivePath(Game.Path(), 5, TZoneArchive::Texture);
    Lines.clear();
    Viewer.FailTextures = true;
    EXPECT_EQ(Failure(5), textures + ": tile missing");
    EXPECT_EQ(Viewer.ZoneID, 111);
    EXPECT_EQ(Lines.size(), 4u);
    EXPECT_EQ(Viewer.TextureArchives.size(), 1u);

    Viewer.FailTextures = false;
    Viewer.RunOutOfMemory = true;
    try {
        Viewer.LoadZone(5);
        ADD_FAILURE() << "zone 5 loaded";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), textures + ": out of memory");
    }
    EXPECT_EQ(Viewer.ZoneID, 111);
}

}  // namespace
}  // namespace orv
