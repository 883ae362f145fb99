// The zone map: the tiles laid out north up, shading, water, the Loc grid's pixels,
// and the map command's output and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "BadFiles.h"
#include "ExportSupport.h"
#include "export/MapText.h"
#include "export/ZoneMap.h"
#include "zone/TextureImages.h"

namespace orv::exporttest {
namespace {

// A flat zone of height h with straight-up normals and no water.
struct TFlatZone {
    explicit TFlatZone(int h = 0)
    {
        for (int x = 0; x < GridVertices; ++x)
            for (int y = 0; y < GridVertices; ++y) {
                (*Terrain)[x][y].Height = static_cast<uint16_t>(h);
                (*Normals)[x][y] = {0.0f, 0.0f, 1.0f};
            }
    }
    TZoneSource Source() const { return {*Terrain, *Normals, Water, "", 0}; }
    std::unique_ptr<TTerrain> Terrain = std::make_unique<TTerrain>();
    std::unique_ptr<TTerrainNormals> Normals = std::make_unique<TTerrainNormals>();
    TWaterRegionList Water;
};

TImage Solid(int side, int channels, std::initializer_list<uint8_t> color)
{
    TImage image{side, side, channels, {}};
    for (int i = 0; i < side * side; ++i)
        image.Pixels.insert(image.Pixels.end(), color.begin(), color.end());
    return image;
}

TTileImages SolidTiles(uint8_t grey)
{
    TTileImages tiles;
    tiles.fill(Solid(16, 3, {grey, grey, grey}));
    return tiles;
}

std::array<int, 3> Pixel(const TImage& image, int x, int y)
{
    const uint8_t* p = &image.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(image.Width) + static_cast<size_t>(x)) * 3];
    return {p[0], p[1], p[2]};
}

TMapOptions Plain(int size)
{
    TMapOptions options;
    options.Size = size;
    options.GridStep = 0;
    options.Water = false;
    options.Shade = false;
    options.Plain = true;
    return options;
}

TEST(ZoneMap, TilesLieNorthUpAtTheirOwnResolution)
{
    const auto zone = LoadSampleZone(111);
    const TTileImages tiles = LoadZoneTileImages(GameDir(), 111);
    const TImage map = DrawZoneMap(zone->ZoneSource(), tiles, nullptr, Plain(DefaultMapSize));
    ASSERT_EQ(map.Width, 2048);
    ASSERT_EQ(map.Height, 2048);
    ASSERT_EQ(map.Channels, 3);
    // Tile (px, py) fills the square whose top-left pixel is (256 px, 256 (7 - py)),
    // texel for pixel: the north-west tile at the top left, the south-east one at the
    // bottom right.
    for (int py = 0; py < 8; ++py)
        for (int px = 0; px < 8; ++px) {
            const TImage& tile = tiles[static_cast<size_t>(px + 8 * py)];
            for (int row = 0; row < 256; ++row) {
                const uint8_t* expected = &tile.Pixels[static_cast<size_t>(row) * 256 * 3];
                const uint8_t* got = &map.Pixels[((static_cast<size_t>(7 - py) * 256 + row) * 2048 + px * 256) * 3];
                ASSERT_TRUE(std::equal(expected, expected + 256 * 3, got)) << "tile " << px << "," << py << " row " << row;
            }
        }
}

TEST(ZoneMap, ShadingLightsNorthWestSlopesAndDarkensTheOthers)
{
    // A ridge along y = x: its north-west face rises towards the south-east... the grid
    // normals say which way each face looks; level ground keeps the tile's colour.
    TFlatZone zone;
    for (int x = 0; x < GridVertices; ++x)
        for (int y = 0; y < GridVertices; ++y) {
            const int d = x - y;   // distance across the ridge, in cells
            (*zone.Terrain)[x][y].Height = static_cast<uint16_t>(std::max(0, 4000 - 40 * std::abs(d)));
        }
    for (int x = 1; x < 256; ++x)
        for (int y = 1; y < 256; ++y) {
            auto h = [&](int i, int j) { return float((*zone.Terrain)[i][j].Height); };
            TVec3f n{512.0f * (h(x - 1, y) - h(x + 1, y)), 512.0f * (h(x, y - 1) - h(x, y + 1)), 262144.0f};
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            (*zone.Normals)[x][y] = {n.x / length, n.y / length, n.z / length};
        }
    TMapOptions options = Plain(512);
    options.Shade = true;
    const TImage map = DrawZoneMap(zone.Source(), SolidTiles(100), nullptr, options);
    // Pixel (c, r) of a 512 map is grid (c / 2, 256 - r / 2): the face with x < y (north-west
    // of the ridge) looks towards the light, the face with x > y away from it.
    const int facingLight = Pixel(map, 2 * 100, 512 - 2 * 120)[0];   // grid (100, 120)
    const int facingAway = Pixel(map, 2 * 120, 512 - 2 * 100)[0];    // grid (120, 100)
    const int level = Pixel(map, 2 * 20, 512 - 2 * 200)[0];          // far from the ridge
    EXPECT_EQ(level, 100);
    EXPECT_GT(facingLight, 110);
    EXPECT_LT(facingAway, 90);
    // Without shading every pixel keeps the tile's colour.
    const TImage plain = DrawZoneMap(zone.Source(), SolidTiles(100), nullptr, Plain(512));
    EXPECT_EQ(Pixel(plain, 2 * 100, 512 - 2 * 120)[0], 100);
}

