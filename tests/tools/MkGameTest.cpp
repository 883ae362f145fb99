// The sample game of orvandel-mkgame, read back through the viewer's own readers: the
// heightmaps make land of the intended height range, the water lies in the valleys,
// every tile is there and joins its neighbours, the shared files decode, and two runs
// write the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ToolTestSupport.h"
#include "formats/Bitmap.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"
#include "formats/MPKFile.h"
#include "formats/PCXStream.h"
#include "formats/TGA.h"
#include "zone/Heightfield.h"
#include "zone/IniFile.h"
#include "zone/TextValues.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace orv::tooltest {
namespace {

constexpr int Side = 256;
constexpr int Grid = 257;
constexpr int TileSide = 256;
constexpr int Tiles = 8;
constexpr int MaxHeight = 255 * 48 + 255 * 8;
constexpr int ZoneIds[] = {111, 5, 112};
constexpr int BmpZone = 112;

std::string GameDir()
{
    return SampleGame().string() + "/";
}

std::string DataArchive(int zone)
{
    return ZoneArchiveName(GameDir(), zone, TZoneArchive::Data);
}

std::string TextureArchive(int zone)
{
    return ZoneArchiveName(GameDir(), zone, TZoneArchive::Texture);
}

// Heights as the viewer loads them, [x][y], from the two heightmaps read byte by byte.
struct THeights {
    std::vector<int> Values = std::vector<int>(Grid * Grid, 0);
    int& At(int x, int y) { return Values[x * Grid + y]; }
    int At(int x, int y) const { return Values[x * Grid + y]; }
    int Min = 0, Max = 0;
};

THeights LoadHeights(int zone)
{
    TMPKFile archive(DataArchive(zone));
    TPCXByteStream terrain(archive.ExtractToMemory("terrain.pcx"));
    TPCXByteStream offset(archive.ExtractToMemory("offset.pcx"));
    THeights h;
    h.Min = MaxHeight;
    for (int r = 0; r < Side; ++r) {
        for (int c = 0; c < Side; ++c) {
            const int o = offset.ReadByte();
            const int t = terrain.ReadByte();
            const int v = o * 48 + t * 8;
            h.At(c, Side - r) = v;
            h.Min = std::min(h.Min, v);
            h.Max = std::max(h.Max, v);
        }
        h.At(Side, Side - r) = h.At(Side - 1, Side - r);
    }
    for (int x = 0; x < Grid; ++x)
        h.At(x, 0) = h.At(x, 1);
    return h;
}

// One region as read by the viewer, with its bank points.
struct TRegion {
    TWaterRegion Region;
    std::vector<std::array<int, 4>> Banks;   // left x, y, right x, y
};

std::vector<TRegion> LoadRegions(int zone)
{
    TMPKFile archive(DataArchive(zone));
    const std::vector<uint8_t> text = archive.ExtractToMemory("sector.dat")->Bytes();
    const TIniFile ini(text);
    TWaterRegionList regions;
    ReadWaterRegions(ini, regions);
    std::vector<TRegion> out;
    for (size_t k = 0; k < regions.size(); ++k) {
        char section[16];
        std::snprintf(section, sizeof section, "river%02d", static_cast<int>(k));
        TRegion region{*regions[k], {}};
        const int count = ini.ReadInteger(section, "bankpoints", 0);
        for (int i = 0; i < count; ++i) {
            char left[16], right[16];
            std::snprintf(left, sizeof left, "left%02d", i);
            std::snprintf(right, sizeof right, "right%02d", i);
            const std::string l = ini.ReadString(section, left, "");
            const std::string r = ini.ReadString(section, right, "");
            region.Banks.push_back({CommaField(l, 0), CommaField(l, 1), CommaField(r, 0), CommaField(r, 1)});
        }
        out.push_back(region);
    }
    return out;
}

// Grid vertex rectangle of a region: world x = 256 Left, world y = 256 (255 - y).
struct TGridRect {
    int X0, X1, Y0, Y1;
};

TGridRect GridRect(const TWaterRegion& r)
{
    return {r.Bounds.Left, r.Bounds.Right, 255 - r.Bounds.Bottom, 255 - r.Bounds.Top};
}

std::string TileName(int px, int py, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "tex%02d-%02d.%s", px, Tiles - 1 - py, extension);
    return name;
}

