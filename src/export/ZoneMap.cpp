// ZoneMap: row by row, each pixel from its grid triangle, its tile and the water over
// it; then the grid lines and their labels.
#include "export/ZoneMap.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <stdexcept>

#include "base/Exception.h"
#include "export/MapText.h"
#include "export/StagedOutput.h"
#include "scene/FrameMath.h"
#include "writers/PNG.h"

namespace orv {
namespace {

constexpr double ZoneExtent = double{GridCells} * CellSize;   // 65536 world units
constexpr int LocYBase = 65535;                                // Loc Y = 65535 - y
constexpr int BitDepth = 8;
constexpr int RGB = 3;

// The light from the north-west, 45 degrees above the horizon; shading is
// Ambient + (1 - Ambient) (n . L) / L.z, so that level ground keeps its colour.
constexpr double LightX = -0.5, LightY = 0.5, LightZ = 0.70710678118654752;
constexpr double Ambient = 0.45;

// Grid lines darken what they cross; label boxes darken their ground and carry white text.
constexpr double LineKeeps = 0.4;
constexpr double LabelBoxKeeps = 0.45;
constexpr int LinePixelsPerWidth = 2048;   // one pixel of line width per 2048 pixels of map
constexpr int LabelHeightDivisor = 128;
constexpr int MinLabelHeight = 12, MaxLabelHeight = 64;
constexpr int LabelPaddingDivisor = 6;

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// An image and its box-filtered halvings, sampled bilinearly on the level whose texels
// come closest to the pixels they are drawn into (as mipmaps with the nearest level are).
class TTexture {
public:
    TTexture(const TImage& image, bool repeat) : m_Repeat(repeat)
    {
        m_Levels.push_back(ToRGBA(image));
        while (m_Levels.back().Width > 1 || m_Levels.back().Height > 1)
            m_Levels.push_back(Halve(m_Levels.back()));
    }

    int Width() const { return m_Levels[0].Width; }
    int Height() const { return m_Levels[0].Height; }

    // The level for this many texels of level 0 per pixel.
    int LevelFor(double texelsPerPixel) const
    {
        if (texelsPerPixel <= 1.0)
            return 0;
        const int level = static_cast<int>(std::floor(std::log2(texelsPerPixel) + 0.5));
        return std::min(level, static_cast<int>(m_Levels.size()) - 1);
    }

    // u, v in texels of level 0 from the image's top-left corner; r, g, b, a in 0..255.
    std::array<double, 4> Sample(int level, double u, double v) const
    {
        const TImage& image = m_Levels[static_cast<size_t>(level)];
        const double scale = std::ldexp(1.0, -level);
        const double x = u * scale - 0.5, y = v * scale - 0.5;
        const double fx = std::floor(x), fy = std::floor(y);
        const double wx = x - fx, wy = y - fy;
        const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
        std::array<double, 4> result{};
        for (int k = 0; k < 4; ++k) {
            const int tx = Wrap(x0 + (k & 1), image.Width), ty = Wrap(y0 + (k >> 1), image.Height);
            const double w = ((k & 1) ? wx : 1.0 - wx) * ((k >> 1) ? wy : 1.0 - wy);
            if (w == 0.0)
                continue;
            const uint8_t* p = &image.Pixels[(static_cast<size_t>(ty) * static_cast<size_t>(image.Width) +
                                              static_cast<size_t>(tx)) * 4];
            for (int c = 0; c < 4; ++c)
                result[static_cast<size_t>(c)] += w * p[c];
        }
        return result;
    }

private:
    int Wrap(int i, int size) const
    {
        if (m_Repeat)
            return ((i % size) + size) % size;
        return std::clamp(i, 0, size - 1);
    }

    static TImage ToRGBA(const TImage& image)
    {
        if (image.Width <= 0 || image.Height <= 0)
            throw std::invalid_argument("an empty texture");
        TImage out{image.Width, image.Height, 4, {}};
        const size_t pixels = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height);
        out.Pixels.resize(pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* p = &image.Pixels[i * static_cast<size_t>(image.Channels)];
            out.Pixels[i * 4] = p[0];
            out.Pixels[i * 4 + 1] = p[1];
            out.Pixels[i * 4 + 2] = p[2];
            out.Pixels[i * 4 + 3] = image.Channels == 4 ? p[3] : 255;
        }
        return out;
    }

