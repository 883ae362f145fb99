// GLTestSupport: what the OpenGL tests share: a small game directory written with the
// project's writers, an offscreen viewer started as the window starts, picture reading
// and comparison.
//
//   TTestGame game;                         // flat zone 111, BMP tiles, shared textures
//   game.TileKind = [](int px, int py) { return TTileKind::DDS; };
//   game.Write(dir);
//   TViewerRig rig(dir);                    // context, extensions, resize, InitView
//   rig.Viewer.DrawFrame(rig.Frame());
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "shell/GLViewer.h"
#include "shell/HeadlessContext.h"
#include "writers/ImageWriters.h"

namespace orvtest {

enum class TTileKind { DDS, BMP, Both, Missing };

// A solid picture, top row first.
orv::TImage SolidImage(int width, int height, std::array<uint8_t, 4> rgba, int channels = 3);
// A picture whose top half has one colour and bottom half another.
orv::TImage SplitImage(int width, int height, std::array<uint8_t, 3> top, std::array<uint8_t, 3> bottom);

struct TTestGame {
    int Zone = 111;
    // Height of grid vertex (x, y) for x 0..255 and y 1..256 (multiples of 8 are exact).
    std::function<int(int x, int y)> Height = [](int, int) { return 0; };
    std::function<TTileKind(int px, int py)> TileKind = [](int, int) { return TTileKind::BMP; };
    // The image of the tile of patch (px, py); default: a colour of its own per tile.
    std::function<orv::TImage(int px, int py)> TileImage;
    // The image of the BMP member of a tile that has both members; default TileImage.
    std::function<orv::TImage(int px, int py)> AlternativeImage;
    bool UpperCaseMembers = false;
    std::string SectorDat = "[waterdefs]\nnum=0\n";
    orv::TImage Detail = SolidImage(16, 16, {128, 128, 128, 255});
    orv::TImage Sky = SolidImage(16, 16, {255, 255, 255, 0}, 4);   // 32-bit
    orv::TImage Water = SolidImage(16, 16, {255, 255, 255, 255});
    orv::TImage Compass = SolidImage(64, 16, {255, 0, 0, 255});
    orv::TImage Checker = SolidImage(8, 8, {255, 0, 255, 255});
    // Extra files written as they are, relative to the game directory.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> ExtraFiles;

    // Writes zones/zoneNNN/datNNN.mpk and texNNN.mpk, the shared textures and
    // checker.bmp into dir (which ends in '/').
    void Write(const std::string& dir) const;
};

// The default colour of tile (px, py).
std::array<uint8_t, 3> TileColor(int px, int py);

// A fresh directory under the test's working directory, ending in '/'.
std::string FreshDirectory(const std::string& name);

// An offscreen context and a viewer started like the window: resize, extensions,
// InitView. The working directory must be writable (sector.dat lands there).
class TViewerRig {
public:
    explicit TViewerRig(const std::string& gameDir, int width = 320, int height = 240, bool init = true,
                        const orv::glext::TProcLookup& lookup = {});
    ~TViewerRig();

    orv::TFrameGeometry Frame() const
    {
        orv::TFrameGeometry frame;
        frame.ViewWidth = Width;
        frame.ViewHeight = Height;
        return frame;
    }
    // Draws one frame and reads it back.
    orv::TRGBAImage Draw();

    int Width, Height;
    std::vector<std::string> LogLines;     // the log while the rig lives
    orv::TLogSink PreviousSink;
    std::unique_ptr<orv::THeadlessContext> Context;
    orv::TGLViewer Viewer;
    std::string Warning;
};

// A test whose every case starts a fresh 64 x 48 viewer on one small game written for
// the suite: uneven ground and one river of the packed colour 0xFF0000 (blue).
class TSmallGameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override { m_Rig = std::make_unique<TViewerRig>(s_Dir, 64, 48); }
    void TearDown() override { m_Rig.reset(); }
    orv::TGLViewer& Viewer() { return m_Rig->Viewer; }

    static std::string s_Dir;
    std::unique_ptr<TViewerRig> m_Rig;
};

// Pictures.
orv::TRGBAImage ReadPNG(const std::string& path);
void WritePicture(const std::string& path, const orv::TRGBAImage& picture);
struct TPictureDifference {
    double Share = 0.0;     // of the pixels whose largest channel difference passes the threshold
    int Largest = 0;        // the largest channel difference seen
};
TPictureDifference ComparePictures(const orv::TRGBAImage& a, const orv::TRGBAImage& b, int threshold);
// True when every channel of the pixel is within tolerance of rgb.
bool PixelNear(const orv::TRGBAImage& picture, int x, int y, std::array<int, 3> rgb, int tolerance);
std::array<int, 3> PixelAt(const orv::TRGBAImage& picture, int x, int y);

// The context's state, read back.
bool GLEnabled(unsigned cap);
int GLInteger(unsigned what);
// Four values each within 1e-5 of the expected.
void ExpectNear4(const std::array<float, 4>& actual, const std::array<float, 4>& expected);

// Where the sources and the built tools are.
std::string SourceDir();
std::string BinaryDir();

}  // namespace orvtest