// A tile as RGB, top row first (the far y edge of its patch).
struct TTile {
    std::vector<uint8_t> Rgb;
    const uint8_t* At(int column, int row) const { return Rgb.data() + (row * TileSide + column) * 3; }
    double Luma(int column, int row) const
    {
        const uint8_t* p = At(column, row);
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    }
};

TTile LoadTile(TMPKFile& archive, int px, int py, bool bmp)
{
    TTile tile;
    tile.Rgb.resize(TileSide * TileSide * 3);
    auto stream = archive.ExtractToMemory(TileName(px, py, bmp ? "bmp" : "dds"));
    if (bmp) {
        TBitmap bitmap;
        bitmap.LoadFromStream(*stream);
        for (int row = 0; row < TileSide; ++row)
            for (int x = 0; x < TileSide; ++x) {
                const uint8_t* p = bitmap.Pixels() + (TileSide - 1 - row) * bitmap.RowBytes() + 3 * x;
                uint8_t* q = tile.Rgb.data() + (row * TileSide + x) * 3;
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
            }
    } else {
        TDDSImage dds;
        dds.LoadFromStream(*stream);
        const std::vector<uint8_t> rgba =
            DecodeDXT(dds.GLFormat(), dds.Width(), dds.Height(), {dds.Data(), static_cast<size_t>(dds.DataSize())});
        for (size_t i = 0; i < TileSide * TileSide; ++i)
            std::copy_n(rgba.begin() + static_cast<std::ptrdiff_t>(4 * i), 3, tile.Rgb.begin() + static_cast<std::ptrdiff_t>(3 * i));
    }
    return tile;
}

std::vector<TTile> LoadTiles(int zone)
{
    TMPKFile archive(TextureArchive(zone));
    std::vector<TTile> tiles;
    for (int py = 0; py < Tiles; ++py)
        for (int px = 0; px < Tiles; ++px)
            tiles.push_back(LoadTile(archive, px, py, zone == BmpZone));
    return tiles;
}

// The texel over grid vertex (x, y) in the tiles (index px + 8 py).
double LumaOver(const std::vector<TTile>& tiles, int x, int y)
{
    const int px = std::min(x / 32, Tiles - 1);
    const int py = std::min(y / 32, Tiles - 1);
    const int column = std::clamp((x - 32 * px) * 8, 0, TileSide - 1);
    const int row = std::clamp((32 * py + 32 - y) * 8, 0, TileSide - 1);
    return tiles[px + 8 * py].Luma(column, row);
}

TEST(SampleGameLand, HeightmapsAre256SquareRunLengthPCX)
{
    for (int zone : ZoneIds) {
        TMPKFile archive(DataArchive(zone));
        for (const char* member : {"terrain.pcx", "offset.pcx"}) {
            SCOPED_TRACE(std::to_string(zone) + " " + member);
            const std::vector<uint8_t> pcx = archive.ExtractToMemory(member)->Bytes();
            ASSERT_GE(pcx.size(), 128u);
            auto word = [&](size_t at) { return pcx[at] | pcx[at + 1] << 8; };
            EXPECT_EQ(pcx[0], 0x0A);
            EXPECT_EQ(pcx[2], 1) << "run-length encoded";
            EXPECT_EQ(pcx[3], 8) << "bits per pixel";
            EXPECT_EQ(word(8) - word(4) + 1, Side);
            EXPECT_EQ(word(10) - word(6) + 1, Side);
            EXPECT_EQ(word(66), Side) << "bytes per line";
        }
    }
}

TEST(SampleGameLand, HeightsSpanMostOfTheRangeFromShoreToPeaks)
{
    std::vector<std::vector<int>> all;
    for (int zone : ZoneIds) {
        SCOPED_TRACE(zone);
        const THeights h = LoadHeights(zone);
        // A shore: land that reaches down to the sea floor.
        EXPECT_LT(h.Min, 400);
        if (zone != 5)
            EXPECT_GT(h.Max - h.Min, MaxHeight * 8 / 10) << "mountains";
        else
            EXPECT_GT(h.Max - h.Min, MaxHeight / 2) << "hills";
        // The range the viewer logs agrees with these bytes.
        TMPKFile archive(DataArchive(zone));
        auto terrain = std::make_unique<TTerrain>();
        const THeightRange range = ReadTerrainHeights(archive, *terrain);
        EXPECT_EQ(range.MinZ, h.Min);
        EXPECT_EQ(range.MaxZ, h.Max);
        all.push_back(h.Values);
    }
    // Each zone has a land of its own.
    EXPECT_NE(all[0], all[1]);
    EXPECT_NE(all[0], all[2]);
    EXPECT_NE(all[1], all[2]);
}

