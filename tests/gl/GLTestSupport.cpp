// GLTestSupport: the test game writer, the viewer rig and the picture helpers.
#include "gl/GLTestSupport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>
#include <unistd.h>

#include "formats/Stream.h"
#include "writers/MPKWriter.h"
#include "writers/PNG.h"
#include "zone/Textures.h"

extern "C" {
unsigned char* stbi_load(const char* filename, int* x, int* y, int* channels_in_file, int desired_channels);
void stbi_image_free(void* retval_from_stbi_load);
}

namespace orvtest {

using namespace orv;

namespace {

constexpr int HeightmapSide = 256;
constexpr int OffsetStep = 48;
constexpr int TerrainStep = 8;
constexpr int TileSide = 32;

std::vector<uint8_t> GreyPalette()
{
    std::vector<uint8_t> palette(256 * 3);
    for (int i = 0; i < 256; ++i)
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
    return palette;
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// Every test process works in a directory of its own: the zone load writes sector.dat
// into the working directory, and ctest may run several processes at once.
class TOwnWorkingDirectory : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_Previous = std::filesystem::current_path();
        m_Own = m_Previous / ("gltest-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_Own);
        std::filesystem::create_directories(m_Own);
        std::filesystem::current_path(m_Own);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_Previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_Own, ignored);
    }

private:
    std::filesystem::path m_Previous, m_Own;
};

[[maybe_unused]] ::testing::Environment* const OwnWorkingDirectory =
    ::testing::AddGlobalTestEnvironment(new TOwnWorkingDirectory);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace

TImage SolidImage(int width, int height, std::array<uint8_t, 4> rgba, int channels)
{
    TImage image{width, height, channels, {}};
    for (int i = 0; i < width * height; ++i)
        image.Pixels.insert(image.Pixels.end(), rgba.begin(), rgba.begin() + channels);
    return image;
}

TImage SplitImage(int width, int height, std::array<uint8_t, 3> top, std::array<uint8_t, 3> bottom)
{
    TImage image{width, height, 3, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& c = y < height / 2 ? top : bottom;
            image.Pixels.insert(image.Pixels.end(), c.begin(), c.end());
        }
    return image;
}

std::array<uint8_t, 3> TileColor(int px, int py)
{
    return {static_cast<uint8_t>(32 + 28 * px), static_cast<uint8_t>(32 + 28 * py), 96};
}

void TTestGame::Write(const std::string& dir) const
{
    // Heightmaps: pixel column c of scanline r is vertex (c, 256 - r).
    std::vector<uint8_t> offset(HeightmapSide * HeightmapSide), terrain(HeightmapSide * HeightmapSide);
    for (int r = 0; r < HeightmapSide; ++r)
        for (int c = 0; c < HeightmapSide; ++c) {
            const int h = std::clamp(Height(c, HeightmapSide - r), 0, 255 * (OffsetStep + TerrainStep));
            const int o = std::min(255, h / OffsetStep);
            const int t = std::min(255, (h - o * OffsetStep) / TerrainStep);
            offset[r * HeightmapSide + c] = static_cast<uint8_t>(o);
            terrain[r * HeightmapSide + c] = static_cast<uint8_t>(t);
        }
    const std::vector<uint8_t> palette = GreyPalette();
    std::vector<TMPKMember> data{
        {"terrain.pcx", EncodePCX8(HeightmapSide, HeightmapSide, terrain, palette), 0},
        {"offset.pcx", EncodePCX8(HeightmapSide, HeightmapSide, offset, palette), 0},
        {"sector.dat", std::vector<uint8_t>(SectorDat.begin(), SectorDat.end()), 0},
    };
    std::vector<TMPKMember> tiles;
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px) {
            const TImage image = TileImage ? TileImage(px, py) : [&] {
                const auto c = TileColor(px, py);
                return SolidImage(TileSide, TileSide, {c[0], c[1], c[2], 255});
            }();
            const std::string dds = TileMemberName(px, py);
            const std::string bmp = dds.substr(0, dds.size() - 4) + ".bmp";
            auto name = [&](const std::string& n) { return UpperCaseMembers ? Upper(n) : n; };
            const TTileKind kind = TileKind(px, py);
            if (kind == TTileKind::DDS || kind == TTileKind::Both)
                tiles.push_back({name(dds), EncodeDDS(image, FourCCDXT1), 0});
            if (kind == TTileKind::BMP || kind == TTileKind::Both)
                tiles.push_back({name(bmp),
                                 EncodeBMP24(kind == TTileKind::Both && AlternativeImage ? AlternativeImage(px, py)
                                                                                          : image),
                                 0});
        }
    char zoneDir[64];
    std::snprintf(zoneDir, sizeof zoneDir, "zones/zone%03d/", Zone);
    char datName[32], texName[32];
    std::snprintf(datName, sizeof datName, "dat%03d", Zone);
    std::snprintf(texName, sizeof texName, "tex%03d", Zone);
    std::filesystem::create_directories(dir + zoneDir);
    WriteMPK(dir + zoneDir + datName + ".mpk", datName, data, 1);
    WriteMPK(dir + zoneDir + texName + ".mpk", texName, tiles, 1);
    WriteFile(dir + std::string(DetailTextureFile), EncodeBMP24(Detail));
    WriteFile(dir + std::string(SkyTextureFile), EncodeTGA(Sky, false, true));
    WriteFile(dir + std::string(WaterTextureFile), EncodeTGA(Water, false, true));
    WriteFile(dir + std::string(CompassTextureFile), EncodeBMP24(Compass));
    WriteFile(dir + std::string(CheckerTextureFile), EncodeBMP24(Checker));
    for (const auto& [path, bytes] : ExtraFiles)
        WriteFile(dir + path, bytes);
}