    static TImage Halve(const TImage& image)
    {
        TImage out{std::max(1, image.Width / 2), std::max(1, image.Height / 2), 4, {}};
        out.Pixels.resize(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4);
        for (int y = 0; y < out.Height; ++y)
            for (int x = 0; x < out.Width; ++x)
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int k = 0; k < 4; ++k) {
                        const int sx = std::min(2 * x + (k & 1), image.Width - 1);
                        const int sy = std::min(2 * y + (k >> 1), image.Height - 1);
                        sum += image.Pixels[(static_cast<size_t>(sy) * static_cast<size_t>(image.Width) +
                                             static_cast<size_t>(sx)) * 4 + static_cast<size_t>(c)];
                    }
                    out.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(out.Width) + static_cast<size_t>(x)) * 4 +
                               static_cast<size_t>(c)] = static_cast<uint8_t>((sum + 2) / 4);
                }
        return out;
    }

    bool m_Repeat;
    std::vector<TImage> m_Levels;
};

// Where grid point (gx, gy) of the heightfield lies within its cell's two triangles, as
// weights of the cell's corners a (i, j), b (i + 1, j), c (i + 1, j + 1), d (i, j + 1).
// The diagonal runs through the centre of the cell's 2 x 2 block, as in the export.
struct TCellWeights {
    int i = 0, j = 0;
    double a = 0, b = 0, c = 0, d = 0;
};

TCellWeights CellWeights(double gx, double gy)
{
    TCellWeights w;
    w.i = std::clamp(static_cast<int>(std::floor(gx)), 0, GridCells - 1);
    w.j = std::clamp(static_cast<int>(std::floor(gy)), 0, GridCells - 1);
    const double fx = gx - w.i, fy = gy - w.j;
    if ((w.i + w.j) % 2 == 0) {   // diagonal a-c
        if (fx >= fy) {
            w.a = 1.0 - fx, w.b = fx - fy, w.c = fy;
        } else {
            w.a = 1.0 - fy, w.c = fx, w.d = fy - fx;
        }
    } else {                      // diagonal b-d
        if (fx + fy <= 1.0) {
            w.a = 1.0 - fx - fy, w.b = fx, w.d = fy;
        } else {
            w.b = 1.0 - fy, w.c = fx + fy - 1.0, w.d = 1.0 - fx;
        }
    }
    return w;
}

template <typename F>
double Interpolate(const TCellWeights& w, F value)
{
    return w.a * value(w.i, w.j) + w.b * value(w.i + 1, w.j) + w.c * value(w.i + 1, w.j + 1) +
           w.d * value(w.i, w.j + 1);
}

struct TWaterRect {
    double Left, Right, Near, Far, Height;
    std::array<double, 3> Color;
};