TEST(SampleGameLand, LandIsSmoothToFlyOverAndRoughForTheLevelOfDetail)
{
    for (int zone : ZoneIds) {
        SCOPED_TRACE(zone);
        const THeights h = LoadHeights(zone);
        std::vector<int> steps;
        int rough = 0;
        int plains = 0;
        for (int x = 1; x < Side; ++x)
            for (int y = 1; y < Side; ++y) {
                steps.push_back(std::abs(h.At(x + 1, y) - h.At(x, y)));
                steps.push_back(std::abs(h.At(x, y + 1) - h.At(x, y)));
                const int bend = std::abs(h.At(x - 1, y) + h.At(x + 1, y) - 2 * h.At(x, y)) +
                                 std::abs(h.At(x, y - 1) + h.At(x, y + 1) - 2 * h.At(x, y));
                rough += bend > 48;
                plains += bend <= 16 && steps.back() <= 64;
            }
        std::sort(steps.begin(), steps.end());
        const double cells = (Side - 1.0) * (Side - 1.0);
        // Steep mountain sides, but no cliffs: nowhere does the ground jump by more than
        // a few cell widths from one vertex to the next.
        EXPECT_LT(steps[steps.size() * 99 / 100], 700);
        EXPECT_LT(steps.back(), 1600);
        // Some ground where the level of detail must refine, and plains where it need not.
        EXPECT_GT(rough / cells, 0.05);
        EXPECT_GT(plains / cells, 0.2);
    }
}

TEST(SampleGameWater, RegionsLieInValleysJustAboveTheirBeds)
{
    for (int zone : ZoneIds) {
        SCOPED_TRACE(zone);
        const THeights h = LoadHeights(zone);
        const std::vector<TRegion> regions = LoadRegions(zone);
        ASSERT_GE(regions.size(), 3u) << "rivers and lakes";
        std::set<uint32_t> colors;
        for (size_t k = 0; k < regions.size(); ++k) {
            SCOPED_TRACE("river" + std::to_string(k));
            const TRegion& region = regions[k];
            const TWaterRegion& water = region.Region;
            colors.insert(water.Color);
            EXPECT_NE(water.Color, DefaultWaterColor);
            const TGridRect rect = GridRect(water);
            ASSERT_LT(rect.X0, rect.X1);
            ASSERT_LT(rect.Y0, rect.Y1);
            ASSERT_GE(rect.Y0, 0);
            ASSERT_LE(rect.X1, Side);
            int lowest = MaxHeight, flooded = 0;
            for (int x = rect.X0; x <= rect.X1; ++x)
                for (int y = rect.Y0; y <= rect.Y1; ++y) {
                    lowest = std::min(lowest, h.At(x, y));
                    flooded += h.At(x, y) < water.Height;
                }
            EXPECT_GE(flooded, 4) << "the water shows";
            EXPECT_LE(water.Height - lowest, 500) << "just above the bed";
            // The bank points face each other across the water.
            int wet = 0;
            for (const auto& b : region.Banks) {
                // The grid cell holding the point halfway between the two banks.
                const int mx = (b[0] + b[2]) / 2;
                const int my = 255 - (b[1] + b[3] + 1) / 2;
                bool under = false;
                for (int dx = 0; dx <= 1; ++dx)
                    for (int dy = 0; dy <= 1; ++dy)
                        under = under || h.At(mx + dx, my + dy) < water.Height;
                wet += under;
            }
            EXPECT_GE(wet * 10, static_cast<int>(region.Banks.size()) * 7);
        }
        EXPECT_GE(colors.size(), 3u) << "their own colours";
    }
}