TEST(ZoneMap, WaterCoversTheGroundBelowItsSurfaceInItsColour)
{
    TFlatZone zone(400);
    // Ground rising to 2000 in the east half of the first region.
    for (int x = 64; x < GridVertices; ++x)
        for (int y = 0; y < GridVertices; ++y)
            (*zone.Terrain)[x][y].Height = 2000;
    auto add = [&](TRect bounds, int height, uint32_t color) {
        auto region = std::make_unique<TWaterRegion>();
        region->Bounds = bounds;
        region->Height = height;
        region->Color = color;
        zone.Water.push_back(std::move(region));
    };
    add({20, 100, 100, 140}, 1000, 0x0000FF);   // red; x 5120..25600, y 29440..39680
    add({20, 200, 40, 220}, 300, 0xFF0000);     // blue, below the ground: not seen
    TMapOptions options = Plain(256);
    options.Water = true;
    const TImage white = Solid(8, 3, {255, 255, 255});
    const TImage map = DrawZoneMap(zone.Source(), SolidTiles(128), &white, options);
    // A 256 map has one pixel per cell: grid (x, y) at pixel (x, 255 - y).
    const int below = 255 - (255 - 120);   // bank row 120 is world y 256 (255 - 120)
    const std::array<int, 3> water{static_cast<int>(std::lround(0.7 * 255 + 0.3 * 128)),
                                   static_cast<int>(std::lround(0.3 * 128)), static_cast<int>(std::lround(0.3 * 128))};
    EXPECT_EQ(Pixel(map, 40, below), water);                          // inside, over low ground
    EXPECT_EQ(Pixel(map, 80, below), (std::array<int, 3>{128, 128, 128}));   // inside, ground above the water
    EXPECT_EQ(Pixel(map, 10, below), (std::array<int, 3>{128, 128, 128}));   // west of it
    EXPECT_EQ(Pixel(map, 30, 255 - (255 - 210)), (std::array<int, 3>{128, 128, 128}));   // the sunken region
    // Without water the same pixel is ground.
    EXPECT_EQ(Pixel(DrawZoneMap(zone.Source(), SolidTiles(128), &white, Plain(256)), 40, below),
              (std::array<int, 3>{128, 128, 128}));
}

TEST(ZoneMap, LegendShowsEachWaterColourAndPlainLeavesTheDecorationsOut)
{
    TFlatZone zone(0);
    auto add = [&](TRect bounds, uint32_t color) {
        auto region = std::make_unique<TWaterRegion>();
        region->Bounds = bounds;
        region->Height = 1000;
        region->Color = color;
        zone.Water.push_back(std::move(region));
    };
    add({100, 100, 120, 120}, 0x0000FF);
    add({130, 100, 150, 120}, 0x00C000);
    add({160, 100, 180, 120}, 0x0000FF);   // the first colour again: one legend line
    TMapOptions options = Plain(1024);
    options.Water = true;
    const TImage white = Solid(8, 3, {255, 255, 255});
    const TImage plain = DrawZoneMap(zone.Source(), SolidTiles(128), &white, options);
    options.Plain = false;
    const TImage decorated = DrawZoneMap(zone.Source(), SolidTiles(128), &white, options);
    // Over white water a swatch is the colour itself; on the map water is blended over ground.
    auto count = [](const TImage& image, std::array<int, 3> color) {
        int n = 0;
        for (int y = 0; y < image.Height; ++y)
            for (int x = 0; x < image.Width; ++x)
                n += Pixel(image, x, y) == color;
        return n;
    };
    for (const std::array<int, 3> color : {std::array<int, 3>{255, 0, 0}, std::array<int, 3>{0, 192, 0}}) {
        EXPECT_EQ(count(plain, color), 0);
        const int swatch = std::clamp(1024 / 128, 12, 64);
        EXPECT_EQ(count(decorated, color), swatch * swatch);
    }
    // The decorations keep to the corners: the middle of the map is the same.
    for (int y = 1024 / 4; y < 1024 * 3 / 4; ++y)
        for (int x = 1024 / 4; x < 1024 * 3 / 4; ++x)
            ASSERT_EQ(Pixel(plain, x, y), Pixel(decorated, x, y)) << x << "," << y;
    EXPECT_NE(plain.Pixels, decorated.Pixels);
}