class TCanvas {
public:
    explicit TCanvas(TImage& image) : m_Image(image) {}
    uint8_t* At(int x, int y)
    {
        return &m_Image.Pixels[(static_cast<size_t>(y) * static_cast<size_t>(m_Image.Width) + static_cast<size_t>(x)) * RGB];
    }
    // Keeps the given share of each pixel's colour in the rectangle (clipped).
    void Darken(int x0, int y0, int x1, int y1, double keeps)
    {
        for (int y = std::max(0, y0); y < std::min(m_Image.Height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(m_Image.Width, x1); ++x)
                for (int c = 0; c < RGB; ++c)
                    At(x, y)[c] = ToByte(At(x, y)[c] * keeps);
    }
    void White(const TTextCoverage& text, int left, int top)
    {
        for (int y = 0; y < text.Height; ++y)
            for (int x = 0; x < text.Width; ++x) {
                const int px = left + x, py = top + y;
                const double a = text.Alpha[static_cast<size_t>(y) * static_cast<size_t>(text.Width) + static_cast<size_t>(x)] / 255.0;
                if (a == 0.0 || px < 0 || py < 0 || px >= m_Image.Width || py >= m_Image.Height)
                    continue;
                for (int c = 0; c < RGB; ++c)
                    At(px, py)[c] = ToByte(At(px, py)[c] * (1.0 - a) + 255.0 * a);
            }
    }

private:
    TImage& m_Image;
};

struct TBox {
    int Left, Top, Width, Height;
    bool Overlaps(const TBox& o) const
    {
        return Left < o.Left + o.Width && o.Left < Left + Width && Top < o.Top + o.Height && o.Top < Top + Height;
    }
};

void DrawGrid(TImage& image, int step)
{
    const int n = image.Width;
    const int width = std::max(1, n / LinePixelsPerWidth);
    const int before = width / 2, after = width - before;
    TCanvas canvas(image);
    struct TLine {
        int Value, Column, Row;
    };
    std::vector<TLine> lines;
    std::set<int> columns, rows;   // lines closer than a pixel share it
    const auto extent = static_cast<int64_t>(ZoneExtent);
    for (int64_t v = step; v <= LocYBase; v += step) {
        const auto column = static_cast<int>(v * n / extent);
        const auto row = static_cast<int>(((v + 1) * n + extent - 1) / extent) - 1;
        lines.push_back({static_cast<int>(v), column, row});
        if (columns.insert(column).second)
            canvas.Darken(column - before, 0, column + after, n, LineKeeps);
        if (rows.insert(row).second)
            canvas.Darken(0, row - before, n, row + after, LineKeeps);
    }

    const TMapFont font{std::string(MapFontFile)};
    const int textHeight = std::clamp(n / LabelHeightDivisor, MinLabelHeight, MaxLabelHeight);
    const int pad = std::max(2, textHeight / LabelPaddingDivisor);
    std::vector<TBox> drawn;
    for (const TLine& line : lines) {
        const std::string text = std::to_string(line.Value);
        const int w = font.Width(text, textHeight) + 2 * pad, h = textHeight + 2 * pad;
        // X along the top and bottom edges, right of its line (left of it near the east
        // edge); Y along the left and right edges, below its line (above it near the
        // south edge).
        int left = line.Column + after + pad;
        if (left + w > n)
            left = line.Column - before - pad - w;
        int top = line.Row + after + pad;
        if (top + h > n)
            top = line.Row - before - pad - h;
        std::optional<TTextCoverage> coverage;
        for (const TBox& box : {TBox{left, pad, w, h}, TBox{left, n - pad - h, w, h}, TBox{pad, top, w, h},
                                TBox{n - pad - w, top, w, h}}) {
            // Crowded: the label already there stays readable.
            if (std::any_of(drawn.begin(), drawn.end(), [&](const TBox& other) { return box.Overlaps(other); }))
                continue;
            drawn.push_back(box);
            if (!coverage)
                coverage = font.Render(text, textHeight);
            canvas.Darken(box.Left, box.Top, box.Left + box.Width, box.Top + box.Height, LabelBoxKeeps);
            canvas.White(*coverage, box.Left + pad, box.Top + pad);
        }
    }
}

}  // namespace

void CheckMapOptions(const TMapOptions& options)
{
    if (options.Size < MinMapSize || options.Size > MaxMapSize)
        throw std::invalid_argument("the map size must be from " + std::to_string(MinMapSize) + " to " +
                                    std::to_string(MaxMapSize) + " pixels");
    if (options.GridStep < 0 || options.GridStep > LocYBase)
        throw std::invalid_argument("the grid step must be from 1 to " + std::to_string(LocYBase) + " (0: no grid)");
}

