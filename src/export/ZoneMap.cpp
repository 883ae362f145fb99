// ZoneMap: row by row, each pixel from its grid triangle, its tile and the water over
// it; then the grid lines and their labels.
#include "export/ZoneMap.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <stdexcept>

#include "base/Exception.h"
#include "base/Format.h"
#include "export/MapText.h"
#include "export/Parallel.h"
#include "export/StagedOutput.h"
#include "scene/FrameMath.h"
#include "writers/PNG.h"
#include "zone/WaterRegions.h"

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

// Rounded to the nearest byte, halves up (v + 0.5 truncated, once clamped to 0..255).
uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5); }

// An image and its box-filtered halvings, sampled bilinearly on the level whose texels
// come closest to the pixels they are drawn into (as mipmaps with the nearest level are).
// Only the halvings down to that level are made.
class TTexture {
public:
    // texelsPerPixel: texels of the image per pixel of the picture drawn.
    TTexture(const TImage& image, bool repeat, double texelsPerPixel) : m_Repeat(repeat)
    {
        m_Levels.push_back(ToRGBA(image));
        const int wanted = texelsPerPixel <= 1.0 ? 0 : static_cast<int>(std::floor(std::log2(texelsPerPixel) + 0.5));
        while (static_cast<int>(m_Levels.size()) <= wanted && (m_Levels.back().Width > 1 || m_Levels.back().Height > 1))
            m_Levels.push_back(Halve(m_Levels.back()));
    }

    int Width() const { return m_Levels[0].Width; }
    int Height() const { return m_Levels[0].Height; }

    // u, v in texels of level 0 from the image's top-left corner; r, g, b, a in 0..255.
    std::array<double, 4> Sample(double u, double v) const
    {
        const int level = static_cast<int>(m_Levels.size()) - 1;
        const TImage& image = m_Levels.back();
        const double scale = 1.0 / (1 << level);
        const double x = u * scale - 0.5, y = v * scale - 0.5;
        const double fx = std::floor(x), fy = std::floor(y);
        const double wx = x - fx, wy = y - fy;
        const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
        std::array<double, 4> result{};
        if (wx == 0.0 && wy == 0.0) {   // on a texel's centre (a map at the tiles' own resolution)
            const uint8_t* p = &image.Pixels[(static_cast<size_t>(Wrap(y0, image.Height)) * static_cast<size_t>(image.Width) +
                                              static_cast<size_t>(Wrap(x0, image.Width))) * 4];
            return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2]), static_cast<double>(p[3])};
        }
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
    void Fill(int x0, int y0, int x1, int y1, const std::array<uint8_t, 3>& color)
    {
        for (int y = std::max(0, y0); y < std::min(m_Image.Height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(m_Image.Width, x1); ++x)
                std::copy(color.begin(), color.end(), At(x, y));
    }
    // Blends the colour over the pixels by the coverage.
    void Paint(const TTextCoverage& coverage, int left, int top, const std::array<uint8_t, 3>& color = White)
    {
        for (int y = 0; y < coverage.Height; ++y)
            for (int x = 0; x < coverage.Width; ++x) {
                const int px = left + x, py = top + y;
                const double a = coverage.Alpha[static_cast<size_t>(y) * static_cast<size_t>(coverage.Width) + static_cast<size_t>(x)] / 255.0;
                if (a == 0.0 || px < 0 || py < 0 || px >= m_Image.Width || py >= m_Image.Height)
                    continue;
                for (size_t c = 0; c < RGB; ++c)
                    At(px, py)[c] = ToByte(At(px, py)[c] * (1.0 - a) + color[c] * a);
            }
    }

    static constexpr std::array<uint8_t, 3> White{255, 255, 255};

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

// The font and sizes of everything written on the map.
struct TLabelStyle {
    explicit TLabelStyle(int mapSize)
        : TextHeight(std::clamp(mapSize / LabelHeightDivisor, MinLabelHeight, MaxLabelHeight)),
          Pad(std::max(2, TextHeight / LabelPaddingDivisor))
    {
    }
    TMapFont Font{std::string(MapFontFile)};
    int TextHeight, Pad;
};

void DrawGrid(TImage& image, int step, const TLabelStyle& style)
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

    const TMapFont& font = style.Font;
    const int textHeight = style.TextHeight, pad = style.Pad;
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
            canvas.Paint(*coverage, box.Left + pad, box.Top + pad);
        }
    }
}

