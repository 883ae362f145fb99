// TextureImages: which member a tile comes from, the error texts, and the water texture
// found under the game directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "BadFiles.h"
#include "TestZone.h"
#include "formats/MPKFile.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/TextureImages.h"

namespace orv {
namespace {

using test::TTempDir;

// A 16 x 16 tile of one colour: the DXT encoding keeps it exactly when each channel is
// a value of its five or six bits widened.
TImage Solid(uint8_t r, uint8_t g, uint8_t b)
{
    TImage image{16, 16, 3, {}};
    for (int i = 0; i < 16 * 16; ++i)
        image.Pixels.insert(image.Pixels.end(), {r, g, b});
    return image;
}

std::array<uint8_t, 3> FirstPixel(const TImage& image) { return {image.Pixels[0], image.Pixels[1], image.Pixels[2]}; }

std::string Message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(TileImages, DDSMemberFirstThenItsBitmapWhateverTheLetterCase)
{
    TTempDir dir;
    const std::string path = dir.Path() + "tex111.mpk";
    const TImage red = Solid(255, 0, 0), blue = Solid(0, 0, 255);
    std::vector<TMPKMember> members;
    for (int py = 0; py < 8; ++py)
        for (int px = 0; px < 8; ++px) {
            if (px == 3 && py == 3)
                continue;   // below: both kinds
            members.push_back({TileBitmapMemberName(px, py), EncodeBMP24(blue), 0});
        }
    members.push_back({"TEX03-04.DDS", EncodeDDS(red, FourCCDXT1), 0});
    members.push_back({"tex03-04.bmp", EncodeBMP24(blue), 0});
    WriteMPK(path, "tex111", members);

    TMPKFile archive(path);
    const TTileImages tiles = LoadTileImages(archive);
    for (int i = 0; i < TileCount; ++i) {
        ASSERT_EQ(tiles[i].Channels, 3) << i;
        ASSERT_EQ(tiles[i].Width, 16) << i;
        const auto expected = i == 3 + 8 * 3 ? std::array<uint8_t, 3>{255, 0, 0} : std::array<uint8_t, 3>{0, 0, 255};
        EXPECT_EQ(FirstPixel(tiles[i]), expected) << i;
    }
}

TEST(TileImages, FailuresNameTheArchiveAndTheMember)
{
    TTempDir dir;
    const std::string path = dir.Path() + "tex005.mpk";
    std::vector<uint8_t> damaged = EncodeDDS(Solid(1, 2, 3), FourCCDXT5);
    damaged.resize(damaged.size() / 2);
    WriteMPK(path, "tex005", {{TileMemberName(2, 2), damaged, 0}});
    TMPKFile archive(path);

    const std::string cut = Message([&] { LoadTileImage(archive, 2, 2); });
    EXPECT_EQ(cut.find(path + ": tex02-05.dds: "), 0u) << cut;
    const std::string missing = Message([&] { LoadTileImage(archive, 0, 0); });
    EXPECT_EQ(missing, path + ": Source stream [tex00-07.bmp] not found in archive");
    // The whole set stops at the first tile that fails, in loading order.
    EXPECT_EQ(Message([&] { LoadTileImages(archive); }), missing);

    // A tile without a pixel is the tile's fault, not that of what it is drawn into.
    archive.Close();   // Windows replaces no file that is open
    std::vector<uint8_t> narrow = EncodeDDS(Solid(1, 2, 3), FourCCDXT1);
    PutU32(narrow, 16, 0);   // width
    WriteMPK(path, "tex005", {{TileMemberName(0, 0), narrow, 0}});
    TMPKFile empty(path);
    EXPECT_EQ(Message([&] { LoadTileImage(empty, 0, 0); }),
              path + ": tex00-07.dds: an image of 0 x 16 pixels, a tile without a pixel");
}

// Every tile takes from what the tiles before it left of the zone's budget: tiles that
// fit alone are refused together.
TEST(TileImages, TheTilesShareOneBudget)
{
    TTempDir dir;
    const std::string path = dir.Path() + "tex005.mpk";
    std::vector<test::TStreamMember> members;
    for (int px = 0; px < 3; ++px)
        members.push_back({TileBitmapMemberName(px, 0), test::Deflate(test::RunLengthBMP(4096))});
    test::WriteBytes(path, test::ArchiveOfStreams(members));
    TMPKFile archive(path);
    TTileLoader loader(archive);
    const uint64_t tileBytes = uint64_t{4096} * 4096 * 3;
    ASSERT_LT(2 * tileBytes, MinTileTextureBudget);
    ASSERT_GT(3 * tileBytes, MinTileTextureBudget);
    EXPECT_EQ(loader.Picture(0, 0).Pixels.size(), tileBytes);
    EXPECT_EQ(loader.Picture(1, 0).Pixels.size(), tileBytes);
    EXPECT_EQ(Message([&] { loader.Picture(2, 0); }),
              path + ": tex02-07.bmp: BMP image of 4096 x 4096 pixels needs " + std::to_string(tileBytes) +
                  " bytes, more than the " + std::to_string(MinTileTextureBudget - 2 * tileBytes) +
                  " bytes left of the zone's texture budget");
}

// The 64 tiles held as pixels take at most max(128 MiB, 8 x the archive): a DDS tile of
// 16384 x 16384 (a gigabyte of RGBA) in a quarter megabyte of archive is refused on its
// header, with the bytes of its decoded pixels, in a process that could not decode it.
TEST(TileImages, TilesBeyondTheBudgetAreRefusedBeforeDecoding)
{
    TTempDir dir;
    const std::string path = dir.Path() + "tex005.mpk";
    std::vector<uint8_t> header = EncodeDDS(Solid(1, 2, 3), FourCCDXT5);
    header.resize(128);
    PutU32(header, 12, 16384);   // height
    PutU32(header, 16, 16384);   // width
    test::WriteBytes(path, test::ArchiveOfStreams({{TileMemberName(0, 0), test::ZeroBomb(uint64_t{256} << 20, header)}}));
    const test::TChildOutcome run = test::RunWithMemoryLimit(uint64_t{64} << 20, [&] {
        TMPKFile archive(path);
        LoadTileImages(archive);
    });
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Message, path + ": tex00-07.dds: DDS image of 16384 x 16384 pixels needs 1073741824 bytes, more "
                                  "than the 134217728 bytes left of the zone's texture budget");
}

TEST(WaterTextureImage, FoundIgnoringLetterCaseAndReadTopRowFirst)
{
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() + "Zones/TEXTURES");
    // Stored bottom row first: row 0 of the result is still the picture's top row.
    TImage picture{2, 2, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
    const std::vector<uint8_t> tga = EncodeTGA(picture, false, false);
    WriteWholeFile(dir.Path() + "Zones/TEXTURES/Watery.TGA", tga.data(), tga.size());
    const TImage water = LoadWaterTextureImage(dir.Path());
    EXPECT_EQ(water.Pixels, picture.Pixels);

    TTempDir empty;
    EXPECT_EQ(Message([&] { LoadWaterTextureImage(empty.Path()); }),
              "Cannot open file " + empty.Path() + "zones/textures/watery.tga");
}

}  // namespace
}  // namespace orv