TImage DrawZoneMap(const TZoneSource& zone, const TTileImages& tiles, const TImage* water, const TMapOptions& options)
{
    CheckMapOptions(options);
    const int n = options.Size;
    const double unit = ZoneExtent / n;   // world units per pixel

    std::vector<TTexture> tileTextures;
    tileTextures.reserve(tiles.size());
    for (const TImage& tile : tiles)
        tileTextures.emplace_back(tile, false);

    // The shading factor of every vertex, interpolated across the triangles.
    std::vector<double> shade(static_cast<size_t>(GridVertices) * GridVertices, 1.0);
    if (options.Shade)
        for (int x = 0; x < GridVertices; ++x)
            for (int y = 0; y < GridVertices; ++y) {
                const TVec3f& v = zone.Normals[x][y];
                const double lit = std::max(0.0, v.x * LightX + v.y * LightY + v.z * LightZ) / LightZ;
                shade[static_cast<size_t>(x) * GridVertices + static_cast<size_t>(y)] = Ambient + (1.0 - Ambient) * lit;
            }
    auto shadeAt = [&](int x, int y) { return shade[static_cast<size_t>(x) * GridVertices + static_cast<size_t>(y)]; };
    auto heightAt = [&](int x, int y) { return static_cast<double>(zone.Terrain[x][y].Height); };

    std::vector<TWaterRect> regions;
    std::optional<TTexture> waterTexture;
    if (options.Water && water != nullptr && !zone.WaterRegions.empty()) {
        waterTexture.emplace(*water, true);
        for (const auto& region : zone.WaterRegions) {
            const std::array<TVec3f, 4> c = WaterCorners(*region);
            const auto rgb = PackedColorRGB(region->Color);
            regions.push_back({c[0].x, c[2].x, c[0].y, c[2].y, c[0].z, {rgb[0], rgb[1], rgb[2]}});
        }
    }

    // The texture levels for the map's scale: one texel a pixel at most.
    const int tileSide = PatchCells * CellSize;
    std::vector<int> tileLevels;
    for (const TTexture& tile : tileTextures)
        tileLevels.push_back(tile.LevelFor(tile.Width() * unit / tileSide));
    const int waterLevel = waterTexture ? waterTexture->LevelFor(waterTexture->Width() * unit / CellSize) : 0;
    TImage image{n, n, RGB, {}};
    image.Pixels.resize(static_cast<size_t>(n) * static_cast<size_t>(n) * RGB);
    for (int r = 0; r < n; ++r) {
        const double y = ZoneExtent - (r + 0.5) * unit;
        const double gy = y / CellSize;
        const int py = std::clamp(static_cast<int>(gy / PatchCells), 0, PatchesPerSide - 1);
        for (int c = 0; c < n; ++c) {
            const double x = (c + 0.5) * unit;
            const double gx = x / CellSize;
            const int px = std::clamp(static_cast<int>(gx / PatchCells), 0, PatchesPerSide - 1);
            const TTexture& tile = tileTextures[static_cast<size_t>(px + PatchesPerSide * py)];
            // The tile stands upright: its first row along the patch's far-y edge.
            const double u = (gx - PatchCells * px) * tile.Width() / PatchCells;
            const double v = (PatchCells * (py + 1) - gy) * tile.Height() / PatchCells;
            const std::array<double, 4> texel = tile.Sample(tileLevels[static_cast<size_t>(px + PatchesPerSide * py)], u, v);
            const TCellWeights w = CellWeights(gx, gy);
            const double lit = Interpolate(w, shadeAt);
            std::array<double, 3> color{texel[0] * lit, texel[1] * lit, texel[2] * lit};

            double depth = Interpolate(w, heightAt);
            for (const TWaterRect& region : regions) {
                if (!(x >= region.Left && x < region.Right && y >= region.Near && y < region.Far) ||
                    !(region.Height > depth))
                    continue;
                depth = region.Height;
                // s = x / 256, t = y / 256 in texture widths; t = 0 is the image's first row.
                const std::array<double, 4> wt = waterTexture->Sample(
                    waterLevel, x / CellSize * waterTexture->Width(), y / CellSize * waterTexture->Height());
                const double alpha = WaterAlpha * wt[3] / 255.0;
                for (size_t k = 0; k < 3; ++k)
                    color[k] = color[k] * (1.0 - alpha) + wt[k] * region.Color[k] * alpha;
            }
            uint8_t* out = &image.Pixels[(static_cast<size_t>(r) * static_cast<size_t>(n) + static_cast<size_t>(c)) * RGB];
            for (size_t k = 0; k < 3; ++k)
                out[k] = ToByte(color[k]);
        }
    }
    if (options.GridStep > 0)
        DrawGrid(image, options.GridStep);
    return image;
}

void SaveZoneMap(const TZoneSource& zone, const TMapOptions& options, const std::string& path)
{
    CheckMapOptions(options);
    TStagedOutput output(path);
    const TTileImages tiles = LoadZoneTileImages(zone.GameDir, zone.ZoneID);
    std::optional<TImage> water;
    if (options.Water && !zone.WaterRegions.empty())
        water = LoadWaterTextureImage(zone.GameDir);
    // The drawing and its file fail (memory, writing) with the file's name.
    NamingFailures(path, "", [&] {
        const TImage map = DrawZoneMap(zone, tiles, water ? &*water : nullptr, options);
        output.Write(output.TargetName(), EncodePNG(map.Width, map.Height, map.Channels, BitDepth, map.Pixels));
        output.Commit(output.TargetName());
    });
}

}  // namespace orv