std::string FreshDirectory(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::current_path() / name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string() + "/";
}

std::string TSmallGameTest::s_Dir;

void TSmallGameTest::SetUpTestSuite()
{
    s_Dir = FreshDirectory("small-game");
    TTestGame game;
    game.Height = [](int x, int y) { return 800 + ((x * 7 + y * 13) % 9) * 80; };
    game.SectorDat = "[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=10,20\nright00=200,240\n"
                     "height=1200\ncolor=0xFF0000\n";
    game.Write(s_Dir);
}

TViewerRig::TViewerRig(const std::string& gameDir, int width, int height, bool init,
                       const orv::glext::TProcLookup& lookup)
    : Width(width), Height(height),
      PreviousSink(SetLogSink([this](std::string_view line) { LogLines.emplace_back(line); })),
      Context(std::make_unique<THeadlessContext>(width, height))
{
    Viewer.GameDir = gameDir;
    Viewer.CheckerTexturePath = gameDir + std::string(CheckerTextureFile);
    Viewer.ResizeView(width, height);
    Warning = Viewer.LoadExtensions(lookup);
    if (init)
        Viewer.InitView();
}

TViewerRig::~TViewerRig()
{
    Context->MakeCurrent();
    Viewer.ReleaseTextures();
    glext::ClearEntryPoints();
    SetLogSink(PreviousSink);
}

TRGBAImage TViewerRig::Draw()
{
    Viewer.DrawFrame(Frame());
    return Context->ReadPixels();
}

TRGBAImage ReadPNG(const std::string& path)
{
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (data == nullptr)
        throw std::runtime_error("cannot read picture " + path);
    TRGBAImage image{w, h, std::vector<uint8_t>(data, data + static_cast<size_t>(w) * h * 4)};
    stbi_image_free(data);
    return image;
}

void WritePicture(const std::string& path, const TRGBAImage& picture)
{
    WritePNG(path, picture.Width, picture.Height, 3, 8, picture.RGBPixels());
}

TPictureDifference ComparePictures(const TRGBAImage& a, const TRGBAImage& b, int threshold)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return {1.0, 255};
    TPictureDifference result;
    size_t differing = 0;
    const size_t pixels = static_cast<size_t>(a.Width) * a.Height;
    for (size_t i = 0; i < pixels; ++i) {
        int largest = 0;
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(a.Pixels[i * 4 + c] - b.Pixels[i * 4 + c]));
        result.Largest = std::max(result.Largest, largest);
        if (largest > threshold)
            ++differing;
    }
    result.Share = pixels ? static_cast<double>(differing) / static_cast<double>(pixels) : 0.0;
    return result;
}

std::array<int, 3> PixelAt(const TRGBAImage& picture, int x, int y)
{
    const uint8_t* p = picture.At(x, y);
    return {p[0], p[1], p[2]};
}

bool GLEnabled(unsigned cap) { return glIsEnabled(cap) == GL_TRUE; }

int GLInteger(unsigned what)
{
    GLint value = 0;
    glGetIntegerv(what, &value);
    return value;
}

void ExpectNear4(const std::array<float, 4>& actual, const std::array<float, 4>& expected)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "component " << i;
}

bool PixelNear(const TRGBAImage& picture, int x, int y, std::array<int, 3> rgb, int tolerance)
{
    const auto p = PixelAt(picture, x, y);
    for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - rgb[c]) > tolerance)
            return false;
    return true;
}

std::string SourceDir() { return ORVANDEL_SOURCE_DIR; }
std::string BinaryDir() { return ORVANDEL_BINARY_DIR; }

}  // namespace orvtest