// ---- Title, north arrow, scale bar and water legend ----------------------------------

// The last name of the game directory ("c:\games\isles\" -> "isles").
std::string GameFolderName(const std::string& gameDir)
{
    const size_t end = gameDir.find_last_not_of("/\\");
    if (end == std::string::npos)
        return {};
    const size_t delimiter = gameDir.find_last_of("/\\", end);
    const size_t first = delimiter == std::string::npos ? 0 : delimiter + 1;
    return gameDir.substr(first, end + 1 - first);
}

std::string MapTitle(const TZoneSource& zone)
{
    const std::string folder = GameFolderName(zone.GameDir);
    return "Zone " + std::to_string(zone.ZoneID) + (folder.empty() ? "" : " - " + folder);
}

// An upward triangle filling the box, its apex at the top middle; 4 x 4 samples a pixel.
TTextCoverage ArrowCoverage(int width, int height)
{
    constexpr int Samples = 4;
    TTextCoverage out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height))};
    const double half = width / 2.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int inside = 0;
            for (int k = 0; k < Samples * Samples; ++k) {
                const double sx = x + (k % Samples + 0.5) / Samples, sy = y + (k / Samples + 0.5) / Samples;
                inside += std::abs(sx - half) <= half * sy / height;
            }
            out.Alpha[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                static_cast<uint8_t>(inside * 255 / (Samples * Samples));
        }
    return out;
}

// The longest of 1, 2, 5 times a power of ten Loc units within a quarter of the zone.
int ScaleBarUnits()
{
    int best = 1;
    for (int power = 1; power <= static_cast<int>(ZoneExtent); power *= 10)
        for (const int m : {1, 2, 5})
            if (m * power <= ZoneExtent / 4)
                best = std::max(best, m * power);
    return best;
}

// One legend line per water colour, in the order the regions first use it.
struct TLegendLine {
    uint32_t Color;
    std::vector<std::string> Sections;
};

std::vector<TLegendLine> LegendLines(const TWaterRegionList& regions)
{
    std::vector<TLegendLine> lines;
    for (size_t i = 0; i < regions.size(); ++i) {
        const uint32_t color = regions[i]->Color & 0xFFFFFF;
        auto line = std::find_if(lines.begin(), lines.end(), [&](const TLegendLine& l) { return l.Color == color; });
        if (line == lines.end())
            line = lines.insert(lines.end(), {color, {}});
        line->Sections.push_back(WaterRegionSection(static_cast<int>(i)));
    }
    return lines;
}

class TDecorations {
public:
    TDecorations(TImage& image, const TLabelStyle& style) : m_Canvas(image), m_Style(style), m_Size(image.Width)
    {
        // Inside the bands where the grid's labels run along the edges.
        m_InsetX = style.Font.Width("65535", style.TextHeight) + 4 * style.Pad;
        m_InsetY = style.TextHeight + 4 * style.Pad;
    }

