// The heightfield from the two heightmaps, and the normals computed from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "BadFiles.h"
#include "base/Exception.h"
#include "formats/MPKFile.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/Heightfield.h"
#include "zone/Normals.h"
#include "zone/TestZone.h"

namespace orv {
namespace {

class Heights : public ::testing::Test {
protected:
    THeightRange Load(const test::TTestZone& zone)
    {
        TMPKFile archive(test::WriteZone(Dir.Path(), 1, zone, false));
        return ReadTerrainHeights(archive, Terrain);
    }

    test::TTempDir Dir;
    TTerrain Terrain{};
};

TEST_F(Heights, OffsetTimes48PlusTerrainTimes8)
{
    test::TTestZone zone;
    auto pixel = [&](int r, int c, uint8_t o, uint8_t t) {
        zone.OffsetPixels[static_cast<size_t>(r * 256 + c)] = o;
        zone.TerrainPixels[static_cast<size_t>(r * 256 + c)] = t;
    };
    pixel(10, 20, 255, 255);
    pixel(10, 21, 1, 0);
    pixel(10, 22, 0, 1);
    pixel(0, 0, 2, 3);      // top-left: vertex (0, 256)
    pixel(255, 0, 4, 5);    // bottom-left: vertex (0, 1), repeated into (0, 0)
    pixel(255, 255, 6, 7);  // bottom-right: (255, 1), repeated into (256, 1), (255, 0), (256, 0)
    const THeightRange range = Load(zone);
    EXPECT_EQ(Terrain[20][246].Height, 14280);
    EXPECT_EQ(Terrain[21][246].Height, 48);
    EXPECT_EQ(Terrain[22][246].Height, 8);
    EXPECT_EQ(Terrain[0][256].Height, 2 * 48 + 3 * 8);
    EXPECT_EQ(Terrain[0][1].Height, 4 * 48 + 5 * 8);
    EXPECT_EQ(Terrain[0][0].Height, 4 * 48 + 5 * 8);
    for (auto [x, y] : {std::pair{255, 1}, {256, 1}, {255, 0}, {256, 0}})
        EXPECT_EQ(Terrain[x][y].Height, 6 * 48 + 7 * 8) << x << "," << y;
    EXPECT_EQ(range.MinZ, 0);
    EXPECT_EQ(range.MaxZ, 14280);
}

TEST_F(Heights, EdgesRepeatAndTheRangeCoversTheImages)
{
    std::mt19937 random(7);
    const test::TTestZone zone =
        test::TTestZone::FromHeights([&](int, int) { return 8 * static_cast<int>(random() % 1700 + 5); });
    // The level-of-detail fields are not this step's business.
    Terrain[3][3].D2 = 77;
    Terrain[3][3].Subdivided = 255;
    const THeightRange range = Load(zone);
    int minZ = 1 << 30, maxZ = -1;
    for (int x = 0; x < 256; ++x)
        for (int y = 1; y <= 256; ++y) {
            ASSERT_EQ(Terrain[x][y].Height, zone.HeightAt(x, y));
            minZ = std::min(minZ, zone.HeightAt(x, y));
            maxZ = std::max(maxZ, zone.HeightAt(x, y));
        }
    for (int i = 0; i <= 256; ++i) {
        EXPECT_EQ(Terrain[i][0].Height, Terrain[i][1].Height);
        EXPECT_EQ(Terrain[256][i].Height, Terrain[255][i].Height);
    }
    EXPECT_EQ(range.MinZ, minZ);
    EXPECT_EQ(range.MaxZ, maxZ);
    EXPECT_EQ(Terrain[3][3].D2, 77);
    EXPECT_EQ(Terrain[3][3].Subdivided, 255);
}

TEST_F(Heights, AllZeroImagesGiveAFlatGrid)
{
    for (auto& column : Terrain)
        for (auto& v : column)
            v.Height = 999;
    const THeightRange range = Load(test::TTestZone{});
    EXPECT_EQ(range.MinZ, 0);
    EXPECT_EQ(range.MaxZ, 0);
    for (const auto& column : Terrain)
        for (const auto& v : column)
            ASSERT_EQ(v.Height, 0);
}

TEST_F(Heights, AMissingMemberLeavesTheGridAlone)
{
    for (int missing = 0; missing < 2; ++missing) {
        test::TTestZone zone = test::TTestZone::FromHeights([](int x, int) { return 8 * x; });
        (missing == 0 ? zone.WithTerrain : zone.WithOffset) = false;
        TTerrain before{};
        before[5][5].Height = 1234;
        Terrain = before;
        try {
            Load(zone);
            FAIL();
        } catch (const Exception& e) {
            const std::string archive = Dir.Path() + "zones/zone001/dat001.mpk";
            EXPECT_EQ(e.Message(), archive + (missing == 0 ? ": Source stream [terrain.pcx] not found in archive"
                                                           : ": Source stream [offset.pcx] not found in archive"));
        }
        EXPECT_EQ(std::memcmp(&Terrain, &before, sizeof Terrain), 0);
    }
}

TEST_F(Heights, ImagesOfOtherSizesUseTheFirst65536Bytes)
{
    // A short image: what the decoder yields past its end (the last byte again) is used.
    // A larger image: the bytes after the first 65536 are left over.
    const std::vector<uint8_t> small(128 * 128, 3), large(300 * 300, 1);
    const std::string path = Dir.Path() + "sizes.mpk";
    WriteMPK(path, "dat",
             {{"terrain.pcx", EncodePCX8(128, 128, small, {}), 0}, {"offset.pcx", EncodePCX8(300, 300, large, {}), 0}});
    TMPKFile archive(path);
    const THeightRange range = ReadTerrainHeights(archive, Terrain);
    EXPECT_EQ(range.MinZ, 1 * 48 + 3 * 8);
    EXPECT_EQ(range.MaxZ, 1 * 48 + 3 * 8);
    for (const auto& column : Terrain)
        for (const auto& v : column)
            ASSERT_EQ(v.Height, 1 * 48 + 3 * 8);
}

// A heightmap followed by a gigabyte of zeros (a megabyte of deflate): the loader
// inflates no more than it reads, in a process that could not hold the member, and the
// heights are those of the heightmap alone.
TEST_F(Heights, ATrailingGigabyteIsNeverInflated)
{
    const test::TTestZone zone = test::TTestZone::FromHeights([](int x, int y) { return 8 * ((x + 3 * y) % 1700); });
    const THeightRange expected = Load(zone);
    const std::string path = Dir.Path() + "bomb.mpk";
    test::WriteBytes(path, test::ArchiveOfStreams(
                               {{"terrain.pcx", test::ZeroBomb(uint64_t{1} << 30, EncodePCX8(256, 256, zone.TerrainPixels, {}))},
                                {"offset.pcx", test::Deflate(EncodePCX8(256, 256, zone.OffsetPixels, {}))}}));
    const test::TChildOutcome run = test::RunWithMemoryLimit(uint64_t{64} << 20, [&] {
        TMPKFile archive(path);
        auto terrain = std::make_unique<TTerrain>();
        const THeightRange range = ReadTerrainHeights(archive, *terrain);
        if (range.MinZ != expected.MinZ || range.MaxZ != expected.MaxZ ||
            std::memcmp(terrain.get(), &Terrain, sizeof Terrain) != 0)
            throw std::runtime_error("other heights");
    });
    EXPECT_TRUE(run.Succeeded) << run.Message;
}

// --- Normals -----------------------------------------------------------------------------

TEST(Normals, FlatZoneIsStraightUp)
{
    TTerrain terrain{};
    for (auto& column : terrain)
        for (auto& v : column)
            v.Height = 4000;
    TTerrainNormals normals{};
    CreateTerrainNormals(terrain, normals);
    for (const auto& column : normals)
        for (const TVec3f& n : column)
            ASSERT_EQ(n, (TVec3f{0, 0, 1}));
}

TEST(Normals, SlopeInXGivesTheCentralDifferenceNormal)
{
    TTerrain terrain{};
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y)
            terrain[x][y].Height = static_cast<uint16_t>(8 * x);
    TTerrainNormals normals{};
    CreateTerrainNormals(terrain, normals);
    const float length = std::sqrt(16.0f * 16.0f + 512.0f * 512.0f);
    for (int x = 1; x < 256; ++x)
        for (int y = 1; y < 256; ++y) {
            EXPECT_NEAR(normals[x][y].x, -16.0f / length, 1e-7f);
            EXPECT_EQ(normals[x][y].y, 0.0f);
            EXPECT_NEAR(normals[x][y].z, 512.0f / length, 1e-7f);
        }
    EXPECT_NEAR(normals[100][100].x, -0.031235f, 1e-6f);
    EXPECT_NEAR(normals[100][100].z, 0.999512f, 1e-6f);
}

TEST(Normals, RandomHeightsBordersAndUnitLength)
{
    std::mt19937 random(11);
    TTerrain terrain{};
    for (auto& column : terrain)
        for (auto& v : column)
            v.Height = static_cast<uint16_t>(random() % 14281);
    TTerrainNormals normals{};
    CreateTerrainNormals(terrain, normals);
    for (int x = 0; x <= 256; ++x)
        for (int y = 0; y <= 256; ++y) {
            const TVec3f n = normals[x][y];
            if (x == 0 || y == 0 || x == 256 || y == 256) {
                ASSERT_EQ(n, (TVec3f{0, 0, 1}));
                continue;
            }
            // Before normalising the sum is (512 (h(x-1) - h(x+1)), 512 (h(y-1) - h(y+1)), 262144).
            const double ex = 512.0 * (terrain[x - 1][y].Height - terrain[x + 1][y].Height);
            const double ey = 512.0 * (terrain[x][y - 1].Height - terrain[x][y + 1].Height);
            const double ez = 262144.0;
            const double len = std::sqrt(ex * ex + ey * ey + ez * ez);
            ASSERT_NEAR(n.x, ex / len, 2e-7) << x << "," << y;
            ASSERT_NEAR(n.y, ey / len, 2e-7) << x << "," << y;
            ASSERT_NEAR(n.z, ez / len, 2e-7) << x << "," << y;
            ASSERT_GT(n.z, 0.0f);
        }
}

TEST(Normals, RowOneUsesTheRepeatedRowZero)
{
    TTerrain terrain{};
    terrain[10][2].Height = 80;   // y = 0 and y = 1 stay 0
    TTerrainNormals normals{};
    CreateTerrainNormals(terrain, normals);
    EXPECT_LT(normals[10][1].y, 0.0f);   // 512 (h(10,0) - h(10,2)) < 0
    EXPECT_EQ(normals[11][1], (TVec3f{0, 0, 1}));
}

}  // namespace
}  // namespace orv