TEST(MapText, UTF8TextIsReadAsCharactersAndStrayBytesAsLatin1)
{
    const TMapFont font{std::string(MapFontFile)};
    // U+00E9 in UTF-8, and the same character as one Latin-1 byte, which is no UTF-8.
    const TTextCoverage utf8 = font.Render("caf\xC3\xA9", 20), latin1 = font.Render("caf\xE9", 20);
    EXPECT_EQ(utf8.Width, latin1.Width);
    EXPECT_EQ(utf8.Alpha, latin1.Alpha);
    EXPECT_LT(font.Width("caf\xC3\xA9", 20), font.Width("caf\xC3\xA9\xC3", 20));   // a sequence cut short
}

// The columns and rows of the interior (labels stay near the edges) in which every
// pixel differs between two pictures: the lines. Every other differing pixel is
// reported as a stray.
struct TLines {
    std::set<int> Columns, Rows;
    int Strays = 0;
};
TLines Differences(const TImage& a, const TImage& b, int margin)
{
    const int end = a.Width - margin;
    auto differs = [&](int x, int y) { return Pixel(a, x, y) != Pixel(b, x, y); };
    TLines lines;
    for (int i = margin; i < end; ++i) {
        bool column = true, row = true;
        for (int k = margin; k < end; ++k) {
            column = column && differs(i, k);
            row = row && differs(k, i);
        }
        if (column)
            lines.Columns.insert(i);
        if (row)
            lines.Rows.insert(i);
    }
    for (int y = margin; y < end; ++y)
        for (int x = margin; x < end; ++x)
            if (differs(x, y) && !lines.Columns.contains(x) && !lines.Rows.contains(y))
                ++lines.Strays;
    return lines;
}

TEST(ZoneMap, GridLinesPassThroughTheirLocCoordinates)
{
    TFlatZone zone;
    for (const auto& [size, step] : std::vector<std::pair<int, int>>{{2048, 4096}, {1000, 5000}, {333 * 3, 65535}}) {
        SCOPED_TRACE(std::to_string(size) + " pixels, step " + std::to_string(step));
        TMapOptions options = Plain(size);
        const TImage bare = DrawZoneMap(zone.Source(), SolidTiles(150), nullptr, options);
        options.GridStep = step;
        const TImage grid = DrawZoneMap(zone.Source(), SolidTiles(150), nullptr, options);
        std::set<int> columns, rows;
        for (int v = step; v <= 65535; v += step) {
            // Loc X = x: the column whose square holds x; Loc Y = 65535 - y: the row whose
            // square holds that y, rows counted from the north edge.
            const double unit = 65536.0 / size;
            columns.insert(static_cast<int>(std::floor(v / unit)));
            const double y = 65535 - v;
            for (int r = 0; r < size; ++r)
                if (y >= 65536 - (r + 1) * unit && y < 65536 - r * unit)
                    rows.insert(r);
        }
        const int margin = size / 8;
        std::erase_if(columns, [&](int c) { return c < margin || c >= size - margin; });
        std::erase_if(rows, [&](int r) { return r < margin || r >= size - margin; });
        const TLines seen = Differences(grid, bare, margin);
        EXPECT_EQ(seen.Columns, columns);
        EXPECT_EQ(seen.Rows, rows);
        EXPECT_EQ(seen.Strays, 0);
    }
}

// ---- The command --------------------------------------------------------------------------

std::pair<uint32_t, uint32_t> PNGSize(const std::vector<uint8_t>& png)
{
    auto big = [&](size_t at) { return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 | png[at + 3]; };
    return {big(16), big(20)};
}