    // Top left, as large as twice the labels where it fits beside the north arrow;
    // shortened with "..." where even the labels' size does not fit.
    void Title(std::string text)
    {
        const TMapFont& font = m_Style.Font;
        const int room = m_Size - 2 * m_InsetX - ArrowPanelWidth() - 4 * m_Style.Pad;
        int height = 2 * m_Style.TextHeight;
        while (height > m_Style.TextHeight && font.Width(text, height) > room)
            --height;
        if (font.Width(text, height) > room) {
            while (!text.empty() && font.Width(text + "...", height) > room) {
                while (text.size() > 1 && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
                    text.pop_back();   // the tail of a UTF-8 sequence, then its lead
                text.pop_back();
            }
            text += "...";
        }
        const TTextCoverage coverage = font.Render(text, height);
        const TBox box = Panel(m_InsetX, m_InsetY, coverage.Width, coverage.Height);
        m_Canvas.Paint(coverage, box.Left + m_Style.Pad, box.Top + m_Style.Pad);
    }

    // Top right: an arrow pointing up over an "N".
    void NorthArrow()
    {
        const int th = m_Style.TextHeight, pad = m_Style.Pad;
        const TTextCoverage letter = m_Style.Font.Render("N", th);
        const int arrowWidth = th, arrowHeight = th * 3 / 2;
        const int width = ArrowPanelWidth() - 2 * pad, height = arrowHeight + pad + th;
        const TBox box = Panel(m_Size - m_InsetX - width - 2 * pad, m_InsetY, width, height);
        m_Canvas.Paint(ArrowCoverage(arrowWidth, arrowHeight), box.Left + pad + (width - arrowWidth) / 2, box.Top + pad);
        m_Canvas.Paint(letter, box.Left + pad + (width - letter.Width) / 2, box.Top + pad + arrowHeight + pad);
    }

    // Bottom left: a bar of ScaleBarUnits Loc units in a white and a black half.
    void ScaleBar()
    {
        const int th = m_Style.TextHeight, pad = m_Style.Pad;
        const int units = ScaleBarUnits();
        const int length = static_cast<int>(static_cast<int64_t>(units) * m_Size / static_cast<int64_t>(ZoneExtent));
        const TTextCoverage caption = m_Style.Font.Render(std::to_string(units) + " Loc units", th);
        const int barHeight = std::max(3, th / 2);
        const int width = std::max(length, caption.Width), height = th + pad + barHeight;
        const TBox box = Panel(m_InsetX, m_Size - m_InsetY - height - 2 * pad, width, height);
        const int left = box.Left + pad, top = box.Top + pad + th + pad;
        m_Canvas.Paint(caption, left, box.Top + pad);
        m_Canvas.Fill(left, top, left + length, top + barHeight, TCanvas::White);
        const int border = std::max(1, barHeight / 4);
        m_Canvas.Fill(left + length / 2, top + border, left + length - border, top + barHeight - border, {0, 0, 0});
    }

    // Bottom right: a swatch per water colour, drawn as the water texture's mean shows it,
    // and the sections of "sector.dat" with that colour.
    void WaterLegend(const TWaterRegionList& regions, const std::array<double, 3>& meanTexel)
    {
        const int th = m_Style.TextHeight, pad = m_Style.Pad;
        const TMapFont& font = m_Style.Font;
        std::vector<TLegendLine> lines = LegendLines(regions);
        const int lineHeight = th + pad;
        const auto room = static_cast<size_t>(std::max(2, m_Size / 3 / lineHeight));
        std::string more;
        if (lines.size() > room) {
            more = Format("+%d more colours", {static_cast<int64_t>(lines.size() - (room - 1))});
            lines.resize(room - 1);
        }
        // Each line's text: its sections, as many as fit in a width of 10 text heights.
        std::vector<std::string> texts;
        for (const TLegendLine& line : lines) {
            std::string text = line.Sections[0];
            size_t shown = 1;
            while (shown < line.Sections.size() &&
                   font.Width(text + ", " + line.Sections[shown], th) <= 10 * th)
                text += ", " + line.Sections[shown++];
            if (shown < line.Sections.size())
                text += " +" + std::to_string(line.Sections.size() - shown);
            texts.push_back(text);
        }
        int width = font.Width("Water", th);
        for (const std::string& text : texts)
            width = std::max(width, th + pad + font.Width(text, th));
        if (!more.empty())
            width = std::max(width, font.Width(more, th));
        const int count = static_cast<int>(lines.size()) + 1 + !more.empty();
        const int height = count * lineHeight - pad;
        const TBox box = Panel(m_Size - m_InsetX - width - 2 * pad, m_Size - m_InsetY - height - 2 * pad, width, height);
        const int left = box.Left + pad;
        int top = box.Top + pad;
        m_Canvas.Paint(font.Render("Water", th), left, top);
        for (size_t i = 0; i < lines.size(); ++i) {
            top += lineHeight;
            std::array<uint8_t, 3> swatch{};
            for (size_t c = 0; c < RGB; ++c)
                swatch[c] = ToByte((lines[i].Color >> (8 * c) & 0xFF) * meanTexel[c] / 255.0);
            m_Canvas.Fill(left, top, left + th, top + th, swatch);
            m_Canvas.Paint(font.Render(texts[i], th), left + th + pad, top);
        }
        if (!more.empty())
            m_Canvas.Paint(font.Render(more, th), left, top + lineHeight);
    }

private:
    int ArrowPanelWidth() const
    {
        return std::max(m_Style.TextHeight, m_Style.Font.Width("N", m_Style.TextHeight)) + 2 * m_Style.Pad;
    }

    // A darkened box with the padding around content of this size; returns the box.
    TBox Panel(int left, int top, int width, int height)
    {
        const TBox box{left, top, width + 2 * m_Style.Pad, height + 2 * m_Style.Pad};
        m_Canvas.Darken(box.Left, box.Top, box.Left + box.Width, box.Top + box.Height, LabelBoxKeeps);
        return box;
    }

    TCanvas m_Canvas;
    const TLabelStyle& m_Style;
    int m_Size;
    int m_InsetX = 0, m_InsetY = 0;
};

// The mean colour of an image's texels, 0..255 a channel.
std::array<double, 3> MeanColor(const TImage& image)
{
    std::array<double, 3> sum{};
    const size_t pixels = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height);
    for (size_t i = 0; i < pixels; ++i)
        for (size_t c = 0; c < RGB; ++c)
            sum[c] += image.Pixels[i * static_cast<size_t>(image.Channels) + c];
    for (double& v : sum)
        v /= static_cast<double>(std::max<size_t>(1, pixels));
    return sum;
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

