// Pictures: properties that hold on any driver, on small games made here, and whole
// pictures of a test landscape compared with references made on llvmpipe.
//
// ORVANDEL_UPDATE_GL_REFERENCES=1 rewrites the references (look at them before
// committing).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "gl/GLTestSupport.h"
#include "scene/Compass.h"

namespace orvtest {
namespace {

using namespace orv;

constexpr int Width = 320;
constexpr int Height = 240;
constexpr int ExactTolerance = 3;
constexpr std::array<int, 3> SkyRGB{128, 153, 230};
constexpr std::array<uint8_t, 3> Red{255, 0, 0};
constexpr std::array<uint8_t, 3> Blue{0, 0, 255};
constexpr std::array<int, 3> CheckerRGB{255, 0, 255};

// Straight down from height z over world (x, y): screen right is +x, up is +y.
void LookDown(TGLViewer& viewer, float x, float y, float z)
{
    viewer.Camera.Pos = {x, y, z};
    viewer.Camera.Pitch = 0.0f;
    viewer.Camera.Heading = 0.0f;
}

std::array<int, 3> Rgb(std::array<uint8_t, 3> c) { return {c[0], c[1], c[2]}; }

// A flat game with the default tile colours, no lighting needed.
class PropertiesTest : public ::testing::Test {
protected:
    static std::string Game(const std::string& name, const std::function<void(TTestGame&)>& change = {})
    {
        const std::string dir = FreshDirectory("pictures-" + name);
        TTestGame game;
        if (change)
            change(game);
        game.Write(dir);
        return dir;
    }
};

TEST_F(PropertiesTest, TheSkyColourWhereTheSkyIs)
{
    // A sky texture of alpha 0 adds nothing over the plain pass: the sky colour shows.
    TViewerRig rig(Game("sky"), Width, Height);
    for (bool bounding : {true, false}) {
        rig.Viewer.BoundingSkybox = bounding;
        const TRGBAImage p = rig.Draw();
        EXPECT_TRUE(PixelNear(p, Width / 2, 5, SkyRGB, ExactTolerance)) << bounding;
        EXPECT_TRUE(PixelNear(p, 10, 30, SkyRGB, ExactTolerance)) << bounding;
    }
}

TEST_F(PropertiesTest, CloudsAreAddedOverTheSky)
{
    // White clouds of alpha 0.5: texel x sky colour + sky colour x 0.5.
    TViewerRig rig(Game("clouds", [](TTestGame& g) { g.Sky = SolidImage(8, 8, {255, 255, 255, 128}, 4); }), Width,
                   Height);
    for (bool bounding : {true, false}) {
        rig.Viewer.BoundingSkybox = bounding;
        const TRGBAImage p = rig.Draw();
        EXPECT_TRUE(PixelNear(p, Width / 2, 5, {192, 230, 255}, ExactTolerance)) << bounding;
    }
}

TEST_F(PropertiesTest, WaterIsBlendedAtSevenTenthsOverTheTerrain)
{
    const std::string dir = Game("water", [](TTestGame& g) {
        // Cells 100..156 in both directions (y counted from the far edge), at height 500.
        g.SectorDat = "[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=100,100\nright00=156,156\n"
                      "height=500\ncolor=0xFF0000\n";
    });
    TViewerRig rig(dir, Width, Height);
    rig.Viewer.ToggleLighting();
    // Over the lake's middle, world (128, 127) cells: tile (4, 3).
    LookDown(rig.Viewer, 128 * 256, 127 * 256, 3000);
    const TRGBAImage p = rig.Draw();
    const auto tile = TileColor(4, 3);
    const std::array<int, 3> expected{static_cast<int>(0.3 * tile[0]), static_cast<int>(0.3 * tile[1]),
                                      static_cast<int>(0.3 * tile[2] + 0.7 * 255)};
    EXPECT_TRUE(PixelNear(p, Width / 2 + 20, Height / 2 + 20, expected, ExactTolerance + 1))
        << PixelAt(p, Width / 2 + 20, Height / 2 + 20)[2];
    // Seen from below its height the lake is culled: the tile shows unblended.
    LookDown(rig.Viewer, 128 * 256, 127 * 256, 400);
    rig.Viewer.Camera.Pitch = 180.0f;   // looking up at the water from below
    const TRGBAImage below = rig.Draw();
    EXPECT_FALSE(PixelNear(below, Width / 2, Height / 2, expected, ExactTolerance + 1));
}

TEST_F(PropertiesTest, TheCompassStripIs48By16PixelsInTheLowerLeftCorner)
{
    const std::string dir = Game("compass", [](TTestGame& g) { g.Compass = SolidImage(64, 16, {255, 0, 0, 255}); });
    for (auto [w, h] : {std::pair{Width, Height}, std::pair{500, 200}}) {
        TViewerRig rig(dir, w, h);
        const TRGBAImage p = rig.Draw();
        int red = 0, minX = w, maxX = -1, minY = h, maxY = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (PixelNear(p, x, y, Rgb(Red), ExactTolerance)) {
                    ++red;
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        EXPECT_EQ(red, 48 * 16) << w << "x" << h;
        EXPECT_EQ(minX, 0);
        EXPECT_EQ(maxX, 47);
        EXPECT_EQ(minY, h - 16);
        EXPECT_EQ(maxY, h - 1);
    }
}

TEST_F(PropertiesTest, BlackAboveTheTerrainTowardsTheOpenSideOfTheBox)
{
    TViewerRig rig(Game("open-side"), Width, Height);
    rig.Viewer.Camera.Pos = {32768, 3000, 2000};
    rig.Viewer.Camera.Heading = 180.0f;   // towards y = 0, past the ceiling's edge
    rig.Viewer.Camera.Pitch = 90.0f;
    TRGBAImage p = rig.Draw();
    EXPECT_TRUE(PixelNear(p, Width / 2, 5, {0, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(p, Width / 2, 60, {0, 0, 0}, 0));
    // The camera-attached panels have no open side.
    rig.Viewer.BoundingSkybox = false;
    p = rig.Draw();
    EXPECT_TRUE(PixelNear(p, Width / 2, 5, SkyRGB, ExactTolerance));
    // Towards the far wall the bounding box is there.
    rig.Viewer.BoundingSkybox = true;
    rig.Viewer.Camera.Heading = 0.0f;
    p = rig.Draw();
    EXPECT_TRUE(PixelNear(p, Width / 2, 5, SkyRGB, ExactTolerance));
}

TEST_F(PropertiesTest, ThePictureKeepsTheViewsOwnAspect)
{
    const std::string dir = Game("aspect");
    // One tile (8192 units) is 120 pixels from 8192 above, across and up alike.
    for (int w : {240, 480}) {
        TViewerRig rig(dir, w, Height);
        rig.Viewer.ToggleLighting();
        LookDown(rig.Viewer, 4 * 8192, 4 * 8192, 8192);
        const TRGBAImage p = rig.Draw();
        const int cx = w / 2, cy = Height / 2;
        for (auto [dx, px] : {std::pair{60, 4}, std::pair{-60, 3}, std::pair{100, 4}, std::pair{-100, 3}})
            EXPECT_TRUE(PixelNear(p, cx + dx, cy - 30, Rgb(TileColor(px, 4)), ExactTolerance)) << w << " " << dx;
        if (w > 240) {
            EXPECT_TRUE(PixelNear(p, cx + 180, cy - 30, Rgb(TileColor(5, 4)), ExactTolerance));
            EXPECT_TRUE(PixelNear(p, cx - 180, cy - 30, Rgb(TileColor(2, 4)), ExactTolerance));
        }
        EXPECT_TRUE(PixelNear(p, cx + 30, cy - 100, Rgb(TileColor(4, 4)), ExactTolerance));
        EXPECT_TRUE(PixelNear(p, cx + 30, cy + 100, Rgb(TileColor(4, 3)), ExactTolerance));
    }
}

// Tiles whose upper image half is red and lower half blue.
std::string SplitTileGame(const std::string& name, TTileKind kind)
{
    const std::string dir = FreshDirectory("pictures-" + name);
    TTestGame game;
    game.TileKind = [kind](int, int) { return kind; };
    game.TileImage = [](int, int) { return SplitImage(32, 32, Red, Blue); };
    game.Write(dir);
    return dir;
}

TEST_F(PropertiesTest, BothTileKindsStandUprightInV1AndCLOD)
{
    for (TTileKind kind : {TTileKind::DDS, TTileKind::BMP}) {
        TViewerRig rig(SplitTileGame(kind == TTileKind::DDS ? "split-dds" : "split-bmp", kind), Width, Height);
        rig.Viewer.ToggleLighting();
        rig.Viewer.DetailTexEnabled = false;
        EXPECT_EQ(rig.Viewer.TilesAreDDS, kind == TTileKind::DDS);
        LookDown(rig.Viewer, 4.5f * 8192, 4.5f * 8192, 8192);
        std::vector<TRGBAImage> pictures;
        for (int tag : {rvCLOD, rvV1}) {
            rig.Viewer.SetRenderer(tag);
            pictures.push_back(rig.Draw());
            const TRGBAImage& p = pictures.back();
            // The image's top (red) lies towards +y, up on the screen.
            EXPECT_TRUE(PixelNear(p, Width / 2, Height / 2 - 30, Rgb(Red), 12)) << tag;
            EXPECT_TRUE(PixelNear(p, Width / 2, Height / 2 + 30, Rgb(Blue), 12)) << tag;
        }
        const TPictureDifference d = ComparePictures(pictures[0], pictures[1], 24);
        EXPECT_LT(d.Share, 0.01);
    }
}

TEST_F(PropertiesTest, ATileWithoutImageIsDrawnWithTheCheckerTexture)
{
    const std::string dir = Game("no-image", [](TTestGame& g) {
        g.TileKind = [](int px, int py) { return px == 4 && py == 4 ? TTileKind::DDS : TTileKind::BMP; };
        g.Checker = SolidImage(8, 8, {255, 0, 255, 255});
    });
    glext::TProcLookup noGL13 = [](const char* name) -> void* {
        return std::string(name) == "glGetCompressedTexImage" ? nullptr : glext::ContextProcLookup(name);
    };
    TViewerRig rig(dir, Width, Height, true, noGL13);
    rig.Viewer.ToggleLighting();
    rig.Viewer.DetailTexEnabled = false;
    LookDown(rig.Viewer, 4.5f * 8192, 4.5f * 8192, 8192);
    for (int tag : {rvCLOD, rvV1}) {
        rig.Viewer.SetRenderer(tag);
        const TRGBAImage p = rig.Draw();
        EXPECT_TRUE(PixelNear(p, Width / 2, Height / 2, CheckerRGB, ExactTolerance)) << tag;
        EXPECT_TRUE(PixelNear(p, Width / 2 + 90, Height / 2, Rgb(TileColor(5, 4)), ExactTolerance)) << tag;
    }
}

TEST_F(PropertiesTest, TheCheckerSwitchActsOnV1Only)
{
    TViewerRig rig(Game("checker", [](TTestGame& g) { g.Checker = SolidImage(8, 8, {255, 0, 255, 255}); }), Width,
                   Height);
    rig.Viewer.ToggleLighting();
    rig.Viewer.DetailTexEnabled = false;
    rig.Viewer.Checkerboard = true;
    LookDown(rig.Viewer, 4.5f * 8192, 4.5f * 8192, 8192);
    rig.Viewer.SetRenderer(rvV1);
    EXPECT_TRUE(PixelNear(rig.Draw(), Width / 2, Height / 2, CheckerRGB, ExactTolerance));
    rig.Viewer.SetRenderer(rvCLOD);
    EXPECT_TRUE(PixelNear(rig.Draw(), Width / 2, Height / 2, Rgb(TileColor(4, 4)), ExactTolerance));
}

TEST_F(PropertiesTest, TheDetailTextureShowsNearTheCameraInV1)
{
    const std::string dir = Game("detail", [](TTestGame& g) {
        // A detail texture of dark and light stripes.
        g.Detail = TImage{16, 16, 3, {}};
        for (int i = 0; i < 256; ++i) {
            const uint8_t v = (i % 16) < 8 ? 64 : 192;
            g.Detail.Pixels.insert(g.Detail.Pixels.end(), {v, v, v});
        }
    });
    TViewerRig rig(dir, Width, Height);
    rig.Viewer.ToggleLighting();
    rig.Viewer.SetRenderer(rvV1);
    LookDown(rig.Viewer, 4.5f * 8192, 4.5f * 8192, 1500);
    const TRGBAImage withDetail = rig.Draw();
    rig.Viewer.DetailTexEnabled = false;
    const TRGBAImage plain = rig.Draw();
    EXPECT_GT(ComparePictures(withDetail, plain, 24).Share, 0.3);
    // Without the multitexture entry points V1 draws the plain picture.
    rig.Viewer.DetailTexEnabled = true;
    rig.Viewer.MultitextureSupported = false;
    EXPECT_EQ(ComparePictures(rig.Draw(), plain, 0).Share, 0.0);
}

TEST_F(PropertiesTest, FogTintsTheDistanceAndWireframeLeavesOutlines)
{
    TViewerRig rig(Game("fog"), Width, Height);
    rig.Viewer.Camera.Pos = {32768, 256, 300};
    rig.Viewer.Camera.Pitch = 90.0f;
    rig.Viewer.BoundingSkybox = false;
    const TRGBAImage clear = rig.Draw();
    rig.Viewer.SetFog(true);
    const TRGBAImage fogged = rig.Draw();
    // The far panels lie 25600 away: all but fog colour.
    EXPECT_TRUE(PixelNear(fogged, Width / 2, 20, {191, 191, 204}, 6));
    EXPECT_FALSE(PixelNear(clear, Width / 2, 20, {191, 191, 204}, 6));
    rig.Viewer.SetFog(false);
    rig.Viewer.ToggleWireframe();
    LookDown(rig.Viewer, 4.5f * 8192, 4.5f * 8192, 2000);
    const TRGBAImage lines = rig.Draw();
    int black = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            black += PixelNear(lines, x, y, {0, 0, 0}, 0);
    EXPECT_GT(black, Width * Height / 4);
}

TEST_F(PropertiesTest, TheCameraAttachedSkyStaysFixedWhileTurning)
{
    const std::string dir = Game("turning", [](TTestGame& g) {
        g.Sky = TImage{16, 16, 4, {}};
        for (int i = 0; i < 256; ++i) {
            const uint8_t v = static_cast<uint8_t>((i * 37) % 256);
            g.Sky.Pixels.insert(g.Sky.Pixels.end(), {v, 255, 255, v});
        }
    });
    TViewerRig rig(dir, Width, Height);
    rig.Viewer.BoundingSkybox = false;
    rig.Viewer.Camera.Pitch = 90.0f;
    auto topRows = [&] {
        TRGBAImage p = rig.Draw();
        p.Pixels.resize(static_cast<size_t>(Width) * 40 * 4);
        p.Height = 40;
        return p;
    };
    const TRGBAImage first = topRows();
    rig.Viewer.Camera.Heading = 40.0f;
    EXPECT_EQ(ComparePictures(first, topRows(), 0).Share, 0.0);
    rig.Viewer.BoundingSkybox = true;
    const TRGBAImage bounding = topRows();
    rig.Viewer.Camera.Heading = 0.0f;
    EXPECT_GT(ComparePictures(bounding, topRows(), 8).Share, 0.1);
}

// --- References ----------------------------------------------------

struct TReferenceCase {
    const char* Name;
    std::function<void(TGLViewer&)> Set;
};

// A landscape of its own, made with the writers, so that the references change only
// when the drawing does: rolling hills, a mountain, two lakes, DDS tiles with a stripe
// pattern and a white top edge, clouds of varying alpha and a noisy detail texture.
TTestGame ReferenceGame()
{
    TTestGame game;
    game.Height = [](int x, int y) {
        const double hills = 2000 + 1500 * std::sin(x / 20.0) * std::cos(y / 17.0);
        const double dx = x - 170, dy = y - 150;
        const double mountain = 6000 * std::exp(-(dx * dx + dy * dy) / 900.0);
        return static_cast<int>(std::max(0.0, hills + mountain)) / 8 * 8;
    };
    game.TileKind = [](int, int) { return TTileKind::DDS; };
    game.TileImage = [](int px, int py) {
        const auto base = TileColor(px, py);
        TImage image{32, 32, 3, {}};
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 32; ++i) {
                const int shade = ((i + j) / 4) % 2 ? 30 : -30;
                for (int c = 0; c < 3; ++c)
                    image.Pixels.push_back(j < 4 ? 255 : static_cast<uint8_t>(std::clamp(base[c] + shade, 0, 255)));
            }
        return image;
    };
    game.SectorDat = "[waterdefs]\nnum=2\n"
                     "[river00]\nbankpoints=1\nleft00=60,150\nright00=90,180\nheight=1700\ncolor=0x804020\n"
                     "[river01]\nbankpoints=2\nleft00=100,40\nright00=110,50\nleft01=200,42\nright01=190,48\n"
                     "height=1500\ncolor=0x00A0C0\n";
    game.Sky = TImage{32, 32, 4, {}};
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) {
            const double a = 128 + 127 * std::sin(i / 3.0) * std::cos(j / 5.0);
            game.Sky.Pixels.insert(game.Sky.Pixels.end(), {255, 255, 255, static_cast<uint8_t>(a)});
        }
    game.Detail = TImage{32, 32, 3, {}};
    for (int i = 0; i < 32 * 32; ++i) {
        const auto v = static_cast<uint8_t>(96 + (i * 7919 % 64));
        game.Detail.Pixels.insert(game.Detail.Pixels.end(), {v, v, v});
    }
    game.Water = SolidImage(8, 8, {200, 220, 255, 255});
    game.Compass = TImage{64, 16, 3, {}};
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 64; ++i) {
            const uint8_t v = i % 16 == 0 ? 0 : 230;
            game.Compass.Pixels.insert(game.Compass.Pixels.end(), {v, v, static_cast<uint8_t>(i * 4)});
        }
    game.Checker = TImage{16, 16, 3, {}};
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            const uint8_t v = ((i / 8) + (j / 8)) % 2 ? 255 : 40;
            game.Checker.Pixels.insert(game.Checker.Pixels.end(), {v, v, 255});
        }
    return game;
}

class ReferenceTest : public ::testing::TestWithParam<TReferenceCase> {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = FreshDirectory("reference-game");
        ReferenceGame().Write(s_Dir);
    }
    static std::string s_Dir;
};
std::string ReferenceTest::s_Dir;