TEST(SampleGameWater, NoRegionFloodsTheLandOutsideItsOwnChannel)
{
    // Inside a region's rectangle the flooded vertices form one connected body: a second
    // low patch would show as water standing where no river runs.
    for (int zone : ZoneIds) {
        SCOPED_TRACE(zone);
        const THeights h = LoadHeights(zone);
        for (const TRegion& region : LoadRegions(zone)) {
            const TGridRect rect = GridRect(region.Region);
            const int w = rect.X1 - rect.X0 + 1, ht = rect.Y1 - rect.Y0 + 1;
            std::vector<int> label(static_cast<size_t>(w) * ht, 0);
            int bodies = 0, largest = 0, total = 0;
            for (int sx = 0; sx < w; ++sx)
                for (int sy = 0; sy < ht; ++sy) {
                    if (label[sx * ht + sy] || h.At(rect.X0 + sx, rect.Y0 + sy) >= region.Region.Height)
                        continue;
                    ++bodies;
                    int size = 0;
                    std::vector<std::pair<int, int>> stack{{sx, sy}};
                    label[sx * ht + sy] = bodies;
                    while (!stack.empty()) {
                        const auto [cx, cy] = stack.back();
                        stack.pop_back();
                        ++size;
                        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                            const int nx = cx + dx, ny = cy + dy;
                            if (nx < 0 || ny < 0 || nx >= w || ny >= ht || label[nx * ht + ny] ||
                                h.At(rect.X0 + nx, rect.Y0 + ny) >= region.Region.Height)
                                continue;
                            label[nx * ht + ny] = bodies;
                            stack.push_back({nx, ny});
                        }
                    }
                    largest = std::max(largest, size);
                    total += size;
                }
            // Specks of a vertex or two along a bank are tolerated, a second pool is not.
            EXPECT_GE(largest * 10, total * 9) << "region at " << rect.X0 << "," << rect.Y0 << ": " << bodies
                                               << " separate bodies";
        }
    }
}

TEST(SampleGameTiles, EveryTileIsThereAsA256SquareImage)
{
    for (int zone : ZoneIds) {
        SCOPED_TRACE(zone);
        TMPKFile archive(TextureArchive(zone));
        const bool bmp = zone == BmpZone;
        EXPECT_EQ(archive.Directory().Count(), Tiles * Tiles);
        for (int py = 0; py < Tiles; ++py)
            for (int px = 0; px < Tiles; ++px) {
                const std::string name = TileName(px, py, bmp ? "bmp" : "dds");
                SCOPED_TRACE(name);
                ASSERT_TRUE(archive.Directory().Exists(name));
                EXPECT_FALSE(archive.Directory().Exists(TileName(px, py, bmp ? "dds" : "bmp")));
                auto stream = archive.ExtractToMemory(name);
                if (bmp) {
                    TBitmap bitmap;
                    bitmap.LoadFromStream(*stream);
                    EXPECT_EQ(bitmap.Width(), TileSide);
                    EXPECT_EQ(bitmap.Height(), TileSide);
                    EXPECT_EQ(bitmap.BitsPerPixel(), 24);
                } else {
                    TDDSImage dds;
                    dds.LoadFromStream(*stream);
                    EXPECT_EQ(dds.Width(), static_cast<uint32_t>(TileSide));
                    EXPECT_EQ(dds.Height(), static_cast<uint32_t>(TileSide));
                    EXPECT_EQ(dds.GLFormat(), GL_COMPRESSED_RGBA_S3TC_DXT1);
                    EXPECT_EQ(dds.DataSize(), 32768);
                }
            }
    }
}

TEST(SampleGameTiles, NeighbouringTilesJoinWithoutSeams)
{
    for (int zone : {111, BmpZone}) {
        SCOPED_TRACE(zone);
        const std::vector<TTile> tiles = LoadTiles(zone);
        auto difference = [](const TTile& a, int ac, int ar, const TTile& b, int bc, int br, bool alongRow) {
            double sum = 0.0;
            for (int i = 0; i < TileSide; ++i)
                sum += std::fabs(a.Luma(alongRow ? i : ac, alongRow ? ar : i) - b.Luma(alongRow ? i : bc, alongRow ? br : i));
            return sum / TileSide;
        };
        double seams = 0.0, inside = 0.0;
        int count = 0;
        for (int py = 0; py < Tiles; ++py)
            for (int px = 0; px < Tiles; ++px) {
                const TTile& tile = tiles[px + 8 * py];
                if (px + 1 < Tiles) {
                    // Right edge of this tile against the left edge of the one at +x.
                    seams += difference(tile, TileSide - 1, 0, tiles[px + 1 + 8 * py], 0, 0, false);
                    inside += difference(tile, TileSide - 2, 0, tile, TileSide - 1, 0, false);
                    ++count;
                }
                if (py + 1 < Tiles) {
                    // Top row (far y edge) against the bottom row of the tile at +y.
                    seams += difference(tile, 0, 0, tiles[px + 8 * (py + 1)], 0, TileSide - 1, true);
                    inside += difference(tile, 0, 0, tile, 0, 1, true);
                    ++count;
                }
            }
        EXPECT_LT(seams / count, 1.5 * inside / count + 2.0);
    }
}