    // The texture levels for the map's scale: one texel a pixel at most.
    const int tileSide = PatchCells * CellSize;
    std::vector<TTexture> tileTextures;
    tileTextures.reserve(tiles.size());
    for (const TImage& tile : tiles)
        tileTextures.emplace_back(tile, false, tile.Width * unit / tileSide);

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
        waterTexture.emplace(*water, true, water->Width * unit / CellSize);
        for (const auto& region : zone.WaterRegions) {
            const std::array<TVec3f, 4> c = WaterCorners(*region);
            const auto rgb = PackedColorRGB(region->Color);
            regions.push_back({c[0].x, c[2].x, c[0].y, c[2].y, c[0].z, {rgb[0], rgb[1], rgb[2]}});
        }
    }


    // Per column: where it lies in the grid and in its tile.
    struct TColumn {
        double X, GX, U;
        int PX;
    };
    std::vector<TColumn> columns(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        TColumn& col = columns[static_cast<size_t>(c)];
        col.X = (c + 0.5) * unit;
        col.GX = col.X / CellSize;
        col.PX = std::clamp(static_cast<int>(col.GX / PatchCells), 0, PatchesPerSide - 1);
        col.U = (col.GX - PatchCells * col.PX) * tileTextures[static_cast<size_t>(col.PX)].Width() / PatchCells;
    }

    TImage image{n, n, RGB, {}};
    image.Pixels.resize(static_cast<size_t>(n) * static_cast<size_t>(n) * RGB);
    // Rows are independent: each worker draws every k-th row, the same pixels whatever
    // the number of workers.
    auto drawRows = [&](int first, int step) {
        std::vector<double> color(static_cast<size_t>(n) * RGB), depth(static_cast<size_t>(n));
        for (int r = first; r < n; r += step) {
            const double y = ZoneExtent - (r + 0.5) * unit;
            const double gy = y / CellSize;
            const int py = std::clamp(static_cast<int>(gy / PatchCells), 0, PatchesPerSide - 1);
            for (int c = 0; c < n; ++c) {
                const TColumn& col = columns[static_cast<size_t>(c)];
                const size_t t = static_cast<size_t>(col.PX + PatchesPerSide * py);
                const TTexture& tile = tileTextures[t];
                // The tile stands upright: its first row along the patch's far-y edge.
                const double v = (PatchCells * (py + 1) - gy) * tile.Height() / PatchCells;
                const std::array<double, 4> texel = tile.Sample(col.U, v);
                const TCellWeights w = CellWeights(col.GX, gy);
                const double lit = Interpolate(w, shadeAt);
                for (size_t k = 0; k < 3; ++k)
                    color[static_cast<size_t>(c) * RGB + k] = texel[k] * lit;
                depth[static_cast<size_t>(c)] = Interpolate(w, heightAt);
            }
            // Each region over this row, in list order, over the columns it can cover.
            for (const TWaterRect& region : regions) {
                if (!(y >= region.Near && y < region.Far))
                    continue;
                const int from = std::max(0, static_cast<int>(std::floor(region.Left / unit - 0.5)) - 1);
                const int to = std::min(n, static_cast<int>(std::ceil(region.Right / unit - 0.5)) + 1);
                for (int c = from; c < to; ++c) {
                    const double x = columns[static_cast<size_t>(c)].X;
                    double& d = depth[static_cast<size_t>(c)];
                    if (!(x >= region.Left && x < region.Right) || !(region.Height > d))
                        continue;
                    d = region.Height;
                    // s = x / 256, t = y / 256 in texture widths; t = 0 is the image's first row.
                    const std::array<double, 4> wt = waterTexture->Sample(
                        x / CellSize * waterTexture->Width(), y / CellSize * waterTexture->Height());
                    const double alpha = WaterAlpha * wt[3] / 255.0;
                    for (size_t k = 0; k < 3; ++k) {
                        double& value = color[static_cast<size_t>(c) * RGB + k];
                        value = value * (1.0 - alpha) + wt[k] * region.Color[k] * alpha;
                    }
                }
            }
            uint8_t* out = &image.Pixels[static_cast<size_t>(r) * static_cast<size_t>(n) * RGB];
            for (size_t i = 0; i < color.size(); ++i)
                out[i] = ToByte(color[i]);
        }
    };
    InParallel(n, drawRows);

    if (options.GridStep > 0 || !options.Plain) {
        const TLabelStyle style(n);
        if (options.GridStep > 0)
            DrawGrid(image, options.GridStep, style);
        if (!options.Plain) {
            TDecorations decorations(image, style);
            decorations.Title(MapTitle(zone));
            decorations.NorthArrow();
            decorations.ScaleBar();
            if (!regions.empty())
                decorations.WaterLegend(zone.WaterRegions, MeanColor(*water));
        }
    }
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
        // What the picture shows, for programs that read a map's metadata.
        const std::vector<TPNGText> text{
            {"Title", MapTitle(zone)},
            {"Software", "Orvandel"},
            {"Zone", std::to_string(zone.ZoneID)},
            {"Grid step", std::to_string(options.GridStep)},
            {"Loc bounds", "X 0 to " + std::to_string(LocYBase) + " west to east, Y 0 to " + std::to_string(LocYBase) +
                               " north to south"},
        };
        output.Write(output.TargetName(), EncodePNG(map.Width, map.Height, map.Channels, BitDepth, map.Pixels, text));
        output.Commit(output.TargetName());
    });
}

}  // namespace orv