TEST_P(ReferenceTest, MatchesTheReference)
{
    const TReferenceCase& c = GetParam();
    TViewerRig rig(s_Dir, Width, Height);
    c.Set(rig.Viewer);
    const TRGBAImage picture = rig.Draw();
    const std::string reference = SourceDir() + "/tests/shell/reference/" + c.Name + ".png";
    if (std::getenv("ORVANDEL_UPDATE_GL_REFERENCES")) {
        WritePicture(reference, picture);
        GTEST_SKIP() << "reference written: " << reference;
    }
    const TPictureDifference d = ComparePictures(picture, ReadPNG(reference), 32);
    EXPECT_LT(d.Share, 0.015) << c.Name << ": largest channel difference " << d.Largest;
    if (d.Share >= 0.015)
        WritePicture(BinaryDir() + "/tests/shell/" + c.Name + "-actual.png", picture);
}

void Place(TGLViewer& v, int X, int Y, int Z, int h, int p)
{
    v.SetLocation(X, Y, Z, h, p);
    v.UpdateCLOD();
}

INSTANTIATE_TEST_SUITE_P(
    Landscape, ReferenceTest,
    ::testing::Values(
        TReferenceCase{"start-clod", [](TGLViewer&) {}},
        TReferenceCase{"start-v1", [](TGLViewer& v) { v.SetRenderer(rvV1); }},
        TReferenceCase{"start-pointer", [](TGLViewer& v) { v.SetRenderer(rvPointer); }},
        TReferenceCase{"start-fan", [](TGLViewer& v) { v.SetRenderer(rvFan); }},
        TReferenceCase{"above-clod", [](TGLViewer& v) { v.ApplyLocationReply("above"); v.UpdateCLOD(); }},
        TReferenceCase{"southwest-v1-checker",
                       [](TGLViewer& v) {
                           Place(v, 20000, 50535, 6000, 45, 75);
                           v.SetRenderer(rvV1);
                           v.Checkerboard = true;
                           v.ToggleLighting();
                       }},
        TReferenceCase{"southwest-clod-fog",
                       [](TGLViewer& v) {
                           Place(v, 20000, 50535, 6000, 45, 75);
                           v.SetFog(true);
                       }},
        TReferenceCase{"river-v1",
                       [](TGLViewer& v) {
                           Place(v, 30000, 20535, 5000, 45, 70);
                           v.SetRenderer(rvV1);
                       }},
        TReferenceCase{"river-clod-wireframe",
                       [](TGLViewer& v) {
                           Place(v, 30000, 20535, 5000, 45, 70);
                           v.ToggleWireframe();
                       }},
        TReferenceCase{"east-fan-camera-sky",
                       [](TGLViewer& v) {
                           Place(v, 10000, 30000, 6000, 90, 95);
                           v.SetRenderer(rvFan);
                           v.BoundingSkybox = false;
                       }}),
    [](const ::testing::TestParamInfo<TReferenceCase>& param) {
        std::string name = param.param.Name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// At the start camera the eye is 90 above its nearest vertex on a rising slope: the near
// plane keeps clear of the ground, so no clear colour shows below the horizon.
TEST_F(ReferenceTest, NoGroundIsCutAwayNextToTheEye)
{
    for (const uint8_t renderer : {rvV1, rvPointer, rvFan, rvCLOD}) {
        SCOPED_TRACE(int(renderer));
        TViewerRig rig(s_Dir, Width, Height);
        rig.Viewer.SetRenderer(renderer);
        const TRGBAImage picture = rig.Draw();
        // Pitch 80: the horizon lies 10 degrees above the middle, near row 100 of 240.
        // The compass in the lower left corner has black ticks of its own.
        int clear = 0;
        for (int y = Height / 2; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                if (x < CompassWidth && y >= Height - CompassHeight)
                    continue;
                const uint8_t* p = picture.At(x, y);
                clear += p[0] == 0 && p[1] == 0 && p[2] == 0;
            }
        EXPECT_EQ(clear, 0);
        EXPECT_LT(rig.Viewer.Camera.Pos.z, rig.Viewer.Terrain[128][1].Height + 200.0f) << "the eye is near the ground";
    }
}

}  // namespace
}  // namespace orvtest