TEST(SampleGameTiles, TilesShowTheLandUnderThem)
{
    // Snow and rock over the heights, green and sand in the low land: the mapping of
    // tiles to patches and the row order of each kind of tile put them in their place.
    for (int zone : {111, BmpZone}) {
        SCOPED_TRACE(zone);
        const THeights h = LoadHeights(zone);
        const std::vector<TTile> tiles = LoadTiles(zone);
        double high = 0.0, low = 0.0;
        int highCount = 0, lowCount = 0;
        for (int x = 2; x < Side - 1; x += 2)
            for (int y = 2; y < Side - 1; y += 2) {
                if (h.At(x, y) > 11500) {
                    high += LumaOver(tiles, x, y);
                    ++highCount;
                } else if (h.At(x, y) > 900 && h.At(x, y) < 2500) {
                    low += LumaOver(tiles, x, y);
                    ++lowCount;
                }
            }
        ASSERT_GT(highCount, 10);
        ASSERT_GT(lowCount, 100);
        EXPECT_GT(high / highCount, low / lowCount + 40.0);
    }
}

TEST(SampleGameShared, TexturesDecodeWithTheirIntendedLooks)
{
    const fs::path game = SampleGame();
    auto loadBitmap = [](const fs::path& path) {
        TFileStream file(path.string(), TFileMode::OpenRead);
        TBitmap bitmap;
        bitmap.LoadFromStream(file);
        return bitmap;
    };

    // Detail: grey around the middle, so that doubling tile x detail keeps brightness.
    const TBitmap detail = loadBitmap(game / "zones" / "d00.bmp");
    ASSERT_EQ(detail.Width(), 256);
    ASSERT_EQ(detail.Height(), 256);
    double sum = 0.0, squares = 0.0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = detail.Pixels() + y * detail.RowBytes() + 3 * x;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            sum += p[0];
            squares += p[0] * p[0];
        }
    const double mean = sum / 65536.0;
    EXPECT_NEAR(mean, 128.0, 2.0);
    EXPECT_GT(std::sqrt(squares / 65536.0 - mean * mean), 8.0);

    // Clouds: 32 bits with alpha from clear to thick, tileable.
    {
        TFileStream file((game / "zones" / "sky" / "wisps.tga").string(), TFileMode::OpenRead);
        TTGAImage sky;
        sky.LoadFromStream(file);
        ASSERT_EQ(sky.PixelDepth(), 32);
        ASSERT_EQ(sky.Width(), 256);
        ASSERT_EQ(sky.Height(), 256);
        int clear = 0, thick = 0;
        double wrap = 0.0, step = 0.0;
        for (int y = 0; y < 256; ++y) {
            const uint8_t* row = sky.Data() + y * 256 * 4;
            for (int x = 0; x < 256; ++x) {
                clear += row[4 * x + 3] < 16;
                thick += row[4 * x + 3] > 200;
            }
            wrap += std::abs(row[4 * 255 + 3] - row[3]);
            step += std::abs(row[4 * 1 + 3] - row[3]);
        }
        EXPECT_GT(clear, 65536 / 10);
        EXPECT_GT(thick, 65536 / 50);
        EXPECT_LT(wrap, 2.0 * step + 256.0) << "the right edge continues into the left";
    }

    // Water: 24 bits.
    {
        TFileStream file((game / "zones" / "textures" / "watery.tga").string(), TFileMode::OpenRead);
        TTGAImage water;
        water.LoadFromStream(file);
        EXPECT_EQ(water.PixelDepth(), 24);
        EXPECT_GE(water.Width(), 128);
        EXPECT_EQ(water.Width(), water.Height());
    }

    // Checker: two colours in 32-pixel squares.
    const TBitmap checker = loadBitmap(game / "checker.bmp");
    std::set<std::array<uint8_t, 3>> colours;
    for (int y = 0; y < checker.Height(); ++y)
        for (int x = 0; x < checker.Width(); ++x) {
            const uint8_t* p = checker.Pixels() + y * checker.RowBytes() + 3 * x;
            const uint8_t* first = checker.Pixels() + (y / 32 * 32) * checker.RowBytes() + 3 * (x / 32 * 32);
            EXPECT_TRUE(std::equal(p, p + 3, first)) << x << "," << y;
            colours.insert({p[0], p[1], p[2]});
        }
    EXPECT_EQ(colours.size(), 2u);
}

