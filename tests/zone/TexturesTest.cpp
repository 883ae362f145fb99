// Texture loading: the 64 tiles (DDS first, BMP alternative), the shared textures, the
// upload parameters and the log lines.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <filesystem>

#include "BadFiles.h"
#include "formats/Bitmap.h"
#include "gl/GLTestSupport.h"
#include "zone/Textures.h"

namespace orvtest {
namespace {

using namespace orv;

constexpr int DXTTolerance = 10;

// The texels of level 0 of a texture, RGBA.
struct TTexels {
    int Width = 0, Height = 0;
    std::vector<uint8_t> RGBA;
    std::array<int, 4> At(int x, int y) const
    {
        const uint8_t* p = &RGBA[(static_cast<size_t>(y) * Width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

TTexels ReadTexture(uint32_t name, int level = 0)
{
    TTexels t;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &t.Width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &t.Height);
    t.RGBA.resize(static_cast<size_t>(t.Width) * t.Height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!t.RGBA.empty())
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, t.RGBA.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return t;
}

GLint InternalFormat(uint32_t name)
{
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    return format;
}

bool ColorNear(std::array<int, 4> texel, std::array<uint8_t, 3> rgb, int tolerance)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(texel[c] - rgb[c]) > tolerance)
            return false;
    return true;
}

uint32_t Tile(const TViewerRig& rig, int px, int py) { return rig.Viewer.TileTextures[px + 8 * py]; }

TEST(TerrainTextures, TheDDSMemberWinsOverItsBMPAlternative)
{
    const std::string dir = FreshDirectory("tex-both");
    TTestGame game;
    game.TileKind = [](int px, int py) { return px == 3 && py == 4 ? TTileKind::Both : TTileKind::BMP; };
    // The DDS member of (3, 4) is red, its BMP alternative blue: the tile must end red.
    game.TileImage = [](int px, int py) {
        const auto c = px == 3 && py == 4 ? std::array<uint8_t, 3>{220, 10, 10} : TileColor(px, py);
        return SolidImage(32, 32, {c[0], c[1], c[2], 255});
    };
    game.AlternativeImage = [](int, int) { return SolidImage(32, 32, {10, 10, 220, 255}); };
    game.Write(dir);
    TViewerRig rig(dir);
    EXPECT_EQ(InternalFormat(Tile(rig, 3, 4)), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    EXPECT_EQ(InternalFormat(Tile(rig, 2, 4)), GL_RGB8);
    EXPECT_TRUE(ColorNear(ReadTexture(Tile(rig, 3, 4)).At(5, 5), {220, 10, 10}, DXTTolerance));
    EXPECT_FALSE(rig.Viewer.TilesAreDDS);   // the last tile is a BMP
}

TEST(TerrainTextures, OnlyBMPTilesLeaveTilesAreDDSOff)
{
    const std::string dir = FreshDirectory("tex-bmp");
    TTestGame game;
    game.Write(dir);
    TViewerRig rig(dir);
    EXPECT_FALSE(rig.Viewer.TilesAreDDS);
    for (int py = 0; py < 8; ++py)
        for (int px = 0; px < 8; ++px) {
            const TTexels t = ReadTexture(Tile(rig, px, py));
            ASSERT_EQ(t.Width, 32);
            EXPECT_TRUE(ColorNear(t.At(0, 0), TileColor(px, py), 0)) << px << "," << py;
        }
    // Tile parameters: clamped, linear, no mipmaps.
    glBindTexture(GL_TEXTURE_2D, Tile(rig, 0, 0));
    GLint wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0, level1 = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
    EXPECT_EQ(wrapS, GL_CLAMP);
    EXPECT_EQ(wrapT, GL_CLAMP);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    EXPECT_EQ(level1, 0);
}

TEST(TerrainTextures, TilesAreDDSFollowsTheLastTile)
{
    const std::string dir = FreshDirectory("tex-last");
    TTestGame allButLast;
    allButLast.TileKind = [](int px, int py) { return px == 7 && py == 7 ? TTileKind::BMP : TTileKind::DDS; };
    allButLast.Write(dir);
    TTestGame onlyLast;
    onlyLast.Zone = 112;
    onlyLast.TileKind = [](int px, int py) { return px == 7 && py == 7 ? TTileKind::DDS : TTileKind::BMP; };
    onlyLast.Write(dir);
    TViewerRig rig(dir);
    EXPECT_FALSE(rig.Viewer.TilesAreDDS);   // 63 DDS tiles, the last one a BMP
    EXPECT_EQ(InternalFormat(Tile(rig, 6, 7)), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    rig.Viewer.LoadZone(112);
    EXPECT_TRUE(rig.Viewer.TilesAreDDS);
    EXPECT_EQ(InternalFormat(Tile(rig, 6, 7)), GL_RGB8);
}

TEST(TerrainTextures, UpperCaseMemberNamesAreFound)
{
    const std::string dir = FreshDirectory("tex-upper");
    TTestGame game;
    game.UpperCaseMembers = true;
    game.TileKind = [](int px, int) { return px % 2 ? TTileKind::DDS : TTileKind::BMP; };
    game.Write(dir);
    TViewerRig rig(dir);
    EXPECT_EQ(InternalFormat(Tile(rig, 1, 0)), GL_COMPRESSED_RGBA_S3TC_DXT1_EXT);
    EXPECT_EQ(InternalFormat(Tile(rig, 0, 0)), GL_RGB8);
    EXPECT_TRUE(ColorNear(ReadTexture(Tile(rig, 0, 5)).At(3, 3), TileColor(0, 5), 0));
}

TEST(TerrainTextures, TheMemberNamesCountRowsFromTheFarEdge)
{
    EXPECT_EQ(TileMemberName(0, 0), "tex00-07.dds");
    EXPECT_EQ(TileMemberName(7, 7), "tex07-00.dds");
    EXPECT_EQ(TileMemberName(3, 1), "tex03-06.dds");
}

TEST(TerrainTextures, LogLinesRunRowByRow)
{
    const std::string dir = FreshDirectory("tex-log");
    TTestGame().Write(dir);
    TViewerRig rig(dir);
    std::vector<std::string> tiles;
    size_t timing = 0;
    for (size_t i = 0; i < rig.LogLines.size(); ++i) {
        if (rig.LogLines[i].starts_with("Loading terrain texture"))
            tiles.push_back(rig.LogLines[i]);
        if (rig.LogLines[i].starts_with("Textures loaded in "))
            timing = i;
    }
    ASSERT_EQ(tiles.size(), 64u);
    EXPECT_EQ(tiles[0], "Loading terrain texture (0,0)...");
    EXPECT_EQ(tiles[1], "Loading terrain texture (1,0)...");
    EXPECT_EQ(tiles[8], "Loading terrain texture (0,1)...");
    EXPECT_EQ(tiles[63], "Loading terrain texture (7,7)...");
    EXPECT_GT(timing, 0u);
    EXPECT_EQ(rig.LogLines[timing - 1], "Loading terrain texture (7,7)...");
    // The shared textures follow, in their order, without OpenGL errors.
    const std::vector<std::string> shared(rig.LogLines.begin() + static_cast<long>(timing) + 1, rig.LogLines.end());
    EXPECT_EQ(shared, (std::vector<std::string>{"Loading detail texture...", "Loading skybox texture...",
                                                "Loading water texture...", "Loading compass texture...",
                                                "Loading checker terrain texture..."}));
}

TEST(TerrainTextures, AMissingTileStopsTheLoadHalfway)
{
    const std::string dir = FreshDirectory("tex-missing");
    TTestGame first;
    first.TileImage = [](int, int) { return SolidImage(32, 32, {0, 200, 0, 255}); };
    first.Write(dir);
    TTestGame second;
    second.Zone = 112;
    second.TileKind = [](int px, int py) { return px == 2 && py == 1 ? TTileKind::Missing : TTileKind::BMP; };
    second.TileImage = [](int, int) { return SolidImage(32, 32, {0, 0, 200, 255}); };
    second.Write(dir);
    TViewerRig rig(dir);
    try {
        rig.Viewer.LoadZone(112);
        FAIL() << "the missing tile was not reported";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), dir + test::SystemPath("zones/zone112/tex112.mpk") + ": Source stream [tex02-06.bmp] not found in archive");
    }
    EXPECT_EQ(rig.Viewer.ZoneID, 111);
    EXPECT_TRUE(ColorNear(ReadTexture(Tile(rig, 1, 1)).At(0, 0), {0, 0, 200}, 0));   // loaded before
    EXPECT_TRUE(ColorNear(ReadTexture(Tile(rig, 3, 1)).At(0, 0), {0, 200, 0}, 0));   // the old zone's
}

// The zone's tiles take at most max(128 MiB, 8 x the texture archive) of decoded images
// and none may be larger than the driver's largest texture: such a tile is refused on
// its header, naming the archive and the member, before any pixel is decoded.
TEST(TerrainTextures, TilesBeyondTheBudgetOrTheLargestTextureAreRefused)
{
    const std::string dir = FreshDirectory("tex-budget");
    TTestGame game;
    game.Write(dir);
    TViewerRig rig(dir);
    const std::string archive = dir + test::SystemPath("zones/zone111/tex111.mpk");

    // 64 tiles of 8192 x 8192 in a few kilobytes: 192 MiB each once decoded.
    std::vector<test::TStreamMember> members;
    for (int px = 0; px < 8; ++px)
        for (int row = 0; row < 8; ++row)
            members.push_back({TileMemberName(px, 7 - row).replace(9, 3, "bmp"), test::Deflate(test::RunLengthBMP(8192))});
    test::WriteBytes(archive, test::ArchiveOfStreams(members));
    try {
        rig.Viewer.LoadZone(111);
        ADD_FAILURE() << "the tiles were taken";
    } catch (const EImageTooLarge& e) {
        EXPECT_EQ(e.Message(), archive + ": tex00-07.bmp: BMP image of 8192 x 8192 pixels needs 201326592 bytes, "
                                         "more than the 134217728 bytes left of the zone's texture budget");
    }

    // A DDS tile one pixel wider than the largest texture: refused on its header.
    const uint64_t largest = MaxTextureSide();
    ASSERT_GT(largest, 0u);
    std::vector<uint8_t> dds(128, 0);
    const std::vector<uint32_t> words{0x20534444, 124, 0x1007, 4, static_cast<uint32_t>(largest + 1)};
    for (size_t i = 0; i < words.size(); ++i)
        PutU32(dds, i * 4, words[i]);
    PutU32(dds, 80, 4);
    PutU32(dds, 84, 0x31545844);   // "DXT1"
    dds.resize(dds.size() + (largest + 4) / 4 * 8, 0);
    test::WriteBytes(archive, test::ArchiveOfStreams({{TileMemberName(0, 0), test::Deflate(dds)}}));
    try {
        rig.Viewer.LoadZone(111);
        ADD_FAILURE() << "the tile was taken";
    } catch (const EImageTooLarge& e) {
        EXPECT_EQ(e.Message(), archive + ": tex00-07.dds: DDS image of " + std::to_string(largest + 1) +
                                   " x 4 pixels is larger than the largest texture (" + std::to_string(largest) +
                                   " pixels a side)");
    }
}

// A damaged shared texture names its file (the viewer's message box shows the text).
TEST(SharedTextures, ErrorsNameTheFile)
{
    const std::string dir = FreshDirectory("tex-shared-named");
    TTestGame game;
    game.Write(dir);
    const std::string sky = dir + std::string(SkyTextureFile);
    std::vector<uint8_t> claim{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 32, 0x20};
    claim.resize(1000, 0);
    test::WriteBytes(sky, claim);
    TViewerRig rig(dir, 32, 32, false);
    rig.Viewer.InitBaseState();
    try {
        rig.Viewer.LoadSharedTextures();
        ADD_FAILURE() << "the sky was taken";
    } catch (const EImageTooLarge& e) {
        EXPECT_EQ(e.Message(), sky + ": TGA image of 65535 x 65535 pixels (17179344900 bytes) cannot come from the 982 "
                                     "bytes left in the file");
    }
    test::WriteBytes(sky, {'B', 'M'});
    const std::string detail = dir + std::string(DetailTextureFile);
    test::WriteBytes(detail, {'B', 'M', 0});
    try {
        rig.Viewer.LoadSharedTextures();
        ADD_FAILURE() << "the detail texture was taken";
    } catch (const EBitmapError& e) {
        EXPECT_EQ(e.Message(), detail + ": BMP file is truncated");
    }
}

// A texture file that ends before its pixels is shown as read, with a warning naming
// the file; the texels that are there are the file's.
TEST(SharedTextures, AFileCutShortIsShownWithAWarning)
{
    const std::string dir = FreshDirectory("tex-shared-cut");
    TTestGame game;
    game.Write(dir);
    const std::string sky = dir + std::string(SkyTextureFile);
    TImage picture{4, 4, 3, std::vector<uint8_t>(4 * 4 * 3, 200)};
    std::vector<uint8_t> file = EncodeTGA(picture, false, true);
    file.resize(18 + 4 * 3);   // the header and the top row
    test::WriteBytes(sky, file);
    TViewerRig rig(dir);
    EXPECT_NE(std::find(rig.LogLines.begin(), rig.LogLines.end(), sky + ": TGA pixel data cut short; shown as read"),
              rig.LogLines.end());
    EXPECT_TRUE(ColorNear(ReadTexture(rig.Viewer.SkyTexture).At(0, 0), {200, 200, 200}, 0));
}

TEST(SharedTextures, ParametersAndMipmaps)
{
    const std::string dir = FreshDirectory("tex-shared");
    TTestGame().Write(dir);
    TViewerRig rig(dir);
    struct TExpect {
        uint32_t Name;
        GLint MinFilter;
        bool Mipmaps;
    };
    for (const TExpect& e : {TExpect{rig.Viewer.DetailTexture, GL_LINEAR_MIPMAP_NEAREST, true},
                             TExpect{rig.Viewer.SkyTexture, GL_LINEAR, false},
                             TExpect{rig.Viewer.WaterTexture, GL_LINEAR_MIPMAP_NEAREST, true},
                             TExpect{rig.Viewer.CompassTexture, GL_LINEAR, false},
                             TExpect{rig.Viewer.CheckerTexture, GL_LINEAR, false}}) {
        glBindTexture(GL_TEXTURE_2D, e.Name);
        GLint wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0, level1 = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
        EXPECT_EQ(wrapS, GL_REPEAT) << e.Name;
        EXPECT_EQ(wrapT, GL_REPEAT) << e.Name;
        EXPECT_EQ(minFilter, e.MinFilter) << e.Name;
        EXPECT_EQ(magFilter, GL_LINEAR) << e.Name;
        EXPECT_EQ(level1 > 0, e.Mipmaps) << e.Name;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SharedTextures, APaletteBitmapIsUploadedInItsColours)
{
    const std::string dir = FreshDirectory("tex-palette");
    TTestGame game;
    std::vector<uint8_t> indices(8 * 8);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>(i % 2);
    const std::vector<uint8_t> palette{200, 30, 40, 10, 20, 250};
    game.ExtraFiles = {{std::string(DetailTextureFile), EncodeBMP8(8, 8, indices, palette)}};
    game.Write(dir);
    TViewerRig rig(dir);
    const TTexels t = ReadTexture(rig.Viewer.DetailTexture);
    ASSERT_EQ(t.Width, 8);
    EXPECT_EQ(t.At(0, 7), (std::array<int, 4>{200, 30, 40, 255}));   // top row, first pixel
    EXPECT_EQ(t.At(1, 7), (std::array<int, 4>{10, 20, 250, 255}));
}

TEST(SharedTextures, A32BitTGAKeepsItsAlphaAndColours)
{
    const std::string dir = FreshDirectory("tex-tga32");
    TTestGame game;
    game.Sky = SolidImage(4, 2, {10, 200, 30, 77}, 4);
    game.Sky.Pixels[0] = 250;   // the top left pixel is more red
    game.Write(dir);
    TViewerRig rig(dir);
    const TTexels t = ReadTexture(rig.Viewer.SkyTexture);
    ASSERT_EQ(t.Width, 4);
    EXPECT_EQ(t.At(1, 0), (std::array<int, 4>{10, 200, 30, 77}));
    EXPECT_EQ(t.At(0, 0), (std::array<int, 4>{250, 200, 30, 77}));   // top row at t = 0
    EXPECT_EQ(InternalFormat(rig.Viewer.SkyTexture), GL_RGBA);
}

TEST(SharedTextures, A24BitTGAOfAnyWidthIsReadExactly)
{
    const std::string dir = FreshDirectory("tex-tga-odd");
    TTestGame game;
    // 5 x 3 pixels: rows of 15 bytes, which the default alignment of 4 would misread.
    game.Sky = TImage{5, 3, 3, {}};
    for (int i = 0; i < 15; ++i)
        game.Sky.Pixels.insert(game.Sky.Pixels.end(),
                               {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(100 + i), static_cast<uint8_t>(i)});
    game.Write(dir);
    TViewerRig rig(dir);
    const TTexels t = ReadTexture(rig.Viewer.SkyTexture);
    ASSERT_EQ(t.Width, 5);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int i = y * 5 + x;
            EXPECT_EQ(t.At(x, y), (std::array<int, 4>{i * 10, 100 + i, i, 255})) << x << "," << y;
        }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);   // restored for the bitmaps that follow
    // The compass and checker bitmaps after it are still read right.
    EXPECT_TRUE(ColorNear(ReadTexture(rig.Viewer.CompassTexture).At(0, 0), {255, 0, 0}, 0));
}

TEST(SharedTextures, AMissingFileStopsAtItsRow)
{
    const std::string dir = FreshDirectory("tex-shared-missing");
    TTestGame().Write(dir);
    std::filesystem::remove(dir + std::string(WaterTextureFile));
    TViewerRig rig(dir, 32, 32, false);
    rig.Viewer.InitBaseState();
    try {
        rig.Viewer.LoadSharedTextures();
        FAIL() << "the missing water texture was not reported";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file " + dir + std::string(WaterTextureFile));
    }
    EXPECT_EQ(ReadTexture(rig.Viewer.SkyTexture).Width, 16);
    EXPECT_EQ(ReadTexture(rig.Viewer.CompassTexture).Width, 0);
}

TEST(WithoutOpenGL13, DDSTilesTakeTheirBMPAlternativeOrNoImage)
{
    const std::string dir = FreshDirectory("tex-nogl13");
    TTestGame game;
    game.TileKind = [](int px, int) { return px == 0 ? TTileKind::DDS : px == 1 ? TTileKind::Both : TTileKind::BMP; };
    game.Write(dir);
    glext::TProcLookup lookup = [](const char* name) -> void* {
        return std::string(name) == "glCompressedTexImage1D" ? nullptr : glext::ContextProcLookup(name);
    };
    TViewerRig rig(dir, 320, 240, true, lookup);
    EXPECT_FALSE(rig.Viewer.GL13Supported);
    EXPECT_EQ(InternalFormat(Tile(rig, 1, 3)), GL_RGB8);             // the alternative
    EXPECT_EQ(ReadTexture(Tile(rig, 0, 3)).Width, 0);                 // no image
    EXPECT_TRUE(rig.Viewer.TileWithoutImage[0 + 8 * 3]);
    EXPECT_FALSE(rig.Viewer.TileWithoutImage[1 + 8 * 3]);
    int withoutImage = 0, alternative = 0;
    for (const std::string& line : rig.LogLines) {
        withoutImage += line == "No OpenGL 1.3 support: tex00-04.dds not uploaded, the tile is drawn with the "
                                "checker texture";
        alternative += line == "No OpenGL 1.3 support: tex01-04.dds not uploaded, tex01-04.bmp used instead";
    }
    EXPECT_EQ(withoutImage, 1);
    EXPECT_EQ(alternative, 1);
}

}  // namespace
}  // namespace orvtest