TEST(ZoneMap, RunningOutOfMemoryIsToldWithTheMapsFileAndLeavesNothing)
{
    if (!test::MemoryLimitHolds)
        GTEST_SKIP() << "the address space cannot be limited under AddressSanitizer";
    const auto zone = LoadSampleZone(111);
    ScratchDir scratch;
    const std::string path = scratch.File("m.png");
    TMapOptions options;
    options.Size = MaxMapSize;
    // The largest map's picture alone takes 256 MiB; the tiles fit well within the limit.
    const test::TChildOutcome run = test::RunWithMemoryLimit(
        uint64_t{128} << 20, [&] { SaveZoneMap(zone->ZoneSource(), options, path); });
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Message, path + ": out of memory");
    EXPECT_TRUE(fs::is_empty(scratch.Path()));
}

TEST(MapCommand, WritesTheSameBytesEachTime)
{
    ScratchDir scratch;
    const TRunResult first = Tool({"map", GameDir(), "112", "-o", scratch.File("a.png"), "--size", "512"}, scratch.Path().string());
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    EXPECT_EQ(first.Out, scratch.File("a.png") + ": 512 x 512\n");
    const TRunResult second = Tool({"map", GameDir(), "112", "-o", scratch.File("b.png"), "--size", "512"}, scratch.Path().string());
    ASSERT_EQ(second.ExitCode, 0) << second.Err;
    const std::vector<uint8_t> a = ReadBytes(scratch.File("a.png")), b = ReadBytes(scratch.File("b.png"));
    EXPECT_EQ(a, b);
    EXPECT_EQ(PNGSize(a), (std::pair<uint32_t, uint32_t>{512, 512}));
}

// The keyword and text of each tEXt chunk of a PNG.
std::map<std::string, std::string> TextChunks(const std::vector<uint8_t>& png)
{
    std::map<std::string, std::string> text;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 | size_t{png[at + 2]} << 8 | png[at + 3];
        const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at) + 4, png.begin() + static_cast<std::ptrdiff_t>(at) + 8);
        if (type == "tEXt") {
            const std::string body(png.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                                   png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
            text[body.substr(0, body.find('\0'))] = body.substr(body.find('\0') + 1);
        }
        at += 12 + length;
    }
    return text;
}

TEST(MapCommand, TextChunksTellTheZoneGridAndBoundsWithOrWithoutDecorations)
{
    ScratchDir scratch;
    for (const std::string name : {"a.png", "plain.png"}) {
        std::vector<std::string> args{"map", GameDir(), "112", "-o", scratch.File(name), "--size", "256", "--grid", "4096"};
        if (name == "plain.png")
            args.push_back("--plain");
        const TRunResult run = Tool(args, scratch.Path().string());
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
    }
    const auto decorated = ReadBytes(scratch.File("a.png")), plain = ReadBytes(scratch.File("plain.png"));
    EXPECT_NE(decorated, plain);
    const auto text = TextChunks(decorated);
    EXPECT_EQ(TextChunks(plain), text);
    EXPECT_EQ(text.at("Zone"), "112");
    EXPECT_EQ(text.at("Grid step"), "4096");
    EXPECT_EQ(text.at("Title"), "Zone 112 - " + SampleGame().filename().string());
    EXPECT_EQ(text.at("Loc bounds"), "X 0 to 65535 west to east, Y 0 to 65535 north to south");
}

TEST(MapCommand, FailuresNameTheFileAndLeaveNothingBehind)
{
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    fs::create_directories(out);
    TRunResult run = Tool({"map", GameDir(), "6", "-o", (out / "m.png").string()}, scratch.Path().string());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("dat006.mpk"), std::string::npos) << run.Err;

    // A texture archive that is not one.
    const fs::path game = scratch.Path() / "game";
    fs::copy(SampleGame(), game, fs::copy_options::recursive);
    // Named as the tool names it: the game folder as given, then its own separators.
    const std::string texPath = game.string() + "/" + test::SystemPath("zones/zone005/tex005.mpk");
    WriteBytes(texPath, {'M', 'P', 'A', 'K', 0, 1, 2});
    run = Tool({"map", game.string() + "/", "5", "-o", (out / "m.png").string()}, scratch.Path().string());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find(texPath), std::string::npos) << run.Err;

    run = Tool({"map", GameDir(), "5", "-o", (scratch.Path() / "nowhere" / "m.png").string()}, scratch.Path().string());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("Cannot create file " + (scratch.Path() / "nowhere" / "m.png").string()), std::string::npos)
        << run.Err;

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--size", "255"}, {"--size", "8193"}, {"--grid", "-5"}, {"--grid", "x"}}) {
        std::vector<std::string> args{"map", GameDir(), "5", "-o", (out / "m.png").string()};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(Tool(args, scratch.Path().string()).ExitCode, 2) << wrong[1];
    }
    EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
}  // namespace orv::exporttest