TEST(SampleGameShared, CompassStripMarksTheDirectionsWhereItsCoordinateSaysSo)
{
    TFileStream file((SampleGame() / "data" / "compass_bar.bmp").string(), TFileMode::OpenRead);
    TBitmap compass;
    compass.LoadFromStream(file);
    const int w = compass.Width(), ht = compass.Height();
    ASSERT_GE(w, 8 * ht) << "a long strip";
    auto pixel = [&](int x, int rowFromTop) {
        return compass.Pixels() + (ht - 1 - rowFromTop) * compass.RowBytes() + 3 * (((x % w) + w) % w);
    };
    auto bright = [&](int x, int row) {
        const uint8_t* p = pixel(x, row);
        return p[0] + p[1] + p[2] > 360;
    };
    // Ticks along the bottom row: one every 15 degrees, 24 in all, where s = angle / 360.
    int ticks = 0;
    for (int x = 0; x < w; ++x)
        ticks += bright(x, ht - 1) && !bright(x - 1, ht - 1);
    EXPECT_EQ(ticks, 24);
    for (int angle = 0; angle < 360; angle += 15)
        EXPECT_TRUE(bright(angle * w / 360, ht - 1) || bright(angle * w / 360 + 1, ht - 1)) << angle;
    // Letters in the upper half: red at north (s = 0, wrapping), light at E, S, W.
    auto ink = [&](int centre, bool red) {
        int count = 0;
        for (int x = centre - ht / 2; x <= centre + ht / 2; ++x)
            for (int row = 0; row < ht / 2; ++row) {
                const uint8_t* p = pixel(x, row);   // b, g, r
                count += red ? (p[2] > 180 && p[1] < 120) : (p[0] > 180 && p[1] > 180 && p[2] > 180);
            }
        return count;
    };
    EXPECT_GT(ink(0, true), 10);
    for (int quarter = 1; quarter < 4; ++quarter) {
        EXPECT_GT(ink(quarter * w / 4, false), 10) << quarter;
        EXPECT_EQ(ink(quarter * w / 4, true), 0) << quarter;
        EXPECT_EQ(ink(quarter * w / 4 + w / 8, false), 0) << "no letter at the intercardinal " << quarter;
    }
}

TEST(SampleGameRuns, TwoRunsWriteTheSameBytes)
{
    ScratchDir first, second;
    ASSERT_EQ(RunProgram(MkGameProgram, {first.File("game")}).ExitCode, 0);
    ASSERT_EQ(RunProgram(MkGameProgram, {second.File("game")}).ExitCode, 0);
    const auto a = Tree(first.Path() / "game");
    const auto b = Tree(second.Path() / "game");
    ASSERT_EQ(a.size(), 11u) << "three zones of two archives and five shared files";
    for (const auto& [name, bytes] : a) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(b.contains(name));
        EXPECT_TRUE(bytes == b.at(name));
    }
    // And the same as the game the other tests read.
    EXPECT_TRUE(a == Tree(SampleGame()));
}

TEST(SampleGameRuns, UsageAndUnwritableTargetsFailClearly)
{
    const TRunResult none = RunProgram(MkGameProgram, {});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_NE(none.Err.find("Usage: orvandel-mkgame DIR"), std::string::npos);

    const TRunResult help = RunProgram(MkGameProgram, {"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("Usage: orvandel-mkgame DIR"), std::string::npos);

    ScratchDir scratch;
    WriteBytes(scratch.File("plain"), {'x'});
    const std::string target = scratch.File("plain") + "/game";
    const TRunResult blocked = RunProgram(MkGameProgram, {target});
    EXPECT_EQ(blocked.ExitCode, 1);
    EXPECT_NE(blocked.Err.find(scratch.File("plain")), std::string::npos) << blocked.Err;
}

}  // namespace
}  // namespace orv::tooltest
